// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the 3D view draws, copied out of a session: the model as placed, the charges and their
// density scale, and the switches of the drawing. The window draws from the latest snapshot
// while a run goes on in its worker thread; a snapshot never changes once made.
#pragma once

#include "model/options.h"
#include "model/system_model.h"
#include "physics/evaluation.h"

#include <vector>

namespace ambrel {

struct SceneSnapshot {
    SystemModel model;
    std::vector<Real> Q; // per sphere, 1-based
    Real density_max = 1e-9L;
    Real density_min = -1e-9L;
    bool forces_valid = false;
    bool system_initialized = false;
    Options options;
};

inline SceneSnapshot make_scene_snapshot(const SystemModel& model, const Evaluation& ev,
                                         const Options& options, bool system_initialized) {
    SceneSnapshot s;
    s.model = model;
    s.Q = ev.Q;
    s.Q.resize(static_cast<std::size_t>(model.sphere_count) + 1, 0);
    s.density_max = ev.density_max;
    s.density_min = ev.density_min;
    s.forces_valid = ev.forces_valid;
    s.system_initialized = system_initialized;
    s.options = options;
    return s;
}

} // namespace ambrel
