#include "report/capacitance_report.h"

#include "model/units.h"
#include "text/number_format.h"

#include <vector>

namespace ambrel {

void report_capacitances(const SystemModel& model, EvaluationWorkspace& ws, OutputSink& out) {
    // Every conductor takes part: leaving some out would silently drop their spheres'
    // contributions from the capacitances to infinity of the others.
    const int k = model.conductor_count;
    out.add_output_line("");
    out.add_output_line("Capacitance matrix:");
    if (model.sphere_count > 0 && !form_capacitance_matrix(ws)) {
        out.add_output_line("The capacitance matrix of this system has not been computed.");
        return;
    }
    std::vector<Real> cc(static_cast<std::size_t>(k) * k, 0);
    auto CC = [&](int a, int b) -> Real& { return cc[static_cast<std::size_t>(a - 1) * k + (b - 1)]; };
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
    const Real to_pF = FOUR_PI_E0 * 1e12L;
    const auto& names = model.conductors;
    for (int a = 1; a <= k; ++a)
        for (int b = a; b <= k; ++b)
            out.add_output_line("C[" + names[a].name + "," + names[b].name +
                                "]=" + format_g(CC(a, b) * to_pF) + " pF");
    out.add_output_line("Capacitances:");
    for (int a = 1; a <= k; ++a) {
        Real sum = 0;
        for (int b = 1; b <= k; ++b) {
            sum += CC(a, b);
            if (k >= 2 && a < b)
                out.add_output_line("C(" + names[a].name + "," + names[b].name +
                                    ")=" + format_g(-CC(a, b) * to_pF) + " pF");
        }
        out.add_output_line("C(" + names[a].name + ",infinity)=" + format_g(sum * to_pF) + " pF");
    }
    if (k == 2) {
        const Real c11 = CC(1, 1), c12 = CC(1, 2), c21 = CC(2, 1), c22 = CC(2, 2);
        const Real balanced = 1 / (1 / (c11 + c12) + 1 / (c22 + c21)) - c12;
        out.add_output_line("Capacitance for balanced voltages=" + format_g(balanced * to_pF) + " pF");
    }
}

} // namespace ambrel
