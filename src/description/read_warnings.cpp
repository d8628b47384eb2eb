// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "description/read_warnings.h"

#include "description/element_kinds.h"
#include "description/reader.h"
#include "model/system_model.h"
#include "model/utf8.h"
#include "text/number_format.h"
#include "text/number_scan.h"

namespace ambrel {

std::string warning_text(const ReadWarning& warning) {
    std::string text = "line " + std::to_string(warning.line) + ": " + warning.subject + ": ";
    if (!warning.field.empty())
        text += warning.field + ": ";
    return text + warning.message;
}

std::string warning_panel_line(const ReadWarning& warning) {
    return "Warning: " + warning_text(warning);
}

namespace detail {

namespace {

// A field as quoted in a message: long ones are cut.
std::string quoted(std::string_view text) {
    constexpr std::size_t shown = 24;
    const std::string_view cut = cut_characters(text, shown);
    std::string result(1, '"');
    result.append(cut);
    result.append(cut.size() < text.size() ? "...\"" : "\"");
    return result;
}

// The fields of a line after its first (the name or the command), by their names in the summary
// of the language; `required` of them must be there (the rest have a default of their own).
struct FieldList {
    std::vector<std::string> names; // from field 2 on
    std::size_t required = 0;
    std::size_t first_number = 1; // index in `names` of the first numeric field
};

FieldList element_fields(const ElementKind& kind) {
    FieldList fields;
    for (std::string_view name : kind.field_names())
        fields.names.emplace_back(name);
    fields.required = fields.names.size() - kind.optional_fields;
    return fields;
}

bool is_number(std::string_view field) {
    const ScannedNumber number = scan_number(field);
    return number.whole && number.has_digits();
}

// The part of the text that the reader's cut to 255 characters drops holds more than blanks.
bool loses_text_to_the_cut(std::string_view text) {
    const std::string_view kept = cut_characters(text, LINE_LENGTH);
    return text.substr(kept.size()).find_first_not_of(" \t") != std::string_view::npos;
}

void check_fields(std::string_view text, const std::string& subject, const FieldList& fields, int line_number,
                  std::vector<ReadWarning>& out) {
    auto warn = [&](std::string field, std::string message) {
        out.push_back({line_number, subject, std::move(field), std::move(message)});
    };
    if (loses_text_to_the_cut(text))
        warn("", "longer than " + std::to_string(LINE_LENGTH) + " characters: the rest is ignored");
    LineReader line(text);
    line.next_token(); // the name or the command
    for (std::size_t i = 0; i < fields.names.size(); ++i) {
        const std::string field = line.next_token();
        if (field.empty()) {
            // Fields are taken left to right: this one and all after it are missing.
            if (i < fields.required) {
                const std::size_t last = fields.required - 1;
                const std::string names =
                    i == last ? fields.names[i] : fields.names[i] + " to " + fields.names[last];
                const bool name_missing = i < fields.first_number;
                const bool numbers_missing = last >= fields.first_number;
                warn(names, name_missing && numbers_missing
                                ? "missing (the name read as empty, the numbers as 0)"
                            : name_missing ? "missing (read as an empty name)"
                                           : "missing (read as 0)");
            }
            return;
        }
        if (i >= fields.first_number && !is_number(field))
            warn(fields.names[i],
                 quoted(field) + " is not a number (read as " + format_g(parse_real(field)) + ")");
    }
    // Words after the last field are dropped; a comment there ("* ...") is the writer's intent.
    const std::string_view rest = line.rest();
    if (!rest.empty() && rest.front() != '*')
        warn("", quoted(rest) + " after the last field, " + fields.names.back() + ", is ignored");
}

} // namespace

void check_element_line(std::string_view text, const ElementKind& kind, int line_number,
                        std::vector<ReadWarning>& out) {
    LineReader line(text);
    check_fields(text, cut_name(line.next_token()), element_fields(kind), line_number, out);
}

void check_dot_line(std::string_view text, char command, int line_number, std::vector<ReadWarning>& out) {
    const std::string subject = std::string(".") + command;
    switch (command) {
    case 'V':
        check_fields(text, subject, {{"Conductor", "Voltage"}, 2, 1}, line_number, out);
        break;
    case 'Q':
        check_fields(text, subject, {{"Conductor", "Charge"}, 2, 1}, line_number, out);
        break;
    case 'X':
    case 'Y':
    case 'Z':
        break; // the rest of the line is free text
    default: {
        LineReader line(text);
        out.push_back(
            {line_number, cut_name(line.next_token()), "", "unknown dot command: the line is only echoed"});
        break;
    }
    }
}

} // namespace detail

} // namespace ambrel
