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
// (pseudo-transient continuation: C. T. Kelley and D. E. Keyes, SIAM J. Numer. Anal. 35, 1998).
// mu shrinks as the velocity falls (switched evolution relaxation: W. A. Mulder and B. van Leer,
// J. Comput. Phys. 59, 1985) and grows when a step fails; a step moves no coordinate by more than
// a trust radius. J is kept, by Broyden's update (C. G. Broyden, Math. Comp. 19, 1965), while the
// steps make good progress and computed again when they do not.
// When no step makes progress (contacts, whose force jumps), relaxation steps take over for a
// while, and the result says how many were taken.
#pragma once

#include "results/run_results.h"
#include "session/session.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/run_observer.h"

#include <string>

namespace ambrel {

// The finder's tuning: each default was measured on the equilibrium benchmark's systems and the
// examples (the figures are in the numerics note, docs/numerics.md). Tests and the
// benchmark may set them; the program takes the defaults.
struct FinderTuning {
    // The largest change of a coordinate in one step (rad, or string lengths), and the range of
    // the trust radius. It starts at its largest: the first shift keeps the first steps short
    // enough (the four balls an iteration fewer than from 0.2).
    Real start_radius = 0.5L;
    Real max_radius = 0.5L;
    Real min_radius = 1e-9L;
    // The first shift, as a fraction of the stiffness along the first velocity.
    Real start_shift = 1;
    // A step whose change of the velocity the Jacobian foretold to model_trust of the velocity
    // multiplies the shift by foretold_shift_fall besides (an iteration fewer on the grids of 50
    // and 200 balls, examples/shapes.bal and 20 plates).
    Real model_trust = 0.1L;
    Real foretold_shift_fall = 0.25L;
    // Leaving a saddle the velocity first grows: a step is taken while it grows less than this.
    Real escape_growth = 4;
    // Whole steps that gained less than half after this many since the Jacobian say it has aged.
    int steps_before_aged = 3;
    // Failed steps in a row after which relaxation steps take over, and how many they take.
    int failures_before_relaxation = 8;
    int relaxation_steps = 8;
    // After this many such fallbacks, or when spheres stay in contact after
    // max_contact_relaxations separations, the rest of the way is the relaxation's, a step an
    // iteration: never much slower than Calculate.
    int max_fallbacks = 3;
    // Newton's iterations in a row that do not bring the largest rotational force below
    // stall_gain of its best (spheres pressed together, whose contact force jumps, hold it up):
    // the rest of the way is the relaxation's as well.
    int max_stalled = 12;
    Real stall_gain = 0.99L;
    // The relaxation's steps hand back to Newton's once the spheres that touched when they took
    // over have come apart, or they have brought the largest rotational force down this many
    // times, at most max_newton_returns times.
    Real relaxation_gain = 10;
    int max_newton_returns = 3;
    // A stiffness this many times that of the stiffest pendulum dt g / (2 L) tells a contact; the
    // relaxation steps that then separate the spheres are taken at most this many times.
    Real contact_stiffness = 1e4L;
    int max_contact_relaxations = 4;
    // A state at rest that the stability analysis finds unstable is left by this step (in the
    // chart's coordinates) along its unstable mode. Without the analysis a positive eigenvalue
    // below escape_threshold of the stiffest is a neutral mode's noise (a free turn about the
    // vertical): a floor from it would hold every step back for nothing (examples/shapes.bal 13
    // iterations instead of 11).
    Real escape_step = 0.1L;
    Real escape_threshold = 1e-3L;
    // The verdict's difference step (rad).
    Real verdict_step = 1e-4L;
    // Below this many times the tolerance the Jacobian is taken at the verdict's steps h and h/2:
    // the last Newton steps take its extrapolation, and its stability analysis, with the error of
    // a state that far from rest, is the verdict of the rest state they reach (when it decides).
    Real near_rest = 30;
    // Up to this size the Jacobian's eigenvalues set a floor under the shift, above any unstable
    // mode, so that the steps follow the motion away from a saddle from the start. Beyond it they
    // would cost more than the Jacobian (a system that nears a saddle is found out at rest, and
    // leaves it then).
    int shift_eigenvalues_max_size = 64;
    // Spheres of two objects nearer than contact_reach times their radii's sum at the iteration
    // limit are pressed together (the contact's push leaves them a little apart after a step), or
    // overlapped within contact_recent iterations of the limit, or its last quarter (the push
    // bounces them apart, and they take a while to come back).
    Real contact_reach = 1.01L;
    int contact_recent = 10;
    // The Jacobians take the perturbed evaluations from the base state's factor from
    // perturbed_min_spheres spheres on, when every object has at most 1/perturbed_max_share of
    // the spheres: the perturbed evaluation updates the base factor by a rank of twice the spheres
    // moved, which costs more than a full evaluation once they are a good part of all
    // (examples/shapes.bal, 20 of 60 spheres in one object, 1.7 times slower; a grid of 50 balls
    // 2.2 times faster). Objects of one sphere take them at any size: a move changes the factor by
    // a rank of two (the four balls' finder 1.4 times faster).
    int perturbed_min_spheres = 2;
    int perturbed_max_share = 8;
};

struct EquilibriumSettings {
    Real time_step = 0.05L;        // the relaxation's dt: the scale of the motion and of the fallback
    int max_iterations = 1000;     // the finder ends after this many iterations
    Real force_error_uN = 0.0001L; // tolerance on the largest rotational force, as Calculate's
    Real angle_variation = 1e-6L;  // step of the Jacobian's differences (rad)
    bool random_start = false;     // asked of the run: the search says it does not take it
    FinderTuning tuning;
};

// The run's settings as the finder takes them: the time step and force error, and the step limit
// as its limit of iterations.
EquilibriumSettings equilibrium_settings(const RelaxationSettings& run);

// The whole command on an initialised session (the host reads the description first with
// read_if_needed when it is not): the iterations (observer.step_done after each, as Calculate's
// steps), then the final evaluation and the verdict of the state reached. Its lines go through the
// session's reporter: finding_equilibrium (or equilibrium_not_searched), too_large_angles when the
// angles leave their range, and equilibrium_ended with the result (the final reports as
// Calculate's, a line with the iterations, evaluations and the largest rotational force, and the
// verdict).
EquilibriumResult find_equilibrium(Session& session, const EquilibriumSettings& settings,
                                   const RunObserver& observer = {});

// The objects that hang from a string and move: the search's unknowns, two each.
int movable_objects(const SystemModel& model);

// How the search ended, in the few words its hosts show: "Equilibrium found in 6 iterations",
// "Iteration limit reached", "Stopped", "Unstable", "Equilibrium not searched", "Spheres pressed
// together: no rest state".
std::string describe_equilibrium_end(const EquilibriumResult& result);

} // namespace ambrel
