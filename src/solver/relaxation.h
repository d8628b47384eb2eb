// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Calculate command: move the string angles step by step until the rotational forces fall
// below a tolerance. Default law (each step a fresh start from rest, m = mass, L = string):
//   Ax(t+dt) = Ax(t) + dt^2/(2 m L) * frx * cosec Az,   Az(t+dt) = Az(t) + dt^2/(2 m L) * frz
// True time-domain law with angular speeds and damping a:
//   Ax'(t+dt) = Ax'(t) + dt/m * (frx/L * cosec Az - a Ax'(t)),  Ax(t+dt) = Ax(t) + dt Ax'(t)
// (and the same for Az without the cosecant).
#pragma once

#include "results/run_results.h"
#include "session/session.h"
#include "solver/run_observer.h"
#include "text/numeric_field.h"

#include <cmath>
#include <string>

namespace ambrel {

// Beyond this (rad) an angle tells a system that diverges.
inline constexpr Real MAX_ANGLE = 1000;
// An angle beyond MAX_ANGLE (or not a number) ends a run: "Too large angles".
inline bool angles_in_range(const Object& o) {
    return std::fabs(o.Ax) <= MAX_ANGLE && std::fabs(o.Az) <= MAX_ANGLE;
}

struct RelaxationSettings {
    Real time_step = 0.05L;        // dt, as typed
    int max_steps = 1000;          // the run ends after this many steps (at least one)
    Real force_error_uN = 0.0001L; // tolerance on the largest rotational force, in uN
    bool random_start = false;     // "Start with random error"
    Real max_random_error_deg = 5; // in degrees
    Real damping = 0.01L;          // a, time-domain law only
};

// The ranges of the numeric settings of a run and of the Jacobian: the time step above 0 and at
// most 1e6 s, the Jacobian's angle variation above 0 and at most 1 rad, the steps 0 or more, the
// force error from 0 to 1e6 uN, the damping from 0 to 1000, the largest random start error from 0
// to 90 degrees (a ball's string swings at most to the horizontal). The upper bounds are far
// beyond any use and keep every number of a run finite (a force error of 1e308 uN made the
// window's chart hang; a time step of 1e308 s printed angles of 300 digits; a random error of
// 1e308 degrees ended every run after one step with "Too large angles").
enum class RunSetting { TimeStep, Steps, ForceError, Damping, AngleVariation, RandomError };
ValueRange setting_range(RunSetting setting);

// The factor of the default law for an object: dt^2/(2 m L) with m the mass its last sphere
// carries (for a massless object 2 m = 2e-5 kg / n, as if it weighed 1e-5 kg in all). The Jacobian uses it
// with dt^2 replaced by dt.
Real step_gain(const SystemModel& model, const Object& object, Real dt_factor);

// One step of the default law from the present angles with the rotational forces of `ev`.
void relaxation_step(SystemModel& model, const Evaluation& ev, Real dt);

// A whole Calculate run on an initialised session (the host reads the description first with
// read_if_needed when it is not): the steps, then the final evaluation. Its lines go through the
// session's reporter: "Calculating...", each step's error with "Show errors", and at the end
// relaxation_ended with the result (the final reports).
RelaxationResult run_calculate(Session& session, const RelaxationSettings& settings,
                               const RunObserver& observer = {});

// How a run ended, in the few words its hosts show (the window's status bar, ambrel-batch's
// standard error): "Converged in 74 steps", "Step limit reached", "Stopped", "Unstable".
std::string describe_run_end(const RelaxationResult& result);

} // namespace ambrel
