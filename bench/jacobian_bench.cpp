// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The stability Jacobian of balls hanging from a grid 1 cm apart: 200 balls (20 x 10, 400 rows)
// and 500 balls (25 x 20, 1000 rows), from the initialised system, with the default settings.
#include "bench_figures.h"
#include "bench_geometry.h"
#include "report/jacobian_report.h"
#include "report/run_report.h"
#include "session/session.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"

#include <benchmark/benchmark.h>

namespace {

using namespace ambrel;

void BM_Jacobian(benchmark::State& state, int columns, int rows) {
    NullSink sink;
    Session session(sink);
    session.set_reporter(text_reporter());
    initialize_system(session, bench::hanging_balls_description(columns, rows));
    JacobianResult result;
    for (auto _ : state) {
        result = compute_jacobian(session, JacobianSettings{}, {});
        report_jacobian(session.sink(), result, JacobianPrint{});
        benchmark::DoNotOptimize(result.matrix.data());
    }
    if (!result.computed)
        state.SkipWithError("the Jacobian was not computed");
    state.counters["rows"] = result.size;
}

} // namespace

BENCHMARK_CAPTURE(BM_Jacobian, balls200, 20, 10)
    ->Name("Jacobian/200 hanging balls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK_CAPTURE(BM_Jacobian, balls500, 25, 20)
    ->Name("Jacobian/500 hanging balls")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
