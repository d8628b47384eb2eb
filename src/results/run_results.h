// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What Calculate (solver/relaxation.h) and Find equilibrium (solver/equilibrium.h) return: plain
// data, which their final reports (report/run_report.h) and the hosts read.
#pragma once

#include "model/types.h"
#include "results/run_end.h"
#include "results/stability_result.h"

#include <string>
#include <vector>

namespace ambrel {

struct RelaxationResult {
    int steps = 0;
    Real error = 0;                 // largest rotational force of the last step, N
    RunEnd end = RunEnd::StepLimit; // Converged, StepLimit, Stopped or TooLargeAngles
};

// Two spheres of different objects resting pressed together, with the push that holds them.
struct PressedPair {
    std::string first, second; // the spheres' names
    Real push = 0;             // N
};

struct EquilibriumResult {
    // Converged, StepLimit (the iteration limit), Stopped, TooLargeAngles, NotApplicable or Contact.
    RunEnd end = RunEnd::StepLimit;
    int iterations = 0;
    int evaluations = 0;      // charge solves and force passes, the Jacobians' included
    int jacobians = 0;        // Jacobians computed
    int relaxation_steps = 0; // fallback steps of the relaxation
    int escapes = 0;          // saddles left along their unstable modes
    Real error = 0;           // largest rotational force of an object at the end, N (whole, not
                              // a composite sphere's share as Calculate's Error=)
    Stability stability = Stability::NotComputed;
    // Converged, but a Stop came while the state's stability was being checked: no verdict.
    bool verdict_stopped = false;
    // Contact: the state reached is the physical rest with the spheres touching (no verdict), its
    // pairs pressed together.
    bool contact_rest = false;
    std::vector<PressedPair> pressed;
    // What the verdict of a converged search was drawn from: no movable object (nothing to
    // examine), else the largest rotational force (uN, the chart's included) against the force
    // error (uN), the eigenvalues taken with differences of verdict_step (rad).
    bool no_movable_object = false;
    Real residual_uN = 0;
    Real force_error_uN = 0;
    Real verdict_step = 0;
    int max_iterations = 0; // the limit of the search
    // The number of objects that the search's Jacobian could not hold (NotApplicable), and the
    // most it holds.
    int movable = 0, most_movable = 0;
};

} // namespace ambrel
