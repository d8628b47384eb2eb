// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// How a long command talks to its host (the window's worker, or nobody in ambrel-batch). Every
// callback runs on the thread of the command; a host on another thread copies what it needs
// (make_scene_snapshot) and posts it on. Stop is the session's `stop_requested` flag.
#pragma once

#include "model/system_model.h"
#include "model/types.h"
#include "physics/evaluation.h"

#include <functional>

namespace ambrel {

struct InitializeResult;

struct SearchProgress {
    int iteration = 0;
    int evaluations = 0;    // so far, those of the Jacobian under way not counted
    Real error = 0;         // largest rotational force of the current state, N
    bool verifying = false; // the Jacobian under way is the stability verdict's
    int jacobian_done = 0;  // evaluations of the Jacobian under way done, of
    int jacobian_total = 0; // 0 outside a Jacobian
};

struct RunObserver {
    // read_if_needed read the description before a command (the host updates its camera).
    std::function<void(const InitializeResult&)> initialized;
    // The positions of a new evaluation are placed (the charges are still those of the last one):
    // the host may redraw from these.
    std::function<void(const SystemModel&, const Evaluation&)> after_positions;
    // Calculate: step `step` ended with this error (largest rotational force, N).
    std::function<void(int step, Real error)> step_done;
    // Jacobian: `done` of its `total` perturbed evaluations are done (called before each batch of
    // them and before each full evaluation).
    std::function<void(int done, int total)> progress;
    // Calculate: the steps ended, the final reports follow.
    std::function<void()> steps_ended;
    // Find equilibrium: where the search stands, after each iteration and before each batch of a
    // Jacobian's evaluations (those of the stability verdict included).
    std::function<void(const SearchProgress&)> search_progress;
};

} // namespace ambrel
