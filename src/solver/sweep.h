// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A voltage sweep: the calibration curve of an electroscope, deflection against voltage. One
// conductor's voltage takes the values START + i STEP in turn and a Calculate run (the relaxation
// of solver/relaxation.h, with the settings given) finds the equilibrium at each; each run starts
// from the angles the one before left (the description is not read again between the points).
//
// Each point keeps the voltage, the angles of every movable object, the charge of every
// conductor, the total capacitance, the steps of its run and how the run ended. A point that
// does not converge is marked and the sweep goes on:
//   step-limit        the run reached its step limit; the next point starts from where it ended
//   too-large-angles  the run diverged ("Too large angles"), and
//   singular-matrix   the elastance matrix of its last state could not be inverted: the point
//                     keeps the values of the state the run ended in, then the angles (and the
//                     speeds of the time-domain law) of the last point that ended otherwise, or
//                     of the state before the sweep, are put back and evaluated at the point's
//                     voltage, so the next point starts from a sane state.
// Stop (the session's stop_requested) ends the sweep: a point whose run was stopped is not kept.
// The sweep leaves the system as its last point left it: the conductor at the last voltage
// swept, the angles of that point's equilibrium (or of the state put back after a failed point;
// after Stop, the angles the stopped run reached).
#pragma once

#include "model/status.h"
#include "results/sweep_result.h"
#include "session/session.h"
#include "solver/relaxation.h"
#include "solver/run_observer.h"

#include <functional>
#include <string>

namespace ambrel {

// A sweep has at most this many points.
inline constexpr int MAX_SWEEP_POINTS = 100000;

// The voltages START + i STEP (V), computed from i each time, never accumulated.
struct SweepRange {
    Real start = 0;
    Real stop = 0;
    Real step = 0;
};

// How each point reaches its equilibrium: the relaxation of Calculate, or Find equilibrium.
enum class SweepMethod { Calculate, Equilibrium };

// What to sweep: a conductor by its name and the range of its voltage.
struct SweepRequest {
    std::string conductor;
    SweepRange range;
    SweepMethod method = SweepMethod::Calculate;
};

// The number of points: i = 0, 1, ... while START + i STEP has not passed STOP by more than a
// rounding error (1e-9 of a step), so 0:12000:1000 gives 13 points. START == STOP gives one
// point. A STEP of 0, a STEP that goes away from STOP, or more than MAX_SWEEP_POINTS points
// are errors.
Result<int> sweep_point_count(const SweepRange& range);
// The session's state as a sweep point holds a run's: the angles of the movable objects (in
// table order, as SweepResult::objects), each conductor's charge (the sum of its spheres') and
// the total capacitance. The voltage, steps, error and end are the caller's.
SweepPoint state_point(const SystemModel& model, const Evaluation& ev);
inline Real sweep_voltage(const SweepRange& range, int i) {
    return range.start + static_cast<Real>(i) * range.step;
}

// Holds conductor `conductor` at `voltage` for the next evaluation: the one place where a sweep
// sets a voltage.
void set_sweep_voltage(SystemModel& model, int conductor, Real voltage);

struct SweepObserver {
    // Handed to every point's run (step_done, after_positions, steps_ended).
    RunObserver run;
    // The columns are known (no point yet).
    std::function<void(const SweepResult& columns)> began;
    // Point `index` (from 0) of `count` starts at `voltage`.
    std::function<void(int index, int count, Real voltage)> point_started;
    // A point has ended: `done` points of `count` are kept.
    std::function<void(const SweepPoint& point, int done, int count)> point_done;
};

// Runs the sweep on an initialised session. Fails (nothing run) when the system is not
// initialised, the conductor is unknown or the range is wrong.
Result<SweepResult> run_sweep(Session& session, const SweepRequest& request,
                              const RelaxationSettings& settings, const SweepObserver& observer = {});

} // namespace ambrel
