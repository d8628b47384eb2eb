// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the reader notices without changing what it reads: the grammar turns any text into a
// system (a field that is not a number reads as its valid start or 0, a missing field as 0, words
// after the last field are dropped, an unknown dot command is only echoed), and each of these
// places is kept here as a warning naming its line and field, for the hosts to show (the output
// panel and the description's marks in the window, standard error in ambrel-batch).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

struct ElementKind;

struct ReadWarning {
    int line = 0;        // 1-based line of the description
    std::string subject; // the object's name as stored, or the dot command (".V")
    std::string field;   // the field's name as the language's summary calls it; "" for the line
    std::string message; // what was read instead of what was written
};

// "line 3: B2: Mass: "abc" is not a number (read as 0)"; without a field,
// "line 7: .W: unknown dot command: the line is only echoed".
std::string warning_text(const ReadWarning& warning);

// "Warning: " and the text: the line of the output panel.
std::string warning_panel_line(const ReadWarning& warning);

namespace detail {

// The checks of one line, called by the reader as it reads the line (`line_number` 1-based).
// An element line of the given kind, its fields named by the kind's row.
void check_element_line(std::string_view text, const ElementKind& kind, int line_number,
                        std::vector<ReadWarning>& out);
// A dot line: .V and .Q have their fields checked, .X, .Y and .Z take any text after them, any
// other is an unknown command.
void check_dot_line(std::string_view text, char command, int line_number, std::vector<ReadWarning>& out);

} // namespace detail

} // namespace ambrel
