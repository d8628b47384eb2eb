// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a description: the line grammar, the token reader, the dot commands and the
// builders' common interface. The description is a list of text lines (the description
// panel, or a .bal file); reading rebuilds the system model from scratch.
#pragma once

#include "description/element_kinds.h"
#include "description/read_warnings.h"
#include "model/options.h"
#include "model/output_sink.h"
#include "model/status.h"
#include "model/system_model.h"

#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// The line being decoded and the position of its next character.
class LineReader {
  public:
    explicit LineReader(std::string_view line);
    // The next field, separated by blanks or tabs; "" when none is left.
    std::string next_token();
    Real next_real();
    const std::string& line() const { return current_line_; }
    // What the fields read so far leave of the line, without the separators before it.
    std::string_view rest() const;

  private:
    std::string current_line_;  // at most 255 characters
    std::size_t token_pos_ = 0; // 0-based here: the next character to examine
};

// Reads all lines and rebuilds the model's tables and counters (the shape patterns persist from
// one reading to the next), writing the echo and the messages of the reading to `out`. A reading
// stops at "Too many elements" (more than 2000 spheres) or "Unknown element: [...]": it fails with
// that line as its message, the model left without spheres or objects. The warnings of the lines
// read (see description/read_warnings.h) are added to `warnings` when given; they change nothing
// that is read or written. An element line is read by the row of `kinds` its first character
// names.
Status read_description(SystemModel& model, const Options& options, const std::vector<std::string>& lines,
                        OutputSink& out, std::vector<ReadWarning>* warnings = nullptr,
                        ElementKinds kinds = element_kinds());

// Splits text into lines: LF and CR LF line ends (and a lone CR) end a line; a final line
// without a line end counts; a final line end does not start a new empty line.
std::vector<std::string> split_lines(std::string_view text);

// The six lines of the description panel at program start.
const std::vector<std::string>& default_description();

} // namespace ambrel
