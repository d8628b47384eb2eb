// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Find equilibrium: the rest state of the strings in a handful of solves, beside the relaxation
// of Calculate.
//
// The unknowns are the stability coordinates (solver/stability.h), smooth where a string hangs
// straight down; the equations are the motion's velocity v(c) = 0 in them. Each iteration solves
// (mu I - J) d = v with J the Jacobian of v in the chart (differences of step h, on the parallel
// path for large systems): mu = 0 is Newton's step, a large mu a short step along the motion, as
// the relaxation takes it. mu stays above every positive real part of J's eigenvalues, so the
// step never turns against the motion along an unstable mode: a saddle is left, not converged to
// (pseudo-transient continuation). mu shrinks as the velocity falls (switched evolution
// relaxation) and grows when a step fails; a step moves no coordinate by more than a trust
// radius. J is kept while the steps make good progress and computed again when they do not.
// When no step makes progress (contacts, whose force jumps), relaxation steps take over for a
// while, and the result says how many were taken.
#pragma once

#include "session/session.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/run_observer.h"

#include <string>
#include <vector>

namespace ambrel {

struct EquilibriumSettings {
    Real time_step = 0.05L;        // the relaxation's dt: the scale of the motion and of the fallback
    int max_iterations = 1000;     // the finder ends after this many iterations
    Real force_error_uN = 0.0001L; // tolerance on the largest rotational force, as Calculate's
    Real angle_variation = 1e-6L;  // step of the Jacobian's differences (rad)
    bool random_start = false;     // asked of the run: the search says it does not take it
};

// The run's settings as the finder takes them: the time step and force error, and the step limit
// as its limit of iterations.
EquilibriumSettings equilibrium_settings(const RelaxationSettings& run);

// Contact: the iteration limit came with spheres of two objects pressed together, where the model
// has no rest state.
enum class EquilibriumEnd { Converged, IterationLimit, Stopped, TooLargeAngles, NotApplicable, Contact };

struct EquilibriumResult {
    EquilibriumEnd end = EquilibriumEnd::IterationLimit;
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
    // Contact: the state reached is the physical rest with the spheres touching (no verdict).
    bool contact_rest = false;
};

// The whole command on an initialised session (the host reads the description first with
// read_if_needed when it is not): the iterations (observer.step_done after each, as Calculate's
// steps), the final reports as Calculate writes them, a line with the iterations, evaluations and
// the largest rotational force, and the stability verdict of the state reached.
EquilibriumResult find_equilibrium(Session& session, const EquilibriumSettings& settings,
                                   const RunObserver& observer = {});

// The objects that hang from a string and move: the search's unknowns, two each.
int movable_objects(const SystemModel& model);

// How the search ended, in the few words its hosts show: "Equilibrium found in 6 iterations",
// "Iteration limit reached", "Stopped", "Unstable", "Equilibrium not searched", "Spheres pressed
// together: no rest state".
std::string describe_equilibrium_end(const EquilibriumResult& result);

} // namespace ambrel
