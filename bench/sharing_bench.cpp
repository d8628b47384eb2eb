// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ambrel-bench-sharing: how Ambrel shares the machine with other programs.
//
//   1. 3000 relaxation steps of the four balls of the default description (no tolerance, so all
//      3000 run), first on an idle machine, then with a core-bound program on every core, in
//      alternation, several times (each time the mean of a few runs back to back): the figure is
//      the median time loaded over the median time idle.
//      A small system must not lose much more than its share of a core to the other programs.
//   2. One relaxation step of square grids of hanging balls around PARALLEL_MIN_SPHERES, with one
//      thread and with all of them (idle): from the threshold on, the threads should pay.
//
// Times are measured inside the process (steady clock); only ratios within this run are printed
// as the result, since the machine's speed drifts between runs.
//   --rounds N   alternations of idle and loaded runs (default 5)
#include "description/reader.h"
#include "physics/parallel.h"
#include "report/run_report.h"
#include "session/session.h"
#include "solver/initialize.h"
#include "solver/relaxation.h"

#include <omp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ambrel;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// 3000 steps of the four balls, from a fresh Initialize; seconds.
double four_balls_run_once() {
    NullSink sink;
    Session session(sink);
    session.set_reporter(text_reporter());
    initialize_system(session, default_description());
    RelaxationSettings settings;
    settings.max_steps = 3000;
    settings.force_error_uN = 0;
    const auto start = Clock::now();
    const RelaxationResult result = run_calculate(session, settings);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (result.steps != 3000) {
        std::fprintf(stderr, "the run took %d steps instead of 3000\n", result.steps);
        std::exit(1);
    }
    return seconds;
}

// A sample: RUNS_PER_SAMPLE runs back to back (one run is over in tens of milliseconds, less than
// the scheduler takes to spread three busy threads over two cores); seconds per run.
constexpr int RUNS_PER_SAMPLE = 8;
double four_balls_run() {
    double total = 0;
    for (int i = 0; i < RUNS_PER_SAMPLE; ++i)
        total += four_balls_run_once();
    return total / RUNS_PER_SAMPLE;
}

// One core-bound program per core, each a child process spinning until it is killed.
class Load {
  public:
    explicit Load(int processes) {
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                children_.push_back(pid);
        }
        // Let the scheduler spread them before anything is timed.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~Load() {
        for (const pid_t pid : children_)
            kill(pid, SIGKILL);
        for (const pid_t pid : children_)
            waitpid(pid, nullptr, 0);
    }
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;

  private:
    std::vector<pid_t> children_;
};

std::vector<std::string> grid_description(int side) {
    std::vector<std::string> lines;
    int k = 0;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            char line[64];
            std::snprintf(line, sizeof line, "B%d all %d %d 0 10 0 0 0.3 0.1", ++k, i, j);
            lines.emplace_back(line);
        }
    lines.push_back(".V all 3000");
    return lines;
}

// Seconds per relaxation step of a side x side grid with `threads` threads (median of repetitions).
double grid_step(int side, int threads) {
    omp_set_num_threads(threads);
    NullSink sink;
    Session session(sink);
    session.set_reporter(text_reporter());
    session.options.set(Option::AlwaysCalculate, true);
    initialize_system(session, grid_description(side));
    RelaxationSettings settings;
    settings.force_error_uN = 0;
    settings.max_steps = std::max(5, 40000 / (side * side));
    std::vector<double> times;
    for (int r = 0; r < 5; ++r) {
        const auto start = Clock::now();
        run_calculate(session, settings);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count() / settings.max_steps);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: ambrel-bench-sharing [--rounds N]\n");
            return 2;
        }
    }
    // Each line as soon as it is measured, also into a file or a pipe: a run takes minutes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int cores = std::max(1u, std::thread::hardware_concurrency());
    const int threads = omp_get_max_threads();

    std::printf("Four balls, 3000 steps: idle, and with %d core-bound programs (%d threads)\n", cores,
                threads);
    four_balls_run(); // warm-up: libraries loaded, pages touched
    std::vector<double> idle, loaded, ratios;
    for (int r = 0; r < rounds; ++r) {
        const double a = four_balls_run();
        double b = 0;
        {
            const Load load(cores);
            b = four_balls_run();
        }
        idle.push_back(a);
        loaded.push_back(b);
        ratios.push_back(b / a);
        std::printf("  round %d: idle %8.1f ms, loaded %8.1f ms, ratio %6.2f\n", r + 1, a * 1e3, b * 1e3,
                    b / a);
    }
    std::printf("  median: idle %8.1f ms, loaded %8.1f ms, loaded / idle %6.2f (median of the rounds' "
                "ratios %.2f)\n",
                median(idle) * 1e3, median(loaded) * 1e3, median(loaded) / median(idle), median(ratios));

    std::printf("\nOne relaxation step of a grid of hanging balls, idle (parallel from %d spheres)\n",
                PARALLEL_MIN_SPHERES);
    std::printf("  %8s %14s %14s %10s\n", "spheres", "1 thread ms", "threads ms", "ratio");
    for (const int side : {8, 10, 11, 12, 13, 14, 16}) {
        const double one = grid_step(side, 1);
        const double all = grid_step(side, threads);
        std::printf("  %8d %14.3f %14.3f %10.2f\n", side * side, one * 1e3, all * 1e3, all / one);
    }
    omp_set_num_threads(threads);
    return 0;
}
