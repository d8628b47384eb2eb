// The dense solver's tiers against the Gauss-Jordan reference on the same elastance matrices:
// random balls in a 40 cm box and stacked 10 x 10 plates, n = 500, 1000, 2000.
// Arguments: n, geometry (0 = balls, 1 = plates). The counter `tier` is the tier that ran
// (0 fast, 1 exact, 2 reference) and `pivot` a singular pivot (0 when none).
#include "bench_geometry.h"
#include "physics/dense_solver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace {

using ambrel::Real;
using ambrel::SolverTier;

// One solver at full capacity, as the program has.
ambrel::DenseSymmetricSolver& shared_solver() {
    static ambrel::DenseSymmetricSolver solver(ambrel::MAX_SPHERES);
    return solver;
}

const std::vector<Real>& elastance(int n, int geometry) {
    static std::map<std::pair<int, int>, std::vector<Real>> cache;
    auto& P = cache[{n, geometry}];
    if (P.empty()) {
        const auto set = geometry == 0 ? ambrel::bench::random_balls(n) : ambrel::bench::stacked_plates(n);
        P.resize(static_cast<std::size_t>(n) * n);
        ambrel::bench::fill_elastance(set, P.data());
    }
    return P;
}

void load_matrix(int n, int geometry) {
    const auto& P = elastance(n, geometry);
    std::copy(P.begin(), P.end(), shared_solver().matrix(n));
}

void BM_Solve(benchmark::State& state, SolverTier tier) {
    const int n = static_cast<int>(state.range(0));
    const int geometry = static_cast<int>(state.range(1));
    const auto v = ambrel::bench::sample_voltages(n);
    std::vector<Real> x(static_cast<std::size_t>(n));
    ambrel::SolveOutcome outcome;
    for (auto _ : state) {
        state.PauseTiming();
        load_matrix(n, geometry);
        state.ResumeTiming();
        outcome = shared_solver().solve(n, v.data(), x.data(), tier);
        benchmark::DoNotOptimize(x.data());
    }
    state.SetLabel(geometry == 0 ? "balls" : "plates");
    state.counters["tier"] = static_cast<double>(outcome.tier_used);
    state.counters["pivot"] = outcome.singular_pivot;
}

// The capacitance matrix from the exact tier's factorisation (made once, outside the timing).
void BM_Inverse(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int geometry = static_cast<int>(state.range(1));
    const auto v = ambrel::bench::sample_voltages(n);
    std::vector<Real> x(static_cast<std::size_t>(n));
    std::vector<Real> C(static_cast<std::size_t>(n) * n);
    load_matrix(n, geometry);
    shared_solver().solve(n, v.data(), x.data(), SolverTier::Exact);
    int pivot = 0;
    for (auto _ : state) {
        pivot = shared_solver().inverse(n, C.data());
        benchmark::DoNotOptimize(C.data());
    }
    state.SetLabel(geometry == 0 ? "balls" : "plates");
    state.counters["pivot"] = pivot;
}

const std::vector<std::vector<int64_t>> SIZES = {{500, 1000, 2000}, {0, 1}};

BENCHMARK_CAPTURE(BM_Solve, fast, SolverTier::Fast)->ArgsProduct(SIZES)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, exact, SolverTier::Exact)->ArgsProduct(SIZES)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inverse)->ArgsProduct(SIZES)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, reference, SolverTier::Reference)
    ->ArgsProduct({{500}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solve, reference, SolverTier::Reference)
    ->ArgsProduct({{1000, 2000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
