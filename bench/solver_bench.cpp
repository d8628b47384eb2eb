// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick every figure of ambrel-bench is a multiple of: one plain LAPACK Cholesky (dpotrf)
// of the elastance matrix of 2000 balls, in double. The dense solver's tiers and the Gauss-Jordan
// reference solve the same matrix, so their multiples compare like with like.
#include "bench_figures.h"
#include "bench_geometry.h"
#include "physics/dense_solver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <vector>

extern "C" void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info,
                        std::size_t uplo_len);

namespace {

using ambrel::Real;
using ambrel::SolverTier;

constexpr int YARDSTICK_SIZE = 2000;

// Random non-overlapping balls in a 40 cm box: symmetric positive definite, built once.
const std::vector<Real>& yardstick_matrix() {
    static const std::vector<Real> P = [] {
        std::vector<Real> m(static_cast<std::size_t>(YARDSTICK_SIZE) * YARDSTICK_SIZE);
        ambrel::bench::fill_elastance(ambrel::bench::random_balls(YARDSTICK_SIZE), m.data());
        return m;
    }();
    return P;
}

void BM_Yardstick(benchmark::State& state) {
    const int n = YARDSTICK_SIZE;
    const auto& P = yardstick_matrix();
    const std::vector<double> original(P.begin(), P.end());
    std::vector<double> A(original.size());
    int info = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(original.begin(), original.end(), A.begin());
        state.ResumeTiming();
        const char uplo = 'L';
        dpotrf_(&uplo, &n, A.data(), &n, &info, 1);
        benchmark::DoNotOptimize(A.data());
    }
    if (info != 0)
        state.SkipWithError("the yardstick matrix is not positive definite");
}

// One solver at full capacity, as the program has.
ambrel::DenseSymmetricSolver& shared_solver() {
    static ambrel::DenseSymmetricSolver solver(ambrel::MAX_SPHERES);
    return solver;
}

void BM_Solve(benchmark::State& state, SolverTier tier) {
    const int n = YARDSTICK_SIZE;
    const auto& P = yardstick_matrix();
    const auto v = ambrel::bench::sample_voltages(n);
    std::vector<Real> x(static_cast<std::size_t>(n));
    ambrel::SolveOutcome outcome;
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(P.begin(), P.end(), shared_solver().matrix(n));
        state.ResumeTiming();
        outcome = shared_solver().solve(n, v.data(), x.data(), tier);
        benchmark::DoNotOptimize(x.data());
    }
    if (outcome.tier_used != tier)
        state.SkipWithError("the solver fell back to another tier");
}

} // namespace

BENCHMARK(BM_Yardstick)
    ->Name(ambrel::bench::YARDSTICK)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7);
BENCHMARK_CAPTURE(BM_Solve, fast, SolverTier::Fast)
    ->Name("Solve/fast tier/2000 balls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_Solve, exact, SolverTier::Exact)
    ->Name("Solve/exact tier/2000 balls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3);

namespace ambrel::bench {

// Registered by main unless the quick mode leaves it out: 30 to 40 seconds.
void register_reference_benchmark() {
    benchmark::RegisterBenchmark("Solve/Gauss-Jordan reference/2000 balls", BM_Solve, SolverTier::Reference)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
}

} // namespace ambrel::bench
