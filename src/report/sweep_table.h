// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a voltage sweep: its lines in the output panel, the names of its columns and the
// CSV table of its points (physics/sweep_result.h).
//
// The table: a header row, then a row per point, fields separated by commas, lines ended by LF; a
// field holding a comma, a quote, a blank or a line end is quoted with its quotes doubled (RFC
// 4180, as csv_field of text/csv_file.h does for every table of the program). Numbers are written
// with "." whatever the locale, in the shortest form that reads back as the same extended value
// (format_shortest). The columns:
//   V <conductor> (V)        the voltage of the point
//   Deflection[<i>] <name> (deg)  for each movable object, in table order: <i> its number as the
//   Direction[<i>] <name> (deg)   reports write it ("1", or "1-5" for a composite), <name> its
//                            first sphere's name; the string's angle from the downward vertical
//                            (0 to 180) and the azimuth of its end around the vertical (-180 to
//                            180, -180 excluded; 0 for a string along the vertical), whatever
//                            the signs and turns of its angles (deflection_degrees)
//   Ax[<i>] <name> (deg)     then for each movable object its angles as the relaxation left
//   Az[<i>] <name> (deg)     them (Ax may have turned many times, Az may be negative)
//   Q <conductor> (nC)       for each conductor: the sum of its spheres' charges
//   Total capacitance (pF)
//   Steps                    the steps of the point's run
//   Converged                1 or 0
//   End                      point_end_word of the point
#pragma once

#include "model/output_sink.h"
#include "model/status.h"
#include "model/system_model.h"
#include "physics/sweep_result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// A number of the program's tables: the shortest text that reads back as the same extended value
// (format_shortest), -0 written as 0.
std::string table_number(Real value);
// A string's deflection from the vertical and its direction (string_deflection) in degrees, the
// direction in (-180, 180].
StringDeflection deflection_degrees(Real Ax, Real Az);

// "Sweep point <index + 1> of <count>: <conductor> at <voltage> V", as point `index` (from 0)
// begins.
void report_sweep_point(OutputSink& out, int index, int count, const std::string& conductor, Real voltage);
// "Sweep done: <planned> points", or "Sweep stopped after <kept> of <planned> points".
void report_sweep_end(OutputSink& out, const SweepResult& result);

// An object's number as the reports write it: "1", or "1-5" for a composite object.
std::string sweep_object_index(const Object& object);
// "[1] ball1": movable object k (0-based in SweepResult::objects) as the window names it.
std::string sweep_object_label(const SweepResult& result, std::size_t k);
// "converged", "step-limit", "too-large-angles", "singular-matrix".
std::string_view point_end_word(PointEnd end);

std::vector<std::string> sweep_column_names(const SweepResult& result);
std::vector<std::string> sweep_row(const SweepResult& result, const SweepPoint& point);
// The whole table.
std::string sweep_csv(const SweepResult& result);
// Writes the table beside `path` and renames it over `path` (write_file_replacing), so a failure
// leaves no half-written file in its place; the message names the file and the reason.
Status write_sweep_csv(const std::string& path, const SweepResult& result);

} // namespace ambrel
