// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// When the program's own loops run on more than one thread.
//
// A parallel region costs a fork and a join even when it has little to do, and on a machine whose
// cores are busy with other programs each join waits until the operating system gives every
// thread of the team a turn: a loop that takes microseconds alone can take a whole time slice.
// Below PARALLEL_MIN_SPHERES the loops over spheres or rows of the elastance matrix (matrix
// build, forces, residuals, the exact tier) run on the calling thread; from there on their work
// (at least n^2 long double operations per region) pays for the threads. The parallel loops
// follow OMP_NUM_THREADS, and every sum runs in a fixed order, so the results do not depend on
// the number of threads either way.
//
// Measured on the 2-core machine (bench/sharing_bench.cpp, every loop parallel): the time of one
// relaxation step of a square grid of hanging balls with two threads over that with one, idle,
// the mean of three runs: 64 spheres 0.95, 100 0.97, 121 0.89, 144 0.84, 169 0.78, 196 0.80,
// 256 0.62. Below about 128 spheres two threads gain a few per cent at most on an idle machine
// (within the noise), and lose many times over on a loaded one.
//
// Below the threshold the loops do not enter the OpenMP runtime at all: even a region whose
// `if` clause keeps it on one thread costs libgomp system calls (futex) at its start and end,
// which a four-ball step would pay ten times. The loops are written once, as a body, and run
// either way through parallel_for, or through run_parallel for a region of orphaned `omp for`
// loops (which, called outside any region, run on the calling thread with no call into the
// runtime's team machinery).
#pragma once

namespace ambrel {

inline constexpr int PARALLEL_MIN_SPHERES = 128;

// body(i) for i = begin .. end - 1: on a parallel loop (static schedule, or dynamic with chunks of
// `chunk` when chunk > 0) when `parallel`, else on the calling thread in ascending order.
template <class Body>
inline void parallel_for(bool parallel, int begin, int end, Body&& body, int chunk = 0) {
    if (!parallel) {
        for (int i = begin; i < end; ++i)
            body(i);
    } else if (chunk > 0) {
#pragma omp parallel for schedule(dynamic, chunk)
        for (int i = begin; i < end; ++i)
            body(i);
    } else {
#pragma omp parallel for schedule(static)
        for (int i = begin; i < end; ++i)
            body(i);
    }
}

// region() on a team of threads when `parallel`, else once on the calling thread; region's own
// work-sharing loops are orphaned `omp for` directives.
template <class Region> inline void run_parallel(bool parallel, Region&& region) {
    if (parallel) {
#pragma omp parallel
        region();
    } else {
        region();
    }
}

} // namespace ambrel
