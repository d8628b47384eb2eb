// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a voltage sweep: its lines in the output panel, the names of its columns and the
// CSV table of its points (results/sweep_result.h).
//
// The table (a ColumnTable of text/column_table.h): a header row, then a row per point, fields
// separated by commas, lines ended by LF; a field holding a comma, a quote, a blank or a line end
// is quoted with its quotes doubled (RFC 4180, as csv_field of text/csv_file.h does for every table
// of the program). Numbers are written with "." whatever the locale, in the shortest form that
// reads back as the same extended value (format_shortest). The columns:
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
#include "results/sweep_result.h"
#include "text/column_table.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// A string's deflection from the vertical and its direction (string_deflection) in degrees, the
// direction in (-180, 180].
StringDeflection deflection_degrees(Real Ax, Real Az);

// "Sweep point <index + 1> of <count>: <conductor> at <voltage> V", as point `index` (from 0)
// begins.
void report_sweep_point(OutputSink& out, int index, int count, const std::string& conductor, Real voltage);
// "Sweep done: <planned> points", or "Sweep stopped after <kept> of <planned> points".
void report_sweep_end(OutputSink& out, const SweepResult& result);

// "[1] ball1": movable object k (0-based in SweepResult::objects) as the window names it.
std::string sweep_object_label(const SweepResult& result, std::size_t k);
// "converged", "step-limit", "too-large-angles", "singular-matrix", "contact" (a point's ends).
std::string_view point_end_word(RunEnd end);

// The columns of a run's state, read from a SweepPoint (SI units): the one definition of each,
// from which the sweep's table and the study's (app/study.h) are both made. The objects are the
// movable ones in table order, object k (from 0) with its number as the reports write it and its
// first sphere's name (SweepResult::object_indices and object_names); the conductors are all of
// them in order.
using StateColumns = ColumnTable<SweepPoint>;
// For each movable object in order: Deflection[<i>] <name> (deg) and Direction[<i>] <name> (deg)
// (deflection_degrees), or Ax[<i>] <name> (deg) and Az[<i>] <name> (deg) as the run left them.
void add_string_columns(StateColumns& table, const std::vector<std::string>& indices,
                        const std::vector<std::string>& names);
void add_angle_columns(StateColumns& table, const std::vector<std::string>& indices,
                       const std::vector<std::string>& names);
// Q <conductor> (nC) of each conductor.
void add_charge_columns(StateColumns& table, const std::vector<std::string>& conductors);
// Total capacitance (pF).
void add_total_capacitance_column(StateColumns& table);
// Steps, Converged (1 or 0), End (point_end_word) and Largest rotational force (uN) of the run.
void add_steps_column(StateColumns& table);
void add_converged_column(StateColumns& table);
void add_end_column(StateColumns& table);
void add_largest_force_column(StateColumns& table);

// The sweep's table, its columns as listed at the top of this header.
StateColumns sweep_table(const SweepResult& result);
std::vector<std::string> sweep_column_names(const SweepResult& result);
std::vector<std::string> sweep_row(const SweepResult& result, const SweepPoint& point);
// The whole table.
std::string sweep_csv(const SweepResult& result);
// Writes the table beside `path` and renames it over `path` (write_file_replacing), so a failure
// leaves no half-written file in its place; the message names the file and the reason.
Status write_sweep_csv(const std::string& path, const SweepResult& result);

} // namespace ambrel
