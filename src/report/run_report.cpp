// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_report.h"

#include "report/jacobian_report.h"
#include "report/reports.h"
#include "report/sweep_table.h"
#include "text/number_format.h"

#include <string>

namespace ambrel {

void report_large_system(OutputSink& out, int spheres) {
    out.add_output_line("The calculations with " + std::to_string(spheres) +
                        " spheres may take some time...");
}

void report_charges_need_the_option(OutputSink& out) {
    out.add_output_line("Check the option of always calculate charges and initialize to calculate.");
}

void report_stopped_before_charges(OutputSink& out) {
    out.add_output_line("Stopped before the charges were computed: press Initialize to compute them.");
}

void report_calculating(OutputSink& out) {
    out.add_output_line("Calculating...");
}

void report_step_error(OutputSink& out, int step, Real error_N) {
    out.add_output_line("Steps=" + std::to_string(step) +
                        ", Error=" + real_to_fixed_text(error_N * 1e6L, 10, 6));
}

void report_steps(OutputSink& out, int steps) {
    out.add_output_line("Steps=" + std::to_string(steps));
}

void report_too_large_angles(OutputSink& out) {
    out.add_output_line("Too large angles. The system may be unstable");
}

void report_finding_equilibrium(OutputSink& out) {
    out.add_output_line("Finding the equilibrium...");
}

void report_equilibrium_not_searched(OutputSink& out, int objects, int most) {
    out.add_output_line("Equilibrium not searched: " + std::to_string(objects) +
                        " movable objects are more than the " + std::to_string(most) +
                        " its Jacobian can hold; Calculate relaxes any number of them.");
}

void report_iterations(OutputSink& out, int iterations, int evaluations, Real largest_force_N,
                       int relaxation_steps) {
    out.add_output_line(
        "Iterations=" + std::to_string(iterations) + ", evaluations=" + std::to_string(evaluations) +
        ", largest rotational force of an object=" + real_to_fixed_text(largest_force_N * 1e6L, 0, 6) +
        " uN" + (relaxation_steps > 0 ? ", relaxation steps=" + std::to_string(relaxation_steps) : ""));
}

void report_verdict_stopped(OutputSink& out) {
    out.add_output_line("Stopped before the stability was checked: no verdict.");
}

void report_no_equilibrium(OutputSink& out, bool stopped, int max_iterations) {
    out.add_output_line(stopped ? "Stopped before an equilibrium was found."
                                : "No equilibrium found within " + std::to_string(max_iterations) +
                                      " iterations.");
}

void report_contact_without_rest(OutputSink& out) {
    out.add_output_line("No equilibrium found: spheres of two objects press against each other, and the "
                        "model's contact force is a fixed push, so no state with them touching is at rest.");
}

void report_contact_rest(OutputSink& out, const std::vector<PressedPair>& pairs) {
    out.add_output_line(
        "At rest with spheres pressed together (the model's contact force, a fixed push, has no "
        "such state; this is the physical one):");
    for (const PressedPair& pair : pairs)
        out.add_output_line(pair.first + " and " + pair.second + " touch, pressed with " +
                            real_to_fixed_text(pair.push * 1e6L, 0, 4) + " uN");
}

void report_impossible_force_error(OutputSink& out) {
    out.add_output_line("A force error of 0 cannot be met: no state that moves is at rest to it.");
}

void report_random_error_not_used(OutputSink& out) {
    out.add_output_line(
        "\"Start with random error\" is for Calculate: the search starts from the angles as they are.");
}

void report_saddles_left(OutputSink& out, int saddles) {
    out.add_output_line("On its way the search left " + std::to_string(saddles) + " unstable " +
                        (saddles == 1 ? "state" : "states") + " along " + (saddles == 1 ? "its" : "their") +
                        " unstable mode.");
}

void report_state(OutputSink& out, const EvaluatedState& state, bool rotational_always) {
    const SystemModel& model = state.model;
    const Evaluation& ev = state.evaluation;
    const Options& options = state.options;
    report_total_capacitance(ev, out);
    report_floating_potentials(model, ev, out);
    report_angles(model, out);
    if (options[Option::ShowCharges])
        report_charges(model, ev, out);
    if (rotational_always || options[Option::ShowTangentForces])
        report_rotational_forces(model, ev, out);
    if (options[Option::DistancesCenters])
        report_center_distances(model, out);
    if (options[Option::DistancesSurfaces])
        report_surface_distances(model, out);
    if (options[Option::ShowEfield])
        report_fields(model, ev, out);
}

void report_relaxation_end(OutputSink& out, const EvaluatedState& state, const RelaxationResult& result) {
    report_state(out, state, false);
    report_steps(out, result.steps);
}

void report_equilibrium_end(OutputSink& out, const EvaluatedState& state, const EquilibriumResult& result,
                            const StabilityAnalysis& analysis) {
    report_state(out, state, false);
    report_iterations(out, result.iterations, result.evaluations, result.error, result.relaxation_steps);
    switch (result.end) {
    case RunEnd::Converged:
        if (result.no_movable_object) {
            report_no_movable_object(out);
        } else if (result.verdict_stopped) {
            report_verdict_stopped(out);
        } else {
            JacobianPrint verdict;
            verdict.verdict_only = true;
            report_stability(out, analysis, result.residual_uN, result.force_error_uN, result.verdict_step,
                             verdict);
        }
        if (result.escapes > 0)
            report_saddles_left(out, result.escapes);
        break;
    case RunEnd::Contact:
        if (result.contact_rest)
            report_contact_rest(out, result.pressed);
        else
            report_contact_without_rest(out);
        break;
    case RunEnd::TooLargeAngles: // that end has said why
    case RunEnd::NotApplicable:
    case RunEnd::SingularMatrix:
        break;
    case RunEnd::StepLimit:
    case RunEnd::Stopped:
        report_no_equilibrium(out, result.end == RunEnd::Stopped, result.max_iterations);
        break;
    }
}

namespace {

class TextReporter final : public RunReporter {
  public:
    void charge_diagnostics(OutputSink& out, const ChargeDiagnostics& diagnostics, const SystemModel& model,
                            bool name_uncharged) const override {
        report_charge_diagnostics(diagnostics, model, name_uncharged, out);
    }
    void sphere_forces(OutputSink& out, const EvaluatedState& state) const override {
        if (state.options[Option::ShowForces])
            report_forces(state.model, state.evaluation, out);
    }
    void large_system(OutputSink& out, int spheres) const override { report_large_system(out, spheres); }
    void charges_need_the_option(OutputSink& out) const override { report_charges_need_the_option(out); }
    void stopped_before_charges(OutputSink& out) const override { report_stopped_before_charges(out); }
    void initialized(OutputSink& out, const EvaluatedState& state) const override {
        report_state(out, state, true); // the rotational forces are always reported here
    }
    void calculating(OutputSink& out) const override { report_calculating(out); }
    void step_error(OutputSink& out, int step, Real error_N) const override {
        report_step_error(out, step, error_N);
    }
    void relaxation_ended(OutputSink& out, const EvaluatedState& state,
                          const RelaxationResult& result) const override {
        report_relaxation_end(out, state, result);
    }
    void too_large_angles(OutputSink& out) const override { report_too_large_angles(out); }
    void equilibrium_not_searched(OutputSink& out, const EquilibriumResult& result) const override {
        report_equilibrium_not_searched(out, result.movable, result.most_movable);
    }
    void finding_equilibrium(OutputSink& out, Real force_error_uN, bool random_start) const override {
        report_finding_equilibrium(out);
        if (!(force_error_uN > 0))
            report_impossible_force_error(out);
        if (random_start)
            report_random_error_not_used(out);
    }
    void equilibrium_ended(OutputSink& out, const EvaluatedState& state, const EquilibriumResult& result,
                           const StabilityAnalysis& analysis) const override {
        report_equilibrium_end(out, state, result, analysis);
    }
    void sweep_point(OutputSink& out, int index, int count, const std::string& conductor,
                     Real voltage) const override {
        report_sweep_point(out, index, count, conductor, voltage);
    }
    void sweep_ended(OutputSink& out, const SweepResult& result) const override {
        report_sweep_end(out, result);
    }
};

} // namespace

const RunReporter& text_reporter() {
    static const TextReporter reporter;
    return reporter;
}

} // namespace ambrel
