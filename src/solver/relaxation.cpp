// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/relaxation.h"

#include "model/units.h"
#include "solver/initialize.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace ambrel {

namespace {

// What a run keeps of each object between its steps: the angles and speeds the step starts from.
struct Previous {
    Real Ax = 0, Az = 0;
    Real speed_Ax = 0, speed_Az = 0;
};

void random_start(Session& session, std::vector<Previous>& prev, Real max_error) {
    const SystemModel& model = session.model;
    for (int k = 1; k <= model.object_count; ++k) {
        if (model.objects[k].L == 0)
            continue;
        prev[k].Ax += (2 * session.next_uniform() - 1) * max_error;
        prev[k].Az += (2 * session.next_uniform() - 1) * max_error;
    }
}

// The default law's step of one object from the angles (ax, az).
void default_move(const SystemModel& model, Object& o, const Evaluation& ev, Real ax, Real az, Real dt) {
    // The last sphere holds the object's share of the rotational forces and the mass of the law.
    const Real K = step_gain(model, o, dt * dt);
    o.Ax = ax + limited_cosec(az) * ev.frx[o.last()] * K;
    o.Az = az + ev.frz[o.last()] * K;
}

void update_angles(SystemModel& model, const Evaluation& ev, const std::vector<Previous>& prev,
                   bool time_domain, Real dt, Real damping) {
    for (int k = 1; k <= model.object_count; ++k) {
        Object& o = model.objects[k];
        if (o.L == 0)
            continue;
        const Previous& p = prev[k];
        const int n = o.count;
        if (!time_domain) {
            default_move(model, o, ev, p.Ax, p.Az, dt);
        } else {
            const Real frx = ev.frx[o.last()], frz = ev.frz[o.last()];
            const Real c = limited_cosec(p.Az);
            const Real m = model.spheres[o.last()].m;
            const Real mass = m != 0 ? m : (o.composite() ? 1e-4L / n : 1e-4L);
            const Real a = o.composite() ? damping / n : damping;
            o.speed_Ax = p.speed_Ax + (dt / mass) * (c * frx / o.L - a * p.speed_Ax);
            o.speed_Az = p.speed_Az + (dt / mass) * (frz / o.L - a * p.speed_Az);
            o.Ax = p.Ax + dt * p.speed_Ax;
            o.Az = p.Az + dt * p.speed_Az;
        }
    }
}

} // namespace

ValueRange setting_range(RunSetting setting) {
    switch (setting) {
    case RunSetting::TimeStep:
        return {0, false, 1e6L};
    case RunSetting::AngleVariation:
        return {0, false, 1};
    case RunSetting::Steps:
        return {0, true, std::numeric_limits<std::int32_t>::max()};
    case RunSetting::ForceError:
        return {0, true, 1e6L};
    case RunSetting::Damping:
        return {0, true, 1000};
    case RunSetting::RandomError:
        return {0, true, 90};
    }
    return {};
}

void relaxation_step(SystemModel& model, const Evaluation& ev, Real dt) {
    for (int k = 1; k <= model.object_count; ++k) {
        Object& o = model.objects[k];
        if (o.L != 0)
            default_move(model, o, ev, o.Ax, o.Az, dt);
    }
}

Real step_gain(const SystemModel& model, const Object& object, Real dt_factor) {
    const Real m = model.spheres[object.last()].m;
    // A massless body takes 2 m = 2e-5 kg shared over its spheres: it moves as if it weighed
    // 1e-5 kg in all.
    return m == 0 ? dt_factor / ((2e-5L / object.count) * object.L) : dt_factor / (2 * m * object.L);
}

} // namespace ambrel

namespace ambrel {

std::string describe_run_end(const RelaxationResult& result) {
    switch (result.end) {
    case RunEnd::Converged:
        return "Converged in " + std::to_string(result.steps) + " steps";
    case RunEnd::StepLimit:
        return "Step limit reached";
    case RunEnd::Stopped:
        return "Stopped";
    case RunEnd::TooLargeAngles:
        return "Unstable";
    case RunEnd::SingularMatrix: // not ends of a run
    case RunEnd::NotApplicable:
    case RunEnd::Contact:
        break;
    }
    return {};
}

RelaxationResult run_calculate(Session& session, const RelaxationSettings& settings,
                               const RunObserver& observer) {
    const Session::CommandScope command(session);
    RelaxationResult result;
    const RunReporter& reporter = session.reporter();
    reporter.calculating(session.sink());
    SystemModel& model = session.model;
    std::vector<Previous> prev(static_cast<std::size_t>(model.object_count) + 1);
    for (int k = 1; k <= model.object_count; ++k) {
        prev[k].Ax = model.objects[k].Ax;
        prev[k].Az = model.objects[k].Az;
    }
    const Real dt = settings.time_step;
    const Real tolerance = settings.force_error_uN * 1e-6L;
    // The run keeps the law it started with, whatever the option does meanwhile: the speeds
    // and the damping belong to the start of the run.
    const bool time_domain = session.option(Option::SpeedSimulation);
    int step = 0;
    if (settings.random_start)
        random_start(session, prev, deg_to_rad(settings.max_random_error_deg));

    auto after_positions = [&] {
        if (observer.after_positions)
            observer.after_positions(session.model, session.evaluation);
    };
    RunEnd end = RunEnd::StepLimit;
    Real error = 0;
    // Each step's solve starts from the last one's factor and charges.
    const WarmStart warm(session.workspace, SolveStart::Warm);
    // The host's Stop is looked at before each step: one that came before the run (or while it
    // read its description) ends it before its first step.
    for (;;) {
        if (session.stop_requested()) {
            end = RunEnd::Stopped;
            break;
        }
        ++step;
        update_angles(model, session.evaluation, prev, time_domain, dt, settings.damping);
        session.evaluate(after_positions);
        error = max_rotational_force(model, session.evaluation);
        bool too_large = false;
        for (int k = 1; k <= model.object_count; ++k) {
            Object& o = model.objects[k];
            if (time_domain) {
                prev[k].speed_Ax = o.speed_Ax;
                prev[k].speed_Az = o.speed_Az;
            }
            if (!angles_in_range(o)) {
                reporter.too_large_angles(session.sink());
                too_large = true;
                break;
            }
            prev[k].Ax = o.Ax;
            prev[k].Az = o.Az;
        }
        if (observer.step_done)
            observer.step_done(step, error);
        if (session.option(Option::ShowErrors))
            reporter.step_error(session.sink(), step, error);
        if (too_large) {
            end = RunEnd::TooLargeAngles;
            break;
        }
        // At rest when every rotational force is within the tolerance, the ring force too: a
        // string hanging straight down with a force across its plane has frx = 0 there (the
        // force's arm vanishes) and is not at rest. The Error= lines print frx and frz alone.
        if (error < tolerance && max_rest_force(model, session.evaluation) < tolerance) {
            end = RunEnd::Converged;
            break;
        }
        if (step >= settings.max_steps) {
            end = RunEnd::StepLimit;
            break;
        }
    }
    if (observer.steps_ended)
        observer.steps_ended();
    result.steps = step;
    result.error = error;
    result.end = end;
    // The positions are not recomputed: the reports belong to the angles of the last step.
    final_evaluation(session);
    reporter.relaxation_ended(session.sink(), session.state(), result);
    return result;
}

} // namespace ambrel
