// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_report.h"

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

} // namespace ambrel
