#include "model/units.h"
#include "solver/relaxation.h"

#include "text/number_format.h"
#include "physics/charge_solver.h"
#include "physics/forces.h"
#include "physics/reports.h"

#include <cmath>

namespace ambrel {

namespace {

constexpr Real MAX_ANGLE = 1000; // rad: beyond this the system is taken as diverging

void call(const std::function<void()>& f) {
    if (f)
        f();
}

// Copies the angles (and speeds) of the last sphere of an object to its other spheres.
void copy_to_object(Simulator& sim, int i) {
    const Sphere& last = sim.spheres[i];
    for (int k = i - last.object_spheres + 1; k < i; ++k) {
        Sphere& s = sim.spheres[k];
        s.Ax = last.Ax;
        s.Az = last.Az;
        s.speed_Ax = last.speed_Ax;
        s.speed_Az = last.speed_Az;
    }
}

void random_start(Simulator& sim, Real max_error) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        Sphere& s = sim.spheres[i];
        if (s.L == 0 || !s.is_object_last())
            continue;
        s.prev_Ax += (2 * sim.next_uniform() - 1) * max_error;
        s.prev_Az += (2 * sim.next_uniform() - 1) * max_error;
        for (int k = i - s.object_spheres + 1; k < i; ++k) {
            sim.spheres[k].prev_Ax = s.prev_Ax;
            sim.spheres[k].prev_Az = s.prev_Az;
        }
    }
}

void update_angles(Simulator& sim, bool time_domain, Real dt, Real damping) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        Sphere& s = sim.spheres[i];
        if (s.L == 0 || !s.is_object_last())
            continue;
        const int n = s.object_spheres;
        const Real c = limited_cosec(s.prev_Az);
        if (!time_domain) {
            // A massless body moves as if it weighed 2e-5 kg in all.
            const Real K = s.m == 0 ? dt * dt / ((2e-5L / n) * s.L) : dt * dt / (2 * s.m * s.L);
            s.Ax = s.prev_Ax + c * s.frx * K;
            s.Az = s.prev_Az + s.frz * K;
        } else {
            const Real m = s.m != 0 ? s.m : (s.kind == KIND_BALL ? 1e-4L : 1e-4L / n);
            const Real a = s.kind == KIND_BALL ? damping : damping / n;
            s.speed_Ax = s.prev_speed_Ax + (dt / m) * (c * s.frx / s.L - a * s.prev_speed_Ax);
            s.speed_Az = s.prev_speed_Az + (dt / m) * (s.frz / s.L - a * s.prev_speed_Az);
            s.Ax = s.prev_Ax + dt * s.prev_speed_Ax;
            s.Az = s.prev_Az + dt * s.prev_speed_Az;
        }
        if (n > 1)
            copy_to_object(sim, i);
    }
}

// The positions are not recomputed: the reports belong to the angles of the last step.
void final_reports(Simulator& sim, int steps) {
    compute_and_report(sim, false);
    sim.add_output_line("Steps=" + std::to_string(steps));
}

} // namespace

Real max_rotational_force(const Simulator& sim) {
    Real largest = 0;
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        if (s.L == 0)
            continue;
        largest = std::max(largest, std::fabs(s.frx));
        largest = std::max(largest, std::fabs(s.frz));
    }
    return largest;
}

Real relaxation_step(Simulator& sim, bool time_domain, Real dt, Real damping,
                     const std::function<void()>& after_positions) {
    update_angles(sim, time_domain, dt, damping);
    evaluate_system(sim, after_positions);
    return max_rotational_force(sim);
}

RelaxationResult run_calculate(Simulator& sim, const std::vector<std::string>& description,
                               const RelaxationSettings& settings, const RelaxationObserver& observer) {
    RelaxationResult result;
    if (!sim.system_initialized) {
        result.initialize_result = initialize_system(sim, description);
        result.initialized = true;
        if (observer.initialized)
            observer.initialized(result.initialize_result);
    }
    sim.add_output_line("Calculating...");
    for (int i = 1; i <= sim.sphere_count; ++i) {
        sim.spheres[i].prev_Ax = sim.spheres[i].Ax;
        sim.spheres[i].prev_Az = sim.spheres[i].Az;
    }
    const Real dt = settings.time_step;
    const Real tolerance = settings.force_error_uN * 1e-6L;
    // The run keeps the law it started with, whatever the option does meanwhile: the speeds
    // and the damping belong to the start of the run.
    const bool time_domain = sim.option(Option::SpeedSimulation);
    sim.stop_requested = false;
    int step = 0;
    if (time_domain) {
        for (int i = 1; i <= sim.sphere_count; ++i) {
            sim.spheres[i].prev_speed_Ax = 0;
            sim.spheres[i].prev_speed_Az = 0;
        }
    }
    if (settings.random_start)
        random_start(sim, settings.max_random_error_deg * PI / 180);

    bool too_large = false;
    bool converged = false;
    Real error = 0;
    while (!sim.stop_requested) {
        ++step;
        error = relaxation_step(sim, time_domain, dt, settings.damping, observer.after_positions);
        for (int i = 1; i <= sim.sphere_count; ++i) {
            Sphere& s = sim.spheres[i];
            if (time_domain) {
                s.prev_speed_Ax = s.speed_Ax;
                s.prev_speed_Az = s.speed_Az;
            }
            if (!(std::fabs(s.Ax) <= MAX_ANGLE && std::fabs(s.Az) <= MAX_ANGLE)) {
                sim.add_output_line("Too large angles. The system may be unstable");
                sim.stop_requested = true;
                too_large = true;
                break;
            }
            s.prev_Ax = s.Ax;
            s.prev_Az = s.Az;
        }
        call(observer.pump_events);
        if (sim.option(Option::ShowErrors))
            sim.add_output_line("Steps=" + std::to_string(step) +
                                ", Error=" + real_to_fixed_text(error * 1e6L, 10, 6));
        if (step >= settings.max_steps || error < tolerance) {
            converged = converged || error < tolerance;
            sim.stop_requested = true;
        }
    }
    call(observer.steps_ended);
    result.steps = step;
    result.error = error;
    if (too_large)
        result.end = RunEnd::TooLargeAngles;
    else if (converged)
        result.end = RunEnd::Converged;
    else if (step >= settings.max_steps)
        result.end = RunEnd::StepLimit;
    else
        result.end = RunEnd::Stopped;
    final_reports(sim, step);
    return result;
}

} // namespace ambrel
