// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/sweep_table.h"

#include "model/units.h"
#include "text/csv_file.h"
#include "text/number_format.h"

#include <algorithm>

namespace ambrel {

StringDeflection deflection_degrees(Real Ax, Real Az) {
    const StringDeflection string = string_deflection(Ax, Az);
    Real direction = rad_to_deg(string.direction);
    if (direction <= -180)
        direction += 360;
    return {rad_to_deg(string.deflection), std::min(direction, Real(180))};
}

void report_sweep_point(OutputSink& out, int index, int count, const std::string& conductor, Real voltage) {
    out.add_output_line("Sweep point " + std::to_string(index + 1) + " of " + std::to_string(count) + ": " +
                        conductor + " at " + format_g(voltage) + " V");
}

void report_sweep_end(OutputSink& out, const SweepResult& result) {
    out.add_output_line(result.stopped ? "Sweep stopped after " + std::to_string(result.points.size()) +
                                             " of " + std::to_string(result.planned) + " points"
                                       : "Sweep done: " + std::to_string(result.planned) + " points");
}

namespace {

// "[<i>] <name>": an object as the columns and the window name it.
std::string object_label(const std::string& index, const std::string& name) {
    return "[" + index + "] " + name;
}

// The columns of movable object k (from 0), numbered <index> and named <name>.
void add_object_string_columns(StateColumns& table, std::size_t k, const std::string& index,
                               const std::string& name) {
    const std::string object = object_label(index, name);
    table.add_number("Deflection" + object, "deg",
                     [k](const SweepPoint& p) { return deflection_degrees(p.Ax[k], p.Az[k]).deflection; });
    table.add_number("Direction" + object, "deg",
                     [k](const SweepPoint& p) { return deflection_degrees(p.Ax[k], p.Az[k]).direction; });
}

void add_object_angle_columns(StateColumns& table, std::size_t k, const std::string& index,
                              const std::string& name) {
    const std::string object = object_label(index, name);
    table.add_number("Ax" + object, "deg", [k](const SweepPoint& p) { return rad_to_deg(p.Ax[k]); });
    table.add_number("Az" + object, "deg", [k](const SweepPoint& p) { return rad_to_deg(p.Az[k]); });
}

} // namespace

std::string sweep_object_label(const SweepResult& result, std::size_t k) {
    return object_label(result.object_indices[k], result.object_names[k]);
}

std::string_view point_end_word(RunEnd end) {
    switch (end) {
    case RunEnd::Converged:
        break;
    case RunEnd::StepLimit:
        return "step-limit";
    case RunEnd::TooLargeAngles:
        return "too-large-angles";
    case RunEnd::SingularMatrix:
        return "singular-matrix";
    case RunEnd::Contact:
        return "contact";
    case RunEnd::Stopped: // no point ends so (point_end)
    case RunEnd::NotApplicable:
        break;
    }
    return "converged";
}

void add_string_columns(StateColumns& table, const std::vector<std::string>& indices,
                        const std::vector<std::string>& names) {
    for (std::size_t k = 0; k < indices.size(); ++k)
        add_object_string_columns(table, k, indices[k], names[k]);
}

void add_angle_columns(StateColumns& table, const std::vector<std::string>& indices,
                       const std::vector<std::string>& names) {
    for (std::size_t k = 0; k < indices.size(); ++k)
        add_object_angle_columns(table, k, indices[k], names[k]);
}

void add_charge_columns(StateColumns& table, const std::vector<std::string>& conductors) {
    for (std::size_t c = 0; c < conductors.size(); ++c)
        table.add_number("Q " + conductors[c], "nC",
                         [c](const SweepPoint& p) { return p.charges[c] * 1e9L; });
}

void add_total_capacitance_column(StateColumns& table) {
    table.add_number("Total capacitance", "pF", [](const SweepPoint& p) { return p.capacitance * 1e12L; });
}

void add_steps_column(StateColumns& table) {
    table.add("Steps", "", [](const SweepPoint& p) { return std::to_string(p.steps); });
}

void add_converged_column(StateColumns& table) {
    table.add("Converged", "", [](const SweepPoint& p) { return std::string(p.converged() ? "1" : "0"); });
}

void add_end_column(StateColumns& table) {
    table.add("End", "", [](const SweepPoint& p) { return std::string(point_end_word(p.end)); });
}

void add_largest_force_column(StateColumns& table) {
    table.add_number("Largest rotational force", "uN", [](const SweepPoint& p) { return p.error * 1e6L; });
}

StateColumns sweep_table(const SweepResult& result) {
    StateColumns table;
    table.add_number("V " + result.conductor_name, "V", [](const SweepPoint& p) { return p.voltage; });
    add_string_columns(table, result.object_indices, result.object_names);
    add_angle_columns(table, result.object_indices, result.object_names);
    add_charge_columns(table, result.conductor_names);
    add_total_capacitance_column(table);
    add_steps_column(table);
    add_converged_column(table);
    add_end_column(table);
    return table;
}

std::vector<std::string> sweep_column_names(const SweepResult& result) {
    return sweep_table(result).header();
}

std::vector<std::string> sweep_row(const SweepResult& result, const SweepPoint& point) {
    return sweep_table(result).fields(point);
}

std::string sweep_csv(const SweepResult& result) {
    return sweep_table(result).csv(result.points);
}

Status write_sweep_csv(const std::string& path, const SweepResult& result) {
    return write_file_replacing(path, sweep_csv(result));
}

} // namespace ambrel
