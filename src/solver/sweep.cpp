// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/sweep.h"

#include "solver/equilibrium.h"
#include "text/number_format.h"

#include <array>
#include <cmath>

namespace ambrel {

SweepPoint state_point(const SystemModel& model, const Evaluation& ev) {
    SweepPoint point;
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (!o.movable())
            continue;
        point.Ax.push_back(o.Ax);
        point.Az.push_back(o.Az);
    }
    point.charges.assign(static_cast<std::size_t>(model.conductor_count), 0);
    for (int i = 1; i <= model.sphere_count; ++i) {
        const int c = model.spheres[i].conductor;
        if (c >= 1 && c <= model.conductor_count)
            point.charges[static_cast<std::size_t>(c - 1)] += ev.Q[i];
    }
    point.capacitance = ev.total_capacitance;
    return point;
}

namespace {

// START + i STEP may pass STOP by this much of a step and still count: the rounding of a
// decimal step (0.1) must not lose the last point.
constexpr Real RANGE_ROUNDING = 1e-9L;

// The angles and speeds of every object: the state a failed point gives back.
using ObjectState = std::array<Real, 4>;

std::vector<ObjectState> save_objects(const SystemModel& model) {
    std::vector<ObjectState> saved(static_cast<std::size_t>(model.object_count) + 1);
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        saved[k] = {o.Ax, o.Az, o.speed_Ax, o.speed_Az};
    }
    return saved;
}

void restore_objects(SystemModel& model, const std::vector<ObjectState>& saved) {
    for (int k = 1; k <= model.object_count; ++k) {
        Object& o = model.objects[k];
        o.Ax = saved[k][0];
        o.Az = saved[k][1];
        o.speed_Ax = saved[k][2];
        o.speed_Az = saved[k][3];
    }
}

// The columns of a sweep of `conductor`: the movable objects and the conductors of the model.
SweepResult sweep_columns(const SystemModel& model, int conductor) {
    SweepResult result;
    result.conductor = conductor;
    result.conductor_name = model.conductors[conductor].name;
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (!o.movable())
            continue;
        result.objects.push_back(k);
        result.object_indices.push_back(sweep_object_index(o));
        result.object_names.push_back(model.spheres[o.first].name);
    }
    for (int c = 1; c <= model.conductor_count; ++c)
        result.conductor_names.push_back(model.conductors[c].name);
    return result;
}

SweepPoint make_point(const SystemModel& model, const Evaluation& ev, Real voltage,
                      const RelaxationResult& run) {
    SweepPoint point = state_point(model, ev);
    point.voltage = voltage;
    point.steps = run.steps;
    point.error = run.error;
    point.end = point_end(run.end, ev.diagnostics.singular_pivot > 0);
    return point;
}

std::string unknown_conductor_message(const SystemModel& model, const std::string& name) {
    std::string message = "unknown conductor '" + name + "'";
    if (model.conductor_count == 0)
        return message + ": the description has no conductor";
    message += " (the conductors are:";
    for (int c = 1; c <= model.conductor_count; ++c)
        message += (c > 1 ? ", " : " ") + model.conductors[c].name;
    return message + ")";
}

} // namespace

Result<int> sweep_point_count(const SweepRange& range) {
    if (range.step == 0)
        return Result<int>::failure("STEP must not be 0");
    if (range.start == range.stop)
        return 1;
    const Real steps = (range.stop - range.start) / range.step;
    if (steps < 0)
        return Result<int>::failure("a STEP of " + format_g(range.step) + " goes from START " +
                                    format_g(range.start) + " away from STOP " + format_g(range.stop));
    const Real count = std::floor(steps + RANGE_ROUNDING) + 1;
    if (!(count <= MAX_SWEEP_POINTS))
        return Result<int>::failure("the range has " + format_g(count) + " points; a sweep has at most " +
                                    std::to_string(MAX_SWEEP_POINTS));
    return static_cast<int>(count);
}

void set_sweep_voltage(SystemModel& model, int conductor, Real voltage) {
    // As a .V line: an isolated conductor is held at the voltage from now on.
    model.conductors[conductor].V = voltage;
    model.conductors[conductor].isolated = false;
}

Result<SweepResult> run_sweep(Session& session, const SweepRequest& request,
                              const RelaxationSettings& settings, const SweepObserver& observer) {
    const Session::CommandScope command(session);
    SystemModel& model = session.model;
    if (!session.system_initialized)
        return Result<SweepResult>::failure("the system must be initialised before a sweep");
    const Result<int> counted = sweep_point_count(request.range);
    if (!counted)
        return counted.status();
    const int conductor = model.find_conductor(request.conductor);
    if (conductor == 0)
        return Result<SweepResult>::failure(unknown_conductor_message(model, request.conductor));

    const int count = *counted;
    SweepResult result = sweep_columns(model, conductor);
    result.planned = count;
    if (observer.began)
        observer.began(result);

    std::vector<ObjectState> good = save_objects(model);
    for (int i = 0; i < count; ++i) {
        if (session.stop_requested()) {
            result.stopped = true;
            break;
        }
        const Real voltage = sweep_voltage(request.range, i);
        if (observer.point_started)
            observer.point_started(i, count, voltage);
        session.reporter().sweep_point(session.sink(), i, count, result.conductor_name, voltage);
        set_sweep_voltage(model, conductor, voltage);
        // The run's first step moves by the forces at the new voltage.
        session.evaluate([&] {
            if (observer.run.after_positions)
                observer.run.after_positions(session.model, session.evaluation);
        });

        // A run the host's Stop ended gives no point; a Stop that comes after its steps (during
        // its final reports) ends the sweep after this point. Find equilibrium's iterations count
        // as the point's steps.
        RelaxationResult run;
        if (request.method == SweepMethod::Equilibrium) {
            const EquilibriumResult found =
                find_equilibrium(session, equilibrium_settings(settings), observer.run);
            run.steps = found.iterations;
            run.error = found.error;
            run.end = found.end;
        } else {
            run = run_calculate(session, settings, observer.run);
        }
        if (run.end == RunEnd::Stopped) {
            result.stopped = true;
            break;
        }

        SweepPoint point = make_point(model, session.evaluation, voltage, run);
        if (point.usable()) {
            good = save_objects(model);
        } else {
            restore_objects(model, good);
            session.evaluate();
        }
        result.points.push_back(std::move(point));
        if (observer.point_done)
            observer.point_done(result.points.back(), static_cast<int>(result.points.size()), count);
    }
    session.reporter().sweep_ended(session.sink(), result);
    return result;
}

} // namespace ambrel
