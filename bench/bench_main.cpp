// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of ambrel-bench: runs the core benchmarks, then prints each figure (the median of
// its repetitions) as a multiple of the yardstick measured in the same run, so the figures can
// be compared between machines and runs whatever the speed of the machine at the time.
//   --quick (or AMBREL_BENCH_QUICK=1 in the environment) leaves out the Gauss-Jordan reference.
#include "bench_figures.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Figure {
    std::string name;
    double seconds = 0;
    bool median = false; // the median of several repetitions, not a single one
};

// The console output as usual, and the time of each benchmark kept for the summary.
class FigureReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median")
                continue;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            Figure& figure = find(run.run_name.function_name);
            if (aggregate || !figure.median) {
                figure.seconds = seconds;
                figure.median = aggregate;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void print_summary(std::FILE* out) const {
        const Figure* yardstick = nullptr;
        for (const Figure& f : figures_)
            if (f.name == ambrel::bench::YARDSTICK)
                yardstick = &f;
        if (yardstick == nullptr || yardstick->seconds <= 0) {
            std::fprintf(out, "\nNo yardstick was measured: no multiples to print.\n");
            return;
        }
        std::fprintf(out, "\nFigures as multiples of the yardstick (%s, %.1f ms), %d threads:\n",
                     ambrel::bench::YARDSTICK, yardstick->seconds * 1e3, omp_get_max_threads());
        std::fprintf(out, "%-48s %12s %10s\n", "figure", "time ms", "multiple");
        print_row(out, *yardstick, *yardstick);
        for (const Figure& f : figures_)
            if (&f != yardstick)
                print_row(out, f, *yardstick);
    }

  private:
    static void print_row(std::FILE* out, const Figure& f, const Figure& yardstick) {
        std::fprintf(out, "%-48s %12.1f %10.2f%s\n", f.name.c_str(), f.seconds * 1e3,
                     f.seconds / yardstick.seconds, f.median ? "" : "  (one run)");
    }

    Figure& find(const std::string& name) {
        for (Figure& f : figures_)
            if (f.name == name)
                return f;
        figures_.push_back(Figure{name});
        return figures_.back();
    }

    std::vector<Figure> figures_;
};

bool quick_requested(int& argc, char** argv) {
    bool quick = false;
    if (const char* env = std::getenv("AMBREL_BENCH_QUICK"))
        quick = *env != '\0' && std::strcmp(env, "0") != 0;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return quick;
}

} // namespace

int main(int argc, char** argv) {
    // Each line as soon as it is measured, also into a file or a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool quick = quick_requested(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!quick)
        ambrel::bench::register_reference_benchmark();
    std::printf("Threads (omp_get_max_threads): %d%s\n", omp_get_max_threads(),
                quick ? "; quick run, without the Gauss-Jordan reference" : "");
    std::fflush(stdout);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_summary(stdout);
    benchmark::Shutdown();
    return 0;
}
