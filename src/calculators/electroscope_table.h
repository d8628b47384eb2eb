// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The electroscope table file: the two-ball and polygon quantities of the electroscope for
// a range of gaps x (Ex1 to Ex2 in steps of Edx, cm), one row per gap, for plotting in other
// programs. Plain single-byte text with CR LF line ends: a header of the 32 column names,
// then rows of x in cm (10 characters, 5 decimals) and 31 values (a blank and 15 characters,
// 8 decimals each).
#pragma once

#include "calculators/calculator_fields.h"
#include "model/output_sink.h"
#include "model/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

inline constexpr std::string_view DEFAULT_TABLE_FILE = "pithballs.tab";

// A table has at most this many steps of x (so one row more).
inline constexpr int MAX_TABLE_STEPS = 5000;

// Written in a column whose value does not exist because the string is too short for that
// arrangement at that gap.
inline constexpr std::string_view MISSING_VALUE_TEXT = "-";

// The status of the run (its error text on failure) with what was written.
struct TableResult : Status {
    TableResult() : Status(Status::success()) {}

    int rows = 0;           // data rows written to the file
    bool generated = false; // the whole range was written ("Table generated as ...")
};

// The table as text lines, computed without writing anything: the header, then a line per gap,
// until the range ends, the balls are too far apart or too close (`stop_message`), or a
// floating-point fault (`status`; the rows before it are kept). `converted` is false when the
// fields are not numbers (`status` says which), `too_many_points` when the range has more than
// MAX_TABLE_STEPS steps (no lines). `notes`: for each arrangement whose strings are too short
// for some gaps, the line that says so.
struct ElectroscopeTableText {
    Status status = Status::success();
    bool converted = false;
    bool too_many_points = false;
    std::string refusal; // a range that does not run forward by a positive step: why (no lines)
    std::vector<std::string> lines;
    std::vector<std::string> notes;
    std::string_view stop_message;
};
ElectroscopeTableText electroscope_table_text(const ElectroscopeFields& fields);

// Writes the table to `path` and its message lines to the sink: "Too many points." (no file
// written), "The balls are too far." or "The balls are too close." (the file keeps the rows
// before), or "Table generated as "<path>".". A file or floating-point error ends the run
// with the error text; the rows already computed stay in the file when it could be written.
// The file is written beside its final place and renamed over it when closed, so a file
// error never leaves a half-written file in place of the previous one.
TableResult write_electroscope_table(const ElectroscopeFields& fields, const std::string& path,
                                     OutputSink& sink);
TableResult write_electroscope_table(const ElectroscopeFields& fields, OutputSink& sink);

} // namespace ambrel
