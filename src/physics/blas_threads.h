// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// OpenBLAS splits its factorisations between its threads, and the split changes the rounding of
// the result. Calls whose output must not depend on the machine or on OMP_NUM_THREADS run under a
// FixedBlasThreads, which gives OpenBLAS a fixed number of threads for its lifetime; the
// program's own parallel loops follow OMP_NUM_THREADS.
#pragma once

namespace ambrel {

class FixedBlasThreads {
  public:
    static constexpr int THREADS = 2;

    FixedBlasThreads();
    // OpenBLAS's OpenMP build sets the OpenMP default with its own, so the caller's default is
    // given back as well.
    ~FixedBlasThreads();
    FixedBlasThreads(const FixedBlasThreads&) = delete;
    FixedBlasThreads& operator=(const FixedBlasThreads&) = delete;

  private:
    int saved_;
};

// Solves U^T U x = b for nrhs right-hand sides (columns of b, leading dimension n) with the
// Cholesky factor U of dpotrf ('U', leading dimension n). Large systems go column by column
// through two triangular solves, which read the factor without packing it first (LAPACK's
// dpotrs packs it for every call); small ones (below WARM_START_MIN_SIZE) through dpotrs, whose
// packing costs little there, and whose rounding the digits printed for them carry.
void cholesky_solve(int n, const double* U, double* b, int nrhs);

} // namespace ambrel
