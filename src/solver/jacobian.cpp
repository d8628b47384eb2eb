// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/jacobian.h"

#include "physics/evaluation.h"
#include "physics/parallel.h"
#include "physics/perturbation.h"
#include "solver/eigenvalues.h"
#include "solver/relaxation.h"

#include <omp.h>

#include <algorithm>
#include <exception>

namespace ambrel {

namespace {
// Pair terms of a batch of the Jacobian's perturbed evaluations, and the fewest that go on the
// team: 8 x 128^2, the work of eight evaluations of the size from which the loops of one
// evaluation go parallel (physics/parallel.h), about a millisecond.
constexpr double BATCH_WORK = 1 << 20;
constexpr double PARALLEL_BATCH_WORK = 8.0 * PARALLEL_MIN_SPHERES * PARALLEL_MIN_SPHERES;
} // namespace

ChartStepsRun evaluate_chart_steps(Session& session, const StabilityChart& chart,
                                   const std::vector<ChartStep>& steps, const ChartStepRecorder& record,
                                   const RunObserver& observer, int smallest) {
    ChartStepsRun result;
    const SystemModel& base = session.model;
    const Evaluation& unperturbed = session.evaluation;
    const Options& options = session.switches();
    SystemModel positioned = base;
    compute_positions(positioned, options);
    const int total = static_cast<int>(steps.size());
    auto progress = [&](int done) {
        if (observer.progress)
            observer.progress(done, total);
    };
    // Each perturbation's solve starts from the base state's factor and charges.
    const WarmStart warm(session.workspace, SolveStart::WarmFromAnchor);

    // Large systems: the perturbations are independent and run in parallel, each on one thread
    // from the base state's factor (see physics/perturbation.h). Those that cannot be done that
    // way follow below in order as full evaluations.
    std::vector<char> done(steps.size(), 0);
    if (base.sphere_count >= smallest && base.sphere_count <= MAX_PARALLEL_JACOBIAN_SPHERES) {
        PerturbationBase shared;
        if (shared.prepare(positioned, options, unperturbed, MAX_PARALLEL_JACOBIAN_SPHERES, smallest)) {
            // The evaluations go in batches of about BATCH_WORK pair terms (each evaluation
            // about n^2; a few milliseconds of work, at least one evaluation a thread and at most
            // 32); before each, outside any parallel region, the host hears of the progress and
            // its Stop is looked at. No callback runs on the team, and an exception of a thread
            // (out of memory) is carried out of the region and thrown on the command's thread.
            // A batch runs on the team when its work pays for the threads' start and join (the
            // finder's Jacobians of a few dozen spheres do; those of a handful do not).
            const int threads = std::max(1, omp_get_max_threads());
            const double per_evaluation = static_cast<double>(base.sphere_count) * base.sphere_count;
            const int batch = static_cast<int>(
                std::clamp(BATCH_WORK / per_evaluation, static_cast<double>(threads), 32.0 * threads));
            const bool on_team =
                threads > 1 && std::min(batch, total) * per_evaluation >= PARALLEL_BATCH_WORK;
            std::exception_ptr failure;
            for (int first = 0; first < total && !result.stopped; first += batch) {
                progress(first);
                if (session.stop_requested()) {
                    result.stopped = true;
                    break;
                }
                const int last = std::min(total, first + batch);
                run_parallel(on_team, [&] {
                    try {
                        SystemModel local = positioned;
                        Evaluation local_ev = unperturbed;
                        PerturbedEvaluation perturbed;
#pragma omp for schedule(dynamic, 1)
                        for (int k = first; k < last; ++k) {
                            const ChartStep& step = steps[k];
                            Object& o = local.objects[step.object];
                            const Real ax = o.Ax, az = o.Az;
                            apply_chart_step(chart, local, step);
                            compute_object_positions(local, options, step.object);
                            if (perturbed.evaluate(shared, local, options, local_ev)) {
                                record(step, local, local_ev);
                                done[k] = 1;
                            }
                            o.Ax = ax;
                            o.Az = az;
                            compute_object_positions(local, options, step.object);
                        }
                    } catch (...) {
#pragma omp critical(ambrel_jacobian_failure)
                        if (!failure)
                            failure = std::current_exception();
                    }
                });
                if (failure)
                    std::rethrow_exception(failure);
            }
            result.parallel = static_cast<int>(std::count(done.begin(), done.end(), 1));
        }
    }

    SystemModel work = base;
    Evaluation trial = unperturbed;
    bool evaluated = false;
    // One Jacobian says each of its diagnostics once, with the number of evaluations that gave it.
    const Session::DiagnosticTally tally(session);
    for (int k = 0; k < total && !result.stopped; ++k) {
        if (done[k])
            continue;
        progress(k + 1);
        if (session.stop_requested()) {
            result.stopped = true;
            break;
        }
        const ChartStep& step = steps[k];
        Object& o = work.objects[step.object];
        const Real ax = o.Ax, az = o.Az;
        apply_chart_step(chart, work, step);
        EvaluationHooks hooks;
        hooks.after_positions = [&] {
            if (observer.after_positions)
                observer.after_positions(work, trial);
        };
        // The solver's notes are those of the update law's own columns: the stability's further
        // evaluations of the same states repeat them without news.
        if (step.printed_column)
            hooks.after_charges = [&] { session.report_charge_diagnostics(trial.diagnostics, work); };
        evaluate(work, options, session.workspace, trial, hooks);
        evaluated = true;
        record(step, work, trial);
        o.Ax = ax;
        o.Az = az;
    }
    if (evaluated) {
        // The session is left as it was found: its model and evaluation were never touched, but
        // the workspace holds the last perturbed state's matrix, which the reports after it (the
        // capacitances) would read. It is built again for the unperturbed state.
        Evaluation scratch;
        compute_charges(session.model, options, session.workspace, scratch);
    }
    return result;
}

MeasuredChartJacobians measure_chart_jacobians(Session& session, const SystemModel& base,
                                               const StabilityChart& chart,
                                               const std::vector<ChartStep>& steps,
                                               const ChartStepRecorder& also, const RunObserver& observer,
                                               int smallest) {
    std::vector<Real> base_velocity(static_cast<std::size_t>(2 * chart.objects));
    chart_velocity(chart, base, session.evaluation, base_velocity.data());
    MeasuredChartJacobians measured{ChartJacobians(chart, std::move(base_velocity)), {}};
    measured.run = evaluate_chart_steps(
        session, chart, steps,
        [&](const ChartStep& step, const SystemModel& model, const Evaluation& ev) {
            if (also)
                also(step, model, ev);
            if (step.set >= 0) {
                std::vector<Real> velocity(static_cast<std::size_t>(2 * chart.objects));
                chart_velocity(chart, model, ev, velocity.data());
                measured.jacobians.record(step, velocity.data());
            }
        },
        observer, smallest);
    if (!measured.run.stopped)
        measured.jacobians.finish(steps);
    return measured;
}

JacobianResult compute_jacobian(Session& session, const JacobianSettings& settings,
                                const RunObserver& observer) {
    const Session::CommandScope command(session);
    JacobianResult result;
    const SystemModel& base = session.model;
    if (session.option(Option::SpeedSimulation)) {
        result.speed_simulation = true;
        return result;
    }
    if (base.object_count > MAX_JACOBIAN_OBJECTS) {
        result.objects = base.object_count;
        result.most_objects = MAX_JACOBIAN_OBJECTS;
        return result;
    }
    const int N = 2 * base.object_count;
    const Real dt = settings.time_step, h = settings.angle_variation;
    result.size = N;
    result.h = h;
    result.matrix.assign(static_cast<std::size_t>(N) * N, 0);
    Real* J = result.matrix.data();

    // The rotational forces left by the last computation are the base values when they belong to
    // the model as it stands (the same reading, angles and voltages); otherwise (charges never
    // computed, angles changed since) they are computed first. Each column perturbs one angle of
    // a copy of the model.
    if (!session.evaluation.belongs_to(base))
        session.evaluate();
    const Evaluation& unperturbed = session.evaluation;
    const Options& options = session.switches();
    SystemModel positioned = base;
    compute_positions(positioned, options);

    // The stability coordinates and the evaluations: the update law's columns at h (also the
    // chart's, where they move along it), the chart's others at h, all of them at h/2.
    const StabilityChart chart = make_stability_chart(positioned, options, dt);
    const std::vector<ChartStep> steps = plan_chart_steps(chart, h);
    const int total = static_cast<int>(steps.size());
    Real chart_residual = 0;
    {
        std::vector<Real> velocity(static_cast<std::size_t>(N));
        chart_velocity(chart, positioned, unperturbed, velocity.data(), &chart_residual);
    }
    // The state is at rest when the update law's rotational forces and the chart's are.
    const Real residual_uN = std::max(max_rotational_force(base, unperturbed), chart_residual) * 1e6L;
    // The update law's column from the rotational forces of a perturbed evaluation.
    auto record = [&](const ChartStep& step, const SystemModel& model, const Evaluation& ev) {
        if (const int column = step.printed_column) {
            for (int r = 1; r <= model.object_count; ++r) {
                const Object& row = model.objects[r];
                const int i = row.last();
                const Real K = row.L != 0 ? step_gain(model, row, dt) : 0;
                J[static_cast<std::size_t>(2 * r - 2) * N + (column - 1)] =
                    limited_cosec(row.Az) * (ev.frx[i] - unperturbed.frx[i]) * K / h;
                J[static_cast<std::size_t>(2 * r - 1) * N + (column - 1)] =
                    (ev.frz[i] - unperturbed.frz[i]) * K / h;
            }
        }
    };

    const MeasuredChartJacobians measured =
        measure_chart_jacobians(session, positioned, chart, steps, record, observer);
    const ChartStepsRun& run = measured.run;
    const ChartJacobians& charts = measured.jacobians;
    result.stopped = run.stopped;
    result.parallel_columns = run.parallel;
    result.evaluations = total;
    if (result.stopped)
        return result;
    result.computed = true;
    if (chart.used_slots.empty()) {
        result.no_movable_object = true;
        result.stability = Stability::Undecided;
        return result;
    }
    const Real relative =
        result.parallel_columns > 0 ? PERTURBED_EVALUATION_ROUNDING : FULL_EVALUATION_ROUNDING;
    const StabilityAnalysis analysis =
        analyse_stability(charts, rounding_noise(chart, positioned, unperturbed, steps, relative),
                          residual_uN <= settings.force_error_uN);
    for (const int slot : chart.used_slots)
        result.stability_coordinates.push_back(chart.slot_name(slot));
    result.stability_matrix = analysis.matrix;
    result.eigenvalues = analysis.values;
    result.stability = stability_of(analysis, residual_uN, settings.force_error_uN);
    result.analysed = analysis.computed;
    result.verdict = analysis.verdict;
    result.deciding = analysis.deciding;
    result.residual_uN = residual_uN;
    result.tolerance_uN = settings.force_error_uN;
    return result;
}

} // namespace ambrel
