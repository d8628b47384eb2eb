// The whole computation of Initialize (positions, elastance matrix, solution, charges, forces,
// rotational forces) and one relaxation step, for each solver tier and for the plain
// Gauss-Jordan reference on the same systems, so every ratio comes from one run.
//   random: n non-overlapping balls of 0.5 to 1 cm in a 40 cm box, on strings, at 1 kV
//   plates: n/100 flat 10x10 plates (1 cm square) stacked 1 cm apart, alternately at +-100 V
#include "bench_geometry.h"
#include "description/reader.h"
#include "physics/charge_solver.h"
#include "physics/forces.h"
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
    Simulator sim{sink};
    BenchSystem(bool plates, int n, SolverTier tier) {
        sim.options.set(Option::AlwaysCalculate, true);
        sim.four_pi_e0 = 1.11265005605356944e-10L;
        sim.view_reset_pending = false;
        read_description(sim, plates ? stacked_plates_description(n) : random_balls_description(n));
        physics_of(sim).requested_tier = tier;
    }
};

void computation(Simulator& sim) {
    compute_positions(sim);
    build_capacitance_matrix(sim);
    compute_charges(sim);
    compute_forces(sim);
    compute_rotational_forces(sim);
}

void BM_InitializeComputation(benchmark::State& state, SolverTier tier) {
    const bool plates = state.range(0) == 1;
    const int n = static_cast<int>(state.range(1));
    BenchSystem system(plates, n, tier);
    computation(system.sim); // allocation of the work storage happens once, outside the timing
    for (auto _ : state) {
        computation(system.sim);
        benchmark::DoNotOptimize(system.sim.total_capacitance);
    }
    state.counters["spheres"] = system.sim.sphere_count;
    state.SetLabel(plates ? "plates" : "random");
}

void BM_RelaxationStep(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    BenchSystem system(false, n, SolverTier::Fast);
    computation(system.sim);
    for (int i = 1; i <= system.sim.sphere_count; ++i) {
        system.sim.spheres[i].prev_Ax = system.sim.spheres[i].Ax;
        system.sim.spheres[i].prev_Az = system.sim.spheres[i].Az;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(relaxation_step(system.sim, false, 0.05L, 0.01L));
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
