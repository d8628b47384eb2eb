// The Calculate command: move the string angles step by step until the rotational forces fall
// below a tolerance. Default law (each step a fresh start from rest, m = mass, L = string):
//   Ax(t+dt) = Ax(t) + dt^2/(2 m L) * frx * cosec Az,   Az(t+dt) = Az(t) + dt^2/(2 m L) * frz
// True time-domain law with angular speeds and damping a:
//   Ax'(t+dt) = Ax'(t) + dt/m * (frx/L * cosec Az - a Ax'(t)),  Ax(t+dt) = Ax(t) + dt Ax'(t)
// (and the same for Az without the cosecant).
#pragma once

#include "model/simulator.h"
#include "solver/initialize.h"

#include <functional>
#include <string>
#include <vector>

namespace ambrel {

struct RelaxationSettings {
    Real time_step = 0.05L;        // dt, as typed
    int max_steps = 1000;          // the run ends after this many steps (at least one)
    Real force_error_uN = 0.0001L; // tolerance on the largest rotational force, in uN
    bool random_start = false;     // "Start with random error"
    Real max_random_error_deg = 5; // in degrees
    Real damping = 0.01L;          // a, time-domain law only
};

// How the run talks to its host: after the positions of each step (redraw), once per step to
// let the host process its events (Stop is `sim.stop_requested`), and when the steps end
// before the final reports.
struct RelaxationObserver {
    std::function<void(const InitializeResult&)> initialized;
    std::function<void()> after_positions;
    std::function<void()> pump_events;
    std::function<void()> steps_ended;
};

enum class RunEnd { Converged, StepLimit, Stopped, TooLargeAngles };

struct RelaxationResult {
    int steps = 0;
    Real error = 0; // largest rotational force of the last step, N
    RunEnd end = RunEnd::StepLimit;
    bool initialized = false; // the run had to initialise the system first
    InitializeResult initialize_result;
};

// The largest |frx| or |frz| over the movable spheres (per-sphere shares for composites).
Real max_rotational_force(const Simulator& sim);

// One step of a run: new angles from the rotational forces (the law chosen by `time_domain`),
// positions, then after_positions, matrix, charges, forces and rotational forces. Returns the
// step's error (the largest rotational force, N). The angle checks and the bookkeeping of the
// previous angles are the caller's.
Real relaxation_step(Simulator& sim, bool time_domain, Real dt, Real damping,
                     const std::function<void()>& after_positions = {});

// A whole Calculate run: Initialize first when the system is not initialised (reading
// `description`), the steps, then the final reports.
RelaxationResult run_calculate(Simulator& sim, const std::vector<std::string>& description,
                               const RelaxationSettings& settings, const RelaxationObserver& observer = {});

} // namespace ambrel
