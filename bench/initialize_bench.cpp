// The whole computation of Initialize (positions, elastance matrix, solution, charges, forces,
// rotational forces) and one relaxation step, for each solver tier and for the plain
// Gauss-Jordan reference on the same systems, so every ratio comes from one run.
//   random: n non-overlapping balls of 0.5 to 1 cm in a 40 cm box, on strings, at 1 kV
//   plates: n/100 flat 10x10 plates (1 cm square) stacked 1 cm apart, alternately at +-100 V
#include "bench_geometry.h"
#include "description/reader.h"
#include "physics/evaluation.h"
#include "session/session.h"
#include "solver/relaxation.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace ambrel;

std::vector<std::string> random_balls_description(int n) {
    // Non-overlapping balls hanging straight down on 10 cm strings.
    const bench::SphereSet set = bench::random_balls(n, 7);
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i) {
        const auto cm = [](Real v) { return std::to_string(static_cast<double>(v * 100)); };
        lines.push_back("Bb" + std::to_string(i) + " A " + cm(set.x[i] - 0.2L) + " " + cm(set.y[i] - 0.2L) +
                        " " + cm(set.z[i] - 0.2L + 0.1L) + " 10 0 0 " + cm(set.r[i]) + " 0.4");
    }
    lines.push_back(".V A 1000");
    return lines;
}

std::vector<std::string> stacked_plates_description(int n) {
    std::vector<std::string> lines;
    for (int p = 0; p < n / 100; ++p)
        lines.push_back("Qp" + std::to_string(p) + " " + (p % 2 ? "B" : "A") + " 0 0 " + std::to_string(p) +
                        " 0 0 0 0.5 1");
    lines.push_back(".V A 100");
    lines.push_back(".V B -100");
    return lines;
}

struct BenchSystem {
    NullSink sink;
    Session session{sink};
    BenchSystem(bool plates, int n, SolverTier tier) {
        session.options.set(Option::AlwaysCalculate, true);
        session.view_reset_pending = false;
        read_description(session.model, session.options,
                         plates ? stacked_plates_description(n) : random_balls_description(n), sink);
        session.workspace.requested_tier = tier;
    }
    void computation() { evaluate(session.model, session.options, session.workspace, session.evaluation); }
};

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

void BM_InitializeComputation(benchmark::State& state, SolverTier tier) {
    const bool plates = state.range(0) == 1;
    const int n = static_cast<int>(state.range(1));
    BenchSystem system(plates, n, tier);
    system.computation(); // allocation of the work storage happens once, outside the timing
    for (auto _ : state) {
        system.computation();
        benchmark::DoNotOptimize(system.session.evaluation.total_capacitance);
    }
    state.counters["spheres"] = system.session.model.sphere_count;
    state.SetLabel(plates ? "plates" : "random");
}

// One step of a run: the angles, then the whole evaluation (with the lines a step may write).
void BM_RelaxationStep(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchSystem system(false, n, SolverTier::Fast);
    system.computation();
    for (auto _ : state) {
        step_angles(system.session.model, system.session.evaluation, 0.05L);
        system.session.evaluate();
        benchmark::DoNotOptimize(max_rotational_force(system.session.model, system.session.evaluation));
    }
    state.SetLabel("random");
}

const std::vector<std::vector<int64_t>> GEOMETRIES_AND_SIZES{{0, 1}, {500, 1000, 2000}};

} // namespace

BENCHMARK_CAPTURE(BM_InitializeComputation, fast, SolverTier::Fast)
    ->ArgsProduct(GEOMETRIES_AND_SIZES)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_InitializeComputation, exact, SolverTier::Exact)
    ->ArgsProduct(GEOMETRIES_AND_SIZES)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_InitializeComputation, reference, SolverTier::Reference)
    ->ArgsProduct(GEOMETRIES_AND_SIZES)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_RelaxationStep)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
