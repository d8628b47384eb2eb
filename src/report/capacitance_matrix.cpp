// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/capacitance_matrix.h"

#include "text/column_table.h"
#include "text/csv_file.h"
#include "text/number_format.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ambrel {

Real ConductorCapacitances::row_sum(int a) const {
    Real sum = 0;
    for (int b = 1; b <= size(); ++b)
        sum += coefficient(a, b);
    return sum;
}

Real ConductorCapacitances::maxwell_pF(int a, int b) const {
    return coefficient(a, b) * PF_PER_UNIT;
}

Real ConductorCapacitances::mutual_pF(int a, int b) const {
    return a == b ? row_sum(a) * PF_PER_UNIT : -coefficient(a, b) * PF_PER_UNIT;
}

Result<ConductorCapacitances> condense_capacitance_matrix(const SystemModel& model, EvaluationWorkspace& ws) {
    // Every conductor takes part: leaving some out would silently drop their spheres'
    // contributions from the capacitances to infinity of the others.
    const int k = model.conductor_count;
    if (model.sphere_count > 0 && !form_capacitance_matrix(ws))
        return Result<ConductorCapacitances>::failure(CAPACITANCE_NOT_COMPUTED);
    ConductorCapacitances c;
    c.names.reserve(static_cast<std::size_t>(k));
    for (int a = 1; a <= k; ++a)
        c.names.push_back(model.conductors[a].name);
    c.sums.assign(static_cast<std::size_t>(k) * k, 0);
    auto CC = [&](int a, int b) -> Real& { return c.sums[static_cast<std::size_t>(a - 1) * k + (b - 1)]; };
    // Each sum in the order j, then l, ascending: the bits of every coefficient are fixed.
    for (int j = 1; j <= model.sphere_count; ++j) {
        const int a = model.spheres[j].conductor;
        if (a < 1 || a > k)
            continue;
        for (int l = 1; l <= model.sphere_count; ++l) {
            const int b = model.spheres[l].conductor;
            if (b >= 1 && b <= k)
                CC(a, b) += capacitance_entry(ws, j, l);
        }
    }
    return c;
}

std::vector<std::string> capacitance_matrix_violations(const ConductorCapacitances& c) {
    const int k = c.size();
    const Real tol = CAPACITANCE_CHECK_TOLERANCE;
    std::vector<std::string> lines;
    auto pF = [](Real value) { return format_g(value) + " pF"; };
    auto entry = [&](int a, int b) {
        return "C[" + c.name(a) + "," + c.name(b) + "]=" + pF(c.maxwell_pF(a, b));
    };
    const std::string head = "Invalid capacitance matrix: ";
    // Every comparison is written so that a value that is not a number fails it.
    for (int a = 1; a <= k; ++a)
        if (!(c.coefficient(a, a) > 0))
            lines.push_back(head + entry(a, a) + " is not positive");
    for (int a = 1; a <= k; ++a)
        for (int b = a + 1; b <= k; ++b) {
            const Real ab = c.coefficient(a, b), ba = c.coefficient(b, a);
            const Real diagonal = std::sqrt(std::fabs(c.coefficient(a, a) * c.coefficient(b, b)));
            const Real scale = std::max({std::fabs(ab), std::fabs(ba), CAPACITANCE_TINY_FRACTION * diagonal});
            if (!(std::fabs(ab - ba) <= tol * scale))
                lines.push_back(head + entry(a, b) + " differs from " + entry(b, a));
            if (!(ab <= tol * diagonal))
                lines.push_back(head + entry(a, b) + " between two conductors is positive");
            else if (!(ba <= tol * diagonal))
                lines.push_back(head + entry(b, a) + " between two conductors is positive");
        }
    for (int a = 1; a <= k; ++a)
        if (!(c.row_sum(a) >= -tol * std::fabs(c.coefficient(a, a))))
            lines.push_back(head + "C(" + c.name(a) + ",infinity)=" + pF(c.mutual_pF(a, a)) + " is negative");
    return lines;
}

namespace {

// A row of the file: conductor a's coefficients in one of the two forms.
struct MatrixRow {
    const char* form;
    Real (ConductorCapacitances::*value)(int, int) const;
    int a;
};

} // namespace

std::string capacitance_matrix_csv(const ConductorCapacitances& c) {
    ColumnTable<MatrixRow> table;
    table.add("form", "", [](const MatrixRow& row) { return std::string(row.form); });
    table.add("conductor", "", [&c](const MatrixRow& row) { return c.name(row.a); });
    for (int b = 1; b <= c.size(); ++b)
        table.add_number(c.name(b), "", [&c, b](const MatrixRow& row) { return (c.*row.value)(row.a, b); });
    std::vector<MatrixRow> rows;
    for (const auto& [form, value] : {std::pair{"maxwell", &ConductorCapacitances::maxwell_pF},
                                      std::pair{"mutual", &ConductorCapacitances::mutual_pF}})
        for (int a = 1; a <= c.size(); ++a)
            rows.push_back({form, value, a});
    return table.csv(rows);
}

CapacitanceMatrixExport export_capacitance_matrix(const SystemModel& model, EvaluationWorkspace& ws,
                                                  const Evaluation& ev, const std::string& path,
                                                  OutputSink& out) {
    CapacitanceMatrixExport result;
    auto not_available = [&](const std::string& reason) {
        result.end = MatrixExportEnd::NotAvailable;
        result.message = "Capacitance matrix not saved: " + reason;
        return result;
    };
    if (model.read_generation == 0)
        return not_available("the system has not been initialized");
    if (model.conductor_count == 0)
        return not_available("the system has no conductors");
    if (model.sphere_count == 0)
        return not_available("the system has no spheres");
    const Result<ConductorCapacitances> c = condense_capacitance_matrix(model, ws);
    if (!c) {
        if (ev.diagnostics.singular_pivot > 0)
            return not_available("the matrix of the spheres is singular (at sphere " +
                                 std::to_string(ev.diagnostics.singular_pivot) + ")");
        return not_available("the charges of this system have not been computed");
    }
    result.violations = capacitance_matrix_violations(*c);
    for (const std::string& line : result.violations)
        out.add_output_line(line);
    if (const Status written = write_file_replacing(path, capacitance_matrix_csv(*c)); !written) {
        result.end = MatrixExportEnd::WriteFailed;
        result.message = "Capacitance matrix not saved: " + written.message();
        return result;
    }
    out.add_output_line("Capacitance matrix saved as " + path);
    return result;
}

} // namespace ambrel
