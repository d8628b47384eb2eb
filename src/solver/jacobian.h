// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The numerical Jacobian of the default update law at the present angles, for stability
// analysis: for each object o, f(2o-1) = dt/(2 m L) * frx * cosec Az and f(2o) = dt/(2 m L) * frz;
// entry (row, column) = d f(row) / d A(column) by one-sided differences of step h, in 1/s. The
// stability follows from the same motion in coordinates smooth where a string hangs straight
// down (solver/stability.h), differenced with steps h and h/2: each eigenvalue with its error,
// and a verdict only where the errors allow one.
#pragma once

#include "results/stability_result.h"
#include "session/session.h"
#include "solver/run_observer.h"
#include "solver/stability.h"

#include <functional>
#include <string>
#include <vector>

namespace ambrel {

// Objects beyond this give more than 2000 rows: the command refuses them.
constexpr int MAX_JACOBIAN_OBJECTS = 1000;
// Up to this many spheres the perturbations of a large system are evaluated in parallel, each
// thread with its own copy of the system.
constexpr int MAX_PARALLEL_JACOBIAN_SPHERES = 1000;

// What the Jacobian computes with; how it is printed is the host's (report/jacobian_report.h).
struct JacobianSettings {
    Real time_step = 0.05L;         // dt (the main window's time step)
    Real angle_variation = 0.0001L; // h, rad
    Real force_error_uN = 0.0001L;  // a state whose largest rotational force is above this is no equilibrium
};

// Perturbs a copy of the model one angle at a time; progress and after_positions of the observer
// are called; Stop ends it between two evaluations. The base state is the session's last
// evaluation when it belongs to the model's angles (Evaluation::belongs_to), else it is computed
// first; the command leaves the session's model and evaluation as it found them. The session is
// initialised: the host reads the description first with read_if_needed when it is not. The
// command writes no report (its evaluations' charge diagnostics aside): the host writes it from
// the result with report_jacobian (report/jacobian_report.h) and its own print settings.
JacobianResult compute_jacobian(Session& session, const JacobianSettings& settings,
                                const RunObserver& observer = {});

// Evaluates the perturbed states of `steps` from the session's present state (whose evaluation
// belongs to its model), each moved by apply_chart_step: in parallel from the base state's factor
// for systems of WARM_START_MIN_SIZE to MAX_PARALLEL_JACOBIAN_SPHERES spheres, the rest in order in
// full (observer.after_positions called, the solver's diagnostic lines written for the update
// law's columns). `record` receives each evaluation, from any thread of the team (distinct steps
// at once). Progress (evaluations done of all) and the Stop are looked at between batches and
// before each full evaluation. The session's model and evaluation are left untouched; its
// workspace is built again for them when a full evaluation ran.
using ChartStepRecorder = std::function<void(const ChartStep&, const SystemModel&, const Evaluation&)>;
struct ChartStepsRun {
    bool stopped = false;
    int parallel = 0; // evaluations done on the parallel path
};
ChartStepsRun evaluate_chart_steps(Session& session, const StabilityChart& chart,
                                   const std::vector<ChartStep>& steps, const ChartStepRecorder& record,
                                   const RunObserver& observer = {}, int smallest = WARM_START_MIN_SIZE);

// The chart's Jacobians at steps h and h/2 about `base` (the session's state with its positions
// computed), measured by evaluate_chart_steps and finished: the one way the Jacobian command, the
// finder and the tests build them. `also` (if given) receives every evaluation as well (the
// Jacobian command fills the update law's columns from it). `chart` must outlive the result.
struct MeasuredChartJacobians {
    ChartJacobians jacobians;
    ChartStepsRun run; // when stopped, the Jacobians are not finished
};
MeasuredChartJacobians
measure_chart_jacobians(Session& session, const SystemModel& base, const StabilityChart& chart,
                        const std::vector<ChartStep>& steps, const ChartStepRecorder& also = {},
                        const RunObserver& observer = {}, int smallest = WARM_START_MIN_SIZE);

} // namespace ambrel
