// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Initialize and one relaxation step at 2000 spheres, as the program runs them on a Session.
//   Initialize: 20 flat 10 x 10 plates stacked 1 cm apart (reading, positions, elastance matrix,
//   solution, charges, forces, rotational forces and the reports, to a sink that drops them).
//   Relaxation step: 20 such plates side by side 3 cm apart, each on a 10 cm string, at 3 kV.
#include "bench_figures.h"
#include "bench_geometry.h"
#include "report/run_report.h"
#include "session/session.h"
#include "solver/initialize.h"
#include "solver/relaxation.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace ambrel;

constexpr int PLATES = 20; // 100 spheres a plate

struct BenchSession {
    NullSink sink;
    Session session{sink};
    BenchSession() {
        session.set_reporter(text_reporter());
        session.options.set(Option::AlwaysCalculate, true);
    }
};

void BM_Initialize(benchmark::State& state) {
    const auto description = bench::stacked_plates_description(PLATES);
    BenchSession bench;
    initialize_system(bench.session, description); // the work storage is allocated once, untimed
    for (auto _ : state) {
        initialize_system(bench.session, description);
        benchmark::DoNotOptimize(bench.session.evaluation.total_capacitance);
    }
    state.counters["spheres"] = bench.session.model.sphere_count;
}

// New angles by the default law of a relaxation step from the present rotational forces.
void step_angles(SystemModel& model, const Evaluation& ev, Real dt) {
    for (int k = 1; k <= model.object_count; ++k) {
        Object& o = model.objects[k];
        if (!o.movable())
            continue;
        const Real K = step_gain(model, o, dt * dt);
        o.Ax += limited_cosec(o.Az) * ev.frx[o.last()] * K;
        o.Az += ev.frz[o.last()] * K;
    }
}

// One step of a run: the angles, then the whole evaluation (with the lines a step may write).
void BM_RelaxationStep(benchmark::State& state) {
    BenchSession bench;
    initialize_system(bench.session, bench::hanging_plates_description(PLATES));
    // As in a run: each step's solve starts from the step before.
    const WarmStart warm(bench.session.workspace, SolveStart::Warm);
    int warm_steps = 0, steps = 0, refinements = 0;
    for (auto _ : state) {
        step_angles(bench.session.model, bench.session.evaluation, RelaxationSettings{}.time_step);
        bench.session.evaluate();
        benchmark::DoNotOptimize(max_rotational_force(bench.session.model, bench.session.evaluation));
        warm_steps += bench.session.workspace.last_solve_warm ? 1 : 0;
        refinements += bench.session.workspace.last_refinement_steps;
        ++steps;
    }
    state.counters["spheres"] = bench.session.model.sphere_count;
    state.counters["warm"] = steps > 0 ? static_cast<double>(warm_steps) / steps : 0;
    state.counters["refinements"] = steps > 0 ? static_cast<double>(refinements) / steps : 0;
}

// The parts of one evaluation of the hanging plates: the elastance matrix and its solution,
// the forces.
void BM_Charges(benchmark::State& state) {
    BenchSession bench;
    initialize_system(bench.session, bench::hanging_plates_description(PLATES));
    for (auto _ : state) {
        compute_charges(bench.session.model, bench.session.options, bench.session.workspace,
                        bench.session.evaluation);
        benchmark::DoNotOptimize(bench.session.evaluation.total_capacitance);
    }
}

void BM_Forces(benchmark::State& state) {
    BenchSession bench;
    initialize_system(bench.session, bench::hanging_plates_description(PLATES));
    for (auto _ : state) {
        compute_forces(bench.session.model, bench.session.evaluation, &bench.session.workspace);
        benchmark::DoNotOptimize(bench.session.evaluation.fx[1]);
    }
}

} // namespace

BENCHMARK(BM_Charges)
    ->Name("Part/charges, 2000 spheres")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);
BENCHMARK(BM_Forces)
    ->Name("Part/forces, 2000 spheres")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);
BENCHMARK(BM_Initialize)
    ->Name("Initialize/2000 spheres, stacked plates")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);
BENCHMARK(BM_RelaxationStep)
    ->Name("Relaxation step/2000 spheres, hanging plates")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);
