// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The lines a run writes about itself: Initialize's notes on a large system and a Stop, the
// relaxation's steps and its end, the equilibrium finder's start, its iterations line and its end;
// the final reports of the runs, each from the run's result and the state it left; and
// text_reporter, the RunReporter (results/run_reporter.h) that writes all of them as the
// commands run.
#pragma once

#include "model/output_sink.h"
#include "model/types.h"
#include "results/run_reporter.h"
#include "results/run_results.h"

#include <vector>

namespace ambrel {

// Initialize.
void report_large_system(OutputSink& out, int spheres);
void report_charges_need_the_option(OutputSink& out);
void report_stopped_before_charges(OutputSink& out);

// Calculate: its start, a step's error (with "Show errors"), the end by its step count.
void report_calculating(OutputSink& out);
void report_step_error(OutputSink& out, int step, Real error_N);
void report_steps(OutputSink& out, int steps);
// A run (either) whose angles left their range.
void report_too_large_angles(OutputSink& out);
// The finder stopped while it checked the stability of the equilibrium it found.
void report_verdict_stopped(OutputSink& out);

// Find equilibrium.
void report_finding_equilibrium(OutputSink& out);
void report_equilibrium_not_searched(OutputSink& out, int objects, int most);
void report_iterations(OutputSink& out, int iterations, int evaluations, Real largest_force_N,
                       int relaxation_steps);
// The end when no equilibrium was found: stopped, or at the iteration limit.
void report_no_equilibrium(OutputSink& out, bool stopped, int max_iterations);
// The end when the search stalled on spheres of two objects pressed together: no rest state, or
// the physical one, where they rest touching, each pair pressed with its push (N).
void report_contact_without_rest(OutputSink& out);
void report_contact_rest(OutputSink& out, const std::vector<PressedPair>& pairs);
// What the search cannot do as asked, said before it starts: a force error of 0, which no state
// meets; the random start error, which only Calculate takes.
void report_impossible_force_error(OutputSink& out);
void report_random_error_not_used(OutputSink& out);
// The saddles the search left along their unstable modes on its way, after the verdict.
void report_saddles_left(OutputSink& out, int saddles);

// The reports of an evaluated state, as Initialize and the runs end with them (after the forces,
// which the final evaluation reports with "Show forces" as it computes them): the total capacitance, the
// floating potentials, the angles, the charges ("Show charges"), the rotational forces (always when
// `rotational_always`, else with "Show tangent forces"), the distances and the fields the options select.
void report_state(OutputSink& out, const EvaluatedState& state, bool rotational_always);
// Calculate's final reports: the state's, then "Steps=N".
void report_relaxation_end(OutputSink& out, const EvaluatedState& state, const RelaxationResult& result);
// Find equilibrium's: the state's, the iterations line, then by its end the verdict drawn from
// `analysis` (only its line) and the saddles left, the contact rest, or why no equilibrium was found.
void report_equilibrium_end(OutputSink& out, const EvaluatedState& state, const EquilibriumResult& result,
                            const StabilityAnalysis& analysis);

// Every command's lines as text, the hosts' reporter (Session::set_reporter).
const RunReporter& text_reporter();

} // namespace ambrel
