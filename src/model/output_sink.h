// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Where every message and report line goes: the window's output panel, standard output
// of ambrel-batch, or a vector in the tests. Lines are cut to 255 characters.
#pragma once

#include "model/types.h"
#include "model/utf8.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

class OutputSink {
  public:
    virtual ~OutputSink() = default;
    // Appends one line, cut to its first 255 characters.
    void add_output_line(std::string_view text) { emit_line(cut_characters(text, LINE_LENGTH)); }

  protected:
    virtual void emit_line(std::string_view line) = 0;
};

// Collects the lines in memory.
class VectorSink : public OutputSink {
  public:
    std::vector<std::string> lines;

  protected:
    void emit_line(std::string_view line) override { lines.emplace_back(line); }
};

// Writes each line followed by a line feed to a C stream.
class StreamSink : public OutputSink {
  public:
    explicit StreamSink(std::FILE* stream) : stream_(stream) {}

  protected:
    void emit_line(std::string_view line) override;

  private:
    std::FILE* stream_;
};

// Discards everything.
class NullSink : public OutputSink {
  protected:
    void emit_line(std::string_view) override {}
};

} // namespace ambrel
