// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The lines a run writes about itself: Initialize's notes on a large system and a Stop, the
// relaxation's steps and its end, the equilibrium finder's start, its iterations line and its end.
#pragma once

#include "model/output_sink.h"
#include "model/types.h"

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
struct PressedPair {
    std::string first, second; // the spheres' names
    Real push = 0;             // N
};
void report_contact_rest(OutputSink& out, const std::vector<PressedPair>& pairs);
// What the search cannot do as asked, said before it starts: a force error of 0, which no state
// meets; the random start error, which only Calculate takes.
void report_impossible_force_error(OutputSink& out);
void report_random_error_not_used(OutputSink& out);
// The saddles the search left along their unstable modes on its way, after the verdict.
void report_saddles_left(OutputSink& out, int saddles);

} // namespace ambrel
