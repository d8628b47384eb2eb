// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/sweep_table.h"

#include "model/units.h"
#include "text/csv_file.h"
#include "text/number_format.h"

#include <algorithm>

namespace ambrel {

std::string table_number(Real value) {
    return format_shortest(value == 0 ? Real(0) : value);
}

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

std::string sweep_object_index(const Object& object) {
    return object.composite() ? std::to_string(object.first) + "-" + std::to_string(object.last())
                              : std::to_string(object.first);
}

std::string sweep_object_label(const SweepResult& result, std::size_t k) {
    return "[" + result.object_indices[k] + "] " + result.object_names[k];
}

std::string_view point_end_word(PointEnd end) {
    switch (end) {
    case PointEnd::Converged:
        break;
    case PointEnd::StepLimit:
        return "step-limit";
    case PointEnd::TooLargeAngles:
        return "too-large-angles";
    case PointEnd::SingularMatrix:
        return "singular-matrix";
    case PointEnd::Contact:
        return "contact";
    }
    return "converged";
}

std::vector<std::string> sweep_column_names(const SweepResult& result) {
    std::vector<std::string> names;
    names.push_back("V " + result.conductor_name + " (V)");
    for (std::size_t k = 0; k < result.objects.size(); ++k) {
        const std::string& name = result.object_names[k];
        names.push_back("Deflection[" + result.object_indices[k] + "] " + name + " (deg)");
        names.push_back("Direction[" + result.object_indices[k] + "] " + name + " (deg)");
    }
    for (std::size_t k = 0; k < result.objects.size(); ++k) {
        const std::string& name = result.object_names[k];
        names.push_back("Ax[" + result.object_indices[k] + "] " + name + " (deg)");
        names.push_back("Az[" + result.object_indices[k] + "] " + name + " (deg)");
    }
    for (const std::string& conductor : result.conductor_names)
        names.push_back("Q " + conductor + " (nC)");
    names.push_back("Total capacitance (pF)");
    names.push_back("Steps");
    names.push_back("Converged");
    names.push_back("End");
    return names;
}

std::vector<std::string> sweep_row(const SweepResult& result, const SweepPoint& point) {
    std::vector<std::string> row;
    row.push_back(table_number(point.voltage));
    for (std::size_t k = 0; k < result.objects.size(); ++k) {
        const StringDeflection string = deflection_degrees(point.Ax[k], point.Az[k]);
        row.push_back(table_number(string.deflection));
        row.push_back(table_number(string.direction));
    }
    for (std::size_t k = 0; k < result.objects.size(); ++k) {
        row.push_back(table_number(rad_to_deg(point.Ax[k])));
        row.push_back(table_number(rad_to_deg(point.Az[k])));
    }
    for (const Real q : point.charges)
        row.push_back(table_number(q * 1e9L));
    row.push_back(table_number(point.capacitance * 1e12L));
    row.push_back(std::to_string(point.steps));
    row.push_back(point.converged() ? "1" : "0");
    row.emplace_back(point_end_word(point.end));
    return row;
}

std::string sweep_csv(const SweepResult& result) {
    std::string text = csv_line(sweep_column_names(result));
    for (const SweepPoint& point : result.points)
        text += csv_line(sweep_row(result, point));
    return text;
}

Status write_sweep_csv(const std::string& path, const SweepResult& result) {
    return write_file_replacing(path, sweep_csv(result));
}

} // namespace ambrel
