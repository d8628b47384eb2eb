// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/csv_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ambrel {

std::string csv_field(std::string_view text) {
    if (!text.empty() && text.find_first_of(",\" \t\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char ch : text) {
        if (ch == '"')
            quoted += '"';
        quoted += ch;
    }
    return quoted + '"';
}

std::string csv_line(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0)
            line += ',';
        line += csv_field(fields[k]);
    }
    line += '\n';
    return line;
}

Result<std::vector<std::vector<std::string>>> parse_csv(std::string_view text) {
    using Records = std::vector<std::vector<std::string>>;
    Records records;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    int line = 1;
    const auto fail = [&line](const std::string& what) {
        return Result<Records>::failure("line " + std::to_string(line) + ": " + what);
    };
    // The length of the line end at `at`: 1 for LF, 2 for CR LF, 0 for anything else.
    const auto line_end = [&](std::size_t at) -> std::size_t {
        if (at < n && text[at] == '\n')
            return 1;
        return at + 1 < n && text[at] == '\r' && text[at + 1] == '\n' ? 2 : 0;
    };
    while (pos < n) {
        if (const std::size_t blank = line_end(pos); blank > 0) { // an empty line
            pos += blank;
            ++line;
            continue;
        }
        std::vector<std::string> record;
        const int first_line = line;
        for (;;) {
            std::string field;
            if (pos < n && text[pos] == '"') {
                for (++pos;; ++pos) {
                    if (pos >= n) {
                        line = first_line;
                        return fail("a quoted field does not end");
                    }
                    if (text[pos] == '"') {
                        if (pos + 1 < n && text[pos + 1] == '"') {
                            field += '"';
                            ++pos;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    if (text[pos] == '\n')
                        ++line;
                    field += text[pos];
                }
                if (pos < n && text[pos] != ',' && line_end(pos) == 0)
                    return fail("text after a closing quote");
            } else {
                while (pos < n && text[pos] != ',' && line_end(pos) == 0) {
                    if (text[pos] == '"')
                        return fail("a quote inside an unquoted field");
                    field += text[pos++];
                }
            }
            record.push_back(std::move(field));
            if (pos < n && text[pos] == ',') {
                ++pos;
                continue;
            }
            pos += line_end(pos);
            ++line;
            break;
        }
        records.push_back(std::move(record));
    }
    return records;
}

namespace {

// A name for the temporary file beside `target` that no other writer uses at the same time.
std::filesystem::path temporary_name(const std::filesystem::path& target, int attempt) {
    static std::atomic<unsigned long> counter{0};
    const auto ticks =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    // A long name is cut so that the suffix still fits in the longest name a folder allows.
    std::string name = ".";
    name += target.filename().string().substr(0, 120);
    for (const unsigned long part : {ticks % 1000000007UL, counter++, static_cast<unsigned long>(attempt)}) {
        name += '-';
        name += std::to_string(part);
    }
    name += ".tmp";
    return target.parent_path() / name;
}

} // namespace

Status write_file_replacing(const std::string& path, std::string_view text) {
    auto failure = [&](const std::string& reason) {
        return Status::failure("cannot write " + path + ": " + reason);
    };
    const std::filesystem::path target(path);
    if (target.filename().empty())
        return failure("not a file name");
    std::filesystem::path temporary;
    std::FILE* f = nullptr;
    for (int attempt = 0; attempt < 100 && f == nullptr; ++attempt) {
        temporary = temporary_name(target, attempt);
        errno = 0;
        f = std::fopen(temporary.c_str(), "wbx"); // never over a file that exists
        if (f == nullptr && errno != EEXIST)
            return failure(std::strerror(errno));
    }
    if (f == nullptr)
        return failure("no temporary file could be made beside it");
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0;
    const int write_errno = errno;
    const bool closed = std::fclose(f) == 0;
    const int close_errno = errno;
    std::error_code ec;
    if (!written || !closed) {
        std::filesystem::remove(temporary, ec);
        const int reason = !written ? write_errno : close_errno;
        return failure(reason != 0 ? std::strerror(reason) : "write error");
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return failure(ec.message());
    }
    return Status::success();
}

} // namespace ambrel
