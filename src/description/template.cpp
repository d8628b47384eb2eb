// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "description/template.h"

#include <algorithm>

namespace ambrel {

namespace {

bool name_start(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool name_char(char c) {
    return name_start(c) || (c >= '0' && c <= '9');
}

// The placeholder that starts at `pos` ("${" name "}"): the length of its name, or 0.
std::size_t placeholder_at(std::string_view text, std::size_t pos) {
    if (text.compare(pos, 2, "${") != 0 || pos + 2 >= text.size() || !name_start(text[pos + 2]))
        return 0;
    std::size_t end = pos + 3;
    while (end < text.size() && name_char(text[end]))
        ++end;
    return end < text.size() && text[end] == '}' ? end - pos - 2 : 0;
}

} // namespace

bool is_placeholder_name(std::string_view name) {
    return !name.empty() && name_start(name.front()) && std::all_of(name.begin(), name.end(), name_char);
}

std::vector<std::string> template_placeholders(std::string_view text) {
    std::vector<std::string> names;
    for (std::size_t pos = text.find("${"); pos != std::string_view::npos; pos = text.find("${", pos + 1)) {
        const std::size_t length = placeholder_at(text, pos);
        if (length == 0)
            continue;
        std::string name(text.substr(pos + 2, length));
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    return names;
}

Result<std::string> fill_template(std::string_view text, const std::map<std::string, std::string>& values) {
    const std::vector<std::string> names = template_placeholders(text);
    for (const std::string& name : names)
        if (values.find(name) == values.end())
            return Result<std::string>::failure("no value for ${" + name + "}");
    for (const auto& [name, value] : values) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            return Result<std::string>::failure("${" + name + "} is not in the description");
        if (value.find_first_of("\r\n") != std::string::npos)
            return Result<std::string>::failure("the value of ${" + name + "} holds a line end");
    }
    std::string filled;
    filled.reserve(text.size());
    std::size_t done = 0;
    for (std::size_t pos = text.find("${"); pos != std::string_view::npos; pos = text.find("${", pos + 1)) {
        const std::size_t length = placeholder_at(text, pos);
        if (length == 0)
            continue;
        filled.append(text.substr(done, pos - done));
        filled += values.at(std::string(text.substr(pos + 2, length)));
        done = pos + length + 3;
        pos = done - 1;
    }
    filled.append(text.substr(done));
    return filled;
}

} // namespace ambrel
