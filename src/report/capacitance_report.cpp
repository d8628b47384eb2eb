// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/capacitance_report.h"

#include "report/capacitance_matrix.h"
#include "text/number_format.h"

namespace ambrel {

void report_capacitances(const SystemModel& model, EvaluationWorkspace& ws, OutputSink& out) {
    out.add_output_line("");
    out.add_output_line("Capacitance matrix:");
    const Result<ConductorCapacitances> condensed = condense_capacitance_matrix(model, ws);
    if (!condensed) {
        out.add_output_line(condensed.message());
        return;
    }
    const ConductorCapacitances& c = *condensed;
    const int k = c.size();
    for (int a = 1; a <= k; ++a)
        for (int b = a; b <= k; ++b)
            out.add_output_line("C[" + c.name(a) + "," + c.name(b) + "]=" + format_g(c.maxwell_pF(a, b)) +
                                " pF");
    out.add_output_line("Capacitances:");
    for (int a = 1; a <= k; ++a) {
        for (int b = a + 1; b <= k; ++b)
            out.add_output_line("C(" + c.name(a) + "," + c.name(b) + ")=" + format_g(c.mutual_pF(a, b)) +
                                " pF");
        out.add_output_line("C(" + c.name(a) + ",infinity)=" + format_g(c.mutual_pF(a, a)) + " pF");
    }
    if (k == 2) {
        const Real c11 = c.coefficient(1, 1), c12 = c.coefficient(1, 2), c21 = c.coefficient(2, 1),
                   c22 = c.coefficient(2, 2);
        const Real balanced = 1 / (1 / (c11 + c12) + 1 / (c22 + c21)) - c12;
        out.add_output_line("Capacitance for balanced voltages=" + format_g(balanced * PF_PER_UNIT) + " pF");
    }
}

} // namespace ambrel
