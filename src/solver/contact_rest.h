// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Spheres pressed together at rest. The model's contact force is a fixed push between spheres
// that overlap, and nothing between spheres that do not: no state with spheres touching is at
// rest in it, and a search ends bouncing them apart and back. Physically they rest touching, each
// pair pressed with the force that holds the rest of the forces: the rotational forces of the
// strings are balanced by normal forces along the lines of centres of the touching pairs.
//
// That state solves, in the stability chart's coordinates c (solver/stability.h) and with the
// pushes N_k of the touching pairs k,
//     v(c) + sum_k N_k w_k(c) = 0,   d_k(c) = (r_i + r_j)(1 + CONTACT_GAP),
// v the chart's velocity of the model's forces, w_k that of unit forces pushing pair k apart along
// its line of centres, d_k its distance: a Newton iteration on the whole system (the Lagrange form
// of a constrained equilibrium, J. Nocedal and S. J. Wright, Numerical Optimization, 2nd ed.,
// Springer 2006, ch. 18), its Jacobian by differences, with an active set: a pair a step would
// press joins, a pair whose push does not come out positive is not pressed and is let go (section
// 16.5). The pairs sit CONTACT_GAP apart so that no evaluation sees the model's push. Four balls
// pressed together have several rests, some unstable (the slightest push leaves them): a rest is
// kept only when the motion along its contacts' tangent space, the pushes keeping them touching,
// has no eigenvalue with a positive real part beyond a millionth of the stiffest (a free turn is
// neutral, and kept).
#pragma once

#include "session/session.h"

#include <utility>
#include <vector>

namespace ambrel {

inline constexpr Real CONTACT_GAP = 1e-5L;

// Spheres of two objects overlap (their contact force is a step that Newton's steps cannot follow),
// or come nearer than `reach` times their radii's sum.
bool spheres_touch(const SystemModel& model, Real reach = 1);

struct ContactRest {
    bool found = false;
    std::vector<std::pair<int, int>> pairs; // spheres (numbers) pressed together
    std::vector<Real> push;                 // the force between each pair, N
    Real residual = 0;                      // largest rotational force of an object with the pushes, N
    int evaluations = 0;
};

// From the session's state, where spheres of two objects press together or nearly (within 25 % of
// touching), the stable state where they rest touching, at `tolerance` (N) of the largest rotational
// force of an object with the pushes. Found: the model is left in that state, evaluated. Not found
// (no such state near, too many coordinates or pairs, or a pair that would pull): the model's
// angles and evaluation as they were.
ContactRest find_contact_rest(Session& session, Real dt, Real tolerance);

} // namespace ambrel
