// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "description/line_syntax.h"

#include "description/element_kinds.h"
#include "text/number_scan.h"

namespace ambrel {

namespace {

bool is_separator(char c) {
    return c == ' ' || c == '\t';
}

// The fields of a line: start and length of each, as the reader's LineReader separates them.
std::vector<LineSpan> fields_of(std::string_view line) {
    std::vector<LineSpan> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && is_separator(line[at]))
            ++at;
        const std::size_t start = at;
        while (at < line.size() && !is_separator(line[at]))
            ++at;
        if (at > start)
            fields.push_back({start, at - start, LinePart::Number});
    }
    return fields;
}

bool is_number(std::string_view field) {
    const ScannedNumber number = scan_number(field);
    return number.whole && number.has_digits();
}

} // namespace

std::vector<LineSpan> line_syntax(std::string_view line, ElementKinds kinds) {
    std::vector<LineSpan> spans;
    if (line.empty())
        return spans;
    if (line.front() == '*')
        return {{0, line.size(), LinePart::Comment}};
    const bool dot = line.front() == '.';
    const ElementKind* kind = dot ? nullptr : find_element_kind(line.front(), kinds);
    if (!dot && kind == nullptr)
        return spans;
    const std::vector<LineSpan> fields = fields_of(line);
    const char command = dot && line.size() > 1 && line[1] >= 'a' && line[1] <= 'z'
                             ? static_cast<char>(line[1] - 'a' + 'A')
                         : dot && line.size() > 1 ? line[1]
                                                  : '\0';
    // The fields a line of its kind reads (the name and those its row names); after them a
    // comment, or words the reader ignores.
    const std::size_t read = !dot ? 1 + kind->field_count() : (command == 'V' || command == 'Q') ? 3 : 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        LineSpan span = fields[i];
        if (i >= read) {
            const std::string_view rest = line.substr(span.start);
            if (rest.front() == '*' || (dot && (command == 'X' || command == 'Y' || command == 'Z')))
                spans.push_back({span.start, rest.size(), LinePart::Comment});
            break;
        }
        if (i == 0)
            span.part = dot ? LinePart::DotCommand : LinePart::Name;
        else if (i == 1)
            span.part = LinePart::Conductor;
        else if (!is_number(line.substr(span.start, span.length)))
            continue;
        spans.push_back(span);
    }
    return spans;
}

} // namespace ambrel
