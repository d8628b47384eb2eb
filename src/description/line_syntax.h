// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of a description line as the reader takes them, for a text editor to colour: the
// same line kinds and fields, without reading anything into a model.
#pragma once

#include "description/element_kinds.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace ambrel {

enum class LinePart {
    Comment,    // a comment line, the free text after .X, .Y, .Z, a comment after the last field
    DotCommand, // the command field of a dot line (".V")
    Name,       // an object's name (the first field of an element line)
    Conductor,  // a conductor's name (of an element line, .V or .Q)
    Number,     // a numeric field that is wholly a number
};

struct LineSpan {
    std::size_t start = 0;  // byte offset in the line
    std::size_t length = 0; // bytes
    LinePart part = LinePart::Comment;
};

// The coloured parts of one line, left to right; text that is none of them (a field that is not a
// number, an unknown element) has no span. An element line has the fields of its row of `kinds`.
std::vector<LineSpan> line_syntax(std::string_view line, ElementKinds kinds = element_kinds());

} // namespace ambrel
