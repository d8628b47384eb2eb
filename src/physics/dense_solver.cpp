// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The solver's storage, the choice of tier, the fast tier (double Cholesky refined against the
// long double P) and the Gauss-Jordan reference.
#include "physics/dense_solver.h"

#include "physics/blas_threads.h"
#include "physics/lapack.h"
#include "physics/parallel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include <omp.h>

namespace ambrel {

// The loops of large systems alone (symmetric products, the double matrix, one right-hand side a
// thread) are always parallel.
static_assert(WARM_START_MIN_SIZE >= PARALLEL_MIN_SPHERES);

FixedBlasThreads::FixedBlasThreads() : saved_(omp_get_max_threads()) {
    openblas_set_num_threads(THREADS);
}

FixedBlasThreads::~FixedBlasThreads() {
    openblas_set_num_threads(saved_);
    omp_set_num_threads(saved_);
}

void cholesky_solve(int n, const double* U, double* b, int nrhs) {
    const char uplo = 'U';
    if (n < WARM_START_MIN_SIZE) {
        int info = 0;
        const FixedBlasThreads threads;
        dpotrs_(&uplo, &n, &nrhs, U, &n, b, &n, &info, 1);
        return;
    }
    const char transposed = 'T', plain = 'N', non_unit = 'N';
    const int one = 1;
    // One right-hand side a thread: each column's arithmetic is the same on any thread.
#pragma omp parallel for schedule(static, 1) if (nrhs > 1 && !omp_in_parallel())
    for (int c = 0; c < nrhs; ++c) {
        double* x = b + static_cast<std::size_t>(c) * n;
        dtrsv_(&uplo, &transposed, &non_unit, &n, U, &n, x, &one, 1, 1, 1);
        dtrsv_(&uplo, &plain, &non_unit, &n, U, &n, x, &one, 1, 1, 1);
    }
}

namespace {

// y = S c for the symmetric S held as its strictly upper triangle (row-major, leading dimension
// n) and its diagonal, two right-hand sides (c and y of length 2n). The rows are split into two
// fixed parts, summed in a fixed order, so the result is the same for any number of threads.
void symmetric_product(int n, const double* S, const double* diagonal, const double* c, double* y,
                       double* scratch) {
    // The part boundary halves the triangle's entries.
    int split = 0;
    for (long long seen = 0, half = static_cast<long long>(n) * (n - 1) / 4; split < n && seen < half;
         ++split)
        seen += n - 1 - split;
    const auto size = static_cast<std::size_t>(n);
#pragma omp parallel for schedule(static, 1)
    for (int part = 0; part < 2; ++part) {
        double* out = scratch + part * 2 * size;
        std::fill(out, out + 2 * size, 0.0);
        const int from = part == 0 ? 0 : split, to = part == 0 ? split : n;
        for (int i = from; i < to; ++i) {
            const double* row = S + at(i, 0, n);
            const double ci = c[i], di = c[n + i];
            double s0 = 0, s1 = 0, t0 = 0, t1 = 0;
            int j = i + 1;
            for (; j + 1 < n; j += 2) {
                s0 += row[j] * c[j];
                s1 += row[j + 1] * c[j + 1];
                t0 += row[j] * c[n + j];
                t1 += row[j + 1] * c[n + j + 1];
                out[j] += row[j] * ci;
                out[j + 1] += row[j + 1] * ci;
                out[n + j] += row[j] * di;
                out[n + j + 1] += row[j + 1] * di;
            }
            for (; j < n; ++j) {
                s0 += row[j] * c[j];
                t0 += row[j] * c[n + j];
                out[j] += row[j] * ci;
                out[n + j] += row[j] * di;
            }
            out[i] += s0 + s1;
            out[n + i] += t0 + t1;
        }
    }
    for (int i = 0; i < n; ++i) {
        y[i] = diagonal[i] * c[i] + scratch[i] + scratch[2 * size + i];
        y[n + i] = diagonal[i] * c[n + i] + scratch[n + i] + scratch[3 * size + i];
    }
}

} // namespace

RefinementJudge::RefinementJudge(bool warm_start) : warm(warm_start) {}

void RefinementJudge::apply(int n, Real* x, const double* c, bool first) {
    Real c_norm = 0, x_norm = 0;
    for (int i = 0; i < n; ++i) {
        x[i] += c[i];
        // Written so that a NaN is kept and then fails the finiteness test.
        if (!(std::fabs(c[i]) <= c_norm))
            c_norm = std::fabs(c[i]);
        if (!(std::fabs(x[i]) <= x_norm))
            x_norm = std::fabs(x[i]);
    }
    if (!std::isfinite(c_norm) || !std::isfinite(x_norm)) {
        failed = true;
    } else if (c_norm <= REFINEMENT_CONVERGED * x_norm) {
        done = true; // on the first step of a fresh start only when x = 0
    } else if (warm && !first && c_norm <= REFINEMENT_STAGNATION_ACCEPTED * x_norm &&
               c_norm * (c_norm / last_correction) <= REFINEMENT_CONVERGED / 4 * x_norm) {
        // Contracting by c_norm / last_correction a step, what is left after this step is
        // below the last bit: the next step would be rounding noise only.
        done = true;
    } else if (!first && c_norm > last_correction / 2) {
        // A fresh start contracts at once; a warm one may stall for want of a good
        // preconditioner, and its stalled corrections are rounding noise only when it
        // contracted fast before, or never was far from the solution.
        const bool noise = warm ? (c_norm <= REFINEMENT_STAGNATION_ACCEPTED * x_norm &&
                                   best_ratio <= REFINEMENT_WARM_CONTRACTION) ||
                                      (c_norm <= REFINEMENT_WARM_NOISE * x_norm &&
                                       last_correction <= REFINEMENT_WARM_NOISE * x_norm)
                                : c_norm <= REFINEMENT_STAGNATION_ACCEPTED * x_norm;
        if (noise)
            done = true;
        else
            failed = true;
    }
    if (!first && last_correction > 0)
        best_ratio = std::min(best_ratio, c_norm / last_correction);
    last_correction = c_norm;
    last_norm = x_norm;
}

int gauss_jordan_invert(int n, Real* m, int ld) {
    for (int p = 0; p < n; ++p) {
        Real* rp = m + at(p, 0, ld);
        const Real a = rp[p];
        if (std::fabs(a) < SINGULAR_PIVOT_LIMIT)
            return p + 1;
        rp[p] = 1 / a;
        for (int i = 0; i < n; ++i)
            if (i != p)
                rp[i] = -rp[i] / a;
        for (int j = 0; j < n; ++j) {
            if (j == p)
                continue;
            Real* rj = m + at(j, 0, ld);
            const Real t = rj[p];
            rj[p] = t / a;
            for (int i = 0; i < p; ++i)
                rj[i] += rp[i] * t;
            for (int i = p + 1; i < n; ++i)
                rj[i] += rp[i] * t;
        }
    }
    return 0;
}

DenseSymmetricSolver::DenseSymmetricSolver(int capacity) : capacity_(std::max(0, capacity)) {}

std::size_t DenseSymmetricSolver::held_bytes() const {
    std::size_t bytes =
        (p_.size() + factor_.size() + y_.size() + start_x_.size() + start_y_.size() + residual_.size()) *
        sizeof(Real);
    for (const GrowingBuffer<double>* b :
         {&dwork_, &rhs_, &pdiag_, &products_, &products_scratch_, &w_hi_, &w_lo_, &l_hi_, &l_lo_, &wd_hi_,
          &wd_lo_, &ld_hi_, &ld_lo_, &group_hi_, &group_lo_})
        bytes += b->size() * sizeof(double);
    return bytes;
}

void DenseSymmetricSolver::ensure_exact_storage(int n) {
    const auto size = static_cast<std::size_t>(n);
    const std::size_t rows4 = size + 4; // room for a last, partly filled group of four rows
    factor_.ensure(size * size);
    for (GrowingBuffer<double>* b : {&w_hi_, &w_lo_})
        b->ensure(size * block_size);
    for (GrowingBuffer<double>* b : {&l_hi_, &l_lo_})
        b->ensure(rows4 * block_size);
    for (GrowingBuffer<double>* b : {&wd_hi_, &wd_lo_, &ld_hi_, &ld_lo_})
        b->ensure(static_cast<std::size_t>(block_size) * block_size);
}

Real* DenseSymmetricSolver::matrix(int n) {
    if (n < 0 || n > capacity_)
        return nullptr;
    held_ = Held::Nothing;
    held_n_ = -1;
    warm_products_ready_ = false;
    double_matrix_ready_ = false;
    y_.ensure(static_cast<std::size_t>(n) + 1);
    // Never a null pointer, even for an empty system.
    return p_.ensure(static_cast<std::size_t>(n) * n + 1);
}

// Cholesky of P rounded to double, then refinement of x and y with long double residuals.
// Returns false when the tier is not acceptable for this P.
bool DenseSymmetricSolver::solve_fast(int n, const Real* v, Real* x, Real* y, int& steps) {
    const Real* P = p_.data();
    double* A = dwork_.ensure(static_cast<std::size_t>(n) * n);
    cholesky_n_ = -1;
    // The row-major lower triangle is LAPACK's column-major upper triangle; large systems keep P
    // in double in the other triangle (and the diagonal beside) for the residual updates.
    const bool keep_double = n >= WARM_START_MIN_SIZE;
    parallel_for(n >= PARALLEL_MIN_SPHERES, 0, n, [&](int i) {
        for (int j = 0; j <= i; ++j)
            A[at(i, j, n)] = static_cast<double>(P[at(i, j, n)]);
    });
    if (keep_double && !double_matrix_ready_)
        store_double_matrix(n);
    const char uplo = 'U';
    int info = 0;
    {
        const FixedBlasThreads threads;
        dpotrf_(&uplo, &n, A, &n, &info, 1);
    }
    if (info != 0)
        return false;
    // Each pivot must clear the fixed margin and the rounding error a double factorisation can
    // make in it (about n eps |P_kk|), so that the exact pivot is surely above 1e-12.
    for (int k = 0; k < n; ++k) {
        const Real u = A[at(k, k, n)];
        const Real rounding = SINGULAR_PIVOT_LIMIT + 4 * Real(n) * DBL_EPSILON * std::fabs(P[at(k, k, n)]);
        if (!(u * u >= std::max(FAST_TIER_MIN_PIVOT, rounding)))
            return false;
    }
    cholesky_n_ = n;
    for (int i = 0; i < n; ++i) {
        x[i] = 0;
        y[i] = 0;
    }
    return refine(n, v, x, y, false, steps);
}

void DenseSymmetricSolver::store_double_matrix(int n) {
    const Real* P = p_.data();
    double* A = dwork_.data();
    double* diagonal = pdiag_.ensure(static_cast<std::size_t>(n));
#pragma omp parallel for schedule(static)
    for (int i = 0; i < n; ++i) {
        diagonal[i] = static_cast<double>(P[at(i, i, n)]);
        for (int j = i + 1; j < n; ++j)
            A[at(i, j, n)] = static_cast<double>(P[at(i, j, n)]);
    }
}

bool DenseSymmetricSolver::solve_warm(int n, const Real* v, Real* x, Real* y, int& steps) {
    if (cholesky_n_ != n || start_n_ != n)
        return false;
    if (!double_matrix_ready_)
        store_double_matrix(n); // of the new P; the factor in the other triangle stays
    std::copy(start_x_.data(), start_x_.data() + n, x);
    std::copy(start_y_.data(), start_y_.data() + n, y);
    if (!warm_products_ready_)
        return refine(n, v, x, y, true, steps);
    Real* residual = residual_.ensure(2 * static_cast<std::size_t>(n));
    const Real* product = products_ld_.data();
    for (int i = 0; i < n; ++i) {
        residual[i] = v[i] - product[i];
        residual[n + i] = 1 - product[n + i];
    }
    return refine(n, v, x, y, true, steps, true);
}

bool DenseSymmetricSolver::warm_start_solutions(int n, SolveStart start, const Real*& x,
                                                const Real*& y) const {
    if (start == SolveStart::Fresh || n < WARM_START_MIN_SIZE || cholesky_n_ != n || start_n_ != n)
        return false;
    x = start_x_.data();
    y = start_y_.data();
    return true;
}

bool DenseSymmetricSolver::refine(int n, const Real* v, Real* x, Real* y, bool warm, int& steps,
                                  bool first_residual_ready) {
    const Real* P = p_.data();
    const double* A = dwork_.data();
    const auto size = static_cast<std::size_t>(n);
    double* r = rhs_.ensure(2 * size);
    Real* residual = residual_.ensure(2 * size);
    const bool double_updates = n >= WARM_START_MIN_SIZE;
    const int nrhs = 2;
    RefinementJudge rx(warm), ry(warm);
    const int max_steps = warm ? MAX_WARM_REFINEMENT_STEPS : MAX_REFINEMENT_STEPS + 1;
    // Residuals of x and y in long double: in full, or updated by P times the last corrections.
    bool in_full = warm;
    for (int step = 0; step < max_steps; ++step) {
        ++steps;
        if (step == 0 && !warm) {
            // From x = y = 0 the residuals are the right-hand sides.
            for (int i = 0; i < n; ++i) {
                residual[i] = v[i];
                residual[n + i] = 1;
            }
        } else if (step == 0 && first_residual_ready) {
            // The caller computed P x and P y while it built P.
        } else if (in_full) {
            parallel_for(n >= PARALLEL_MIN_SPHERES, 0, n, [&](int i) {
                const Real* Pi = P + at(i, 0, n);
                Real sx = 0, sy = 0;
                for (int j = 0; j < n; ++j) {
                    sx += Pi[j] * x[j];
                    sy += Pi[j] * y[j];
                }
                residual[i] = v[i] - sx;
                residual[n + i] = 1 - sy;
            });
        } else {
            // r holds the last corrections (0 for a solution already done).
            double* product = products_.ensure(2 * size);
            symmetric_product(n, A, pdiag_.data(), r, product, products_scratch_.ensure(4 * size));
            for (int i = 0; i < 2 * n; ++i)
                residual[i] -= product[i];
        }
        for (int i = 0; i < 2 * n; ++i)
            r[i] = static_cast<double>(residual[i]);
        cholesky_solve(n, A, r, nrhs);
        const bool x_was_done = rx.done, y_was_done = ry.done;
        if (!rx.done)
            rx.apply(n, x, r, step == 0);
        if (!ry.done)
            ry.apply(n, y, r + n, step == 0);
        if (rx.failed || ry.failed)
            return false;
        if (rx.done && ry.done)
            return true;
        if (x_was_done)
            std::fill(r, r + n, 0.0);
        if (y_was_done)
            std::fill(r + n, r + 2 * n, 0.0);
        in_full = !(double_updates &&
                    (x_was_done || rx.last_correction <= DOUBLE_PRODUCT_CORRECTION * rx.last_norm) &&
                    (y_was_done || ry.last_correction <= DOUBLE_PRODUCT_CORRECTION * ry.last_norm));
    }
    return false;
}

SolveOutcome DenseSymmetricSolver::solve(int n, const Real* v, Real* x, SolverTier requested,
                                         SolveStart start) {
    SolveOutcome outcome;
    outcome.tier_used = requested;
    if (n <= 0 || n > capacity_ || p_.size() < static_cast<std::size_t>(n) * n)
        return outcome;
    Real* y = y_.data();
    if (n < WARM_START_MIN_SIZE)
        start = SolveStart::Fresh;
    held_n_ = n;
    held_pivot_ = 0;

    int pivot = 0;
    if (requested == SolverTier::Reference) {
        Real* M = factor_.ensure(static_cast<std::size_t>(n) * n);
        std::copy(p_.data(), p_.data() + at(n, 0, n), M);
        pivot = gauss_jordan_invert(n, M, n);
        held_ = pivot != 0 ? Held::Singular : Held::GaussJordanInverse;
        if (pivot == 0) {
            for (int i = 0; i < n; ++i) {
                Real s = 0;
                for (int k = 0; k < n; ++k)
                    s += M[at(i, k, n)] * v[k];
                x[i] = s;
            }
            for (std::size_t k = 0; k < at(n, 0, n); ++k)
                outcome.total += M[k];
        }
    } else {
        const bool warm = requested == SolverTier::Fast && start != SolveStart::Fresh &&
                          solve_warm(n, v, x, y, outcome.refinement_steps);
        last_warm_ = warm;
        if (warm) {
            outcome.warm = true;
            held_ = Held::Nothing;
        } else if (requested == SolverTier::Fast && solve_fast(n, v, x, y, outcome.refinement_steps)) {
            held_ = Held::Nothing; // inverse() factors when asked
        } else {
            outcome.tier_used = SolverTier::Exact;
            pivot = factor_ldlt(n);
            held_ = pivot != 0 ? Held::Singular : Held::Factor;
            if (pivot == 0)
                solve_with_factor(n, v, x, y);
        }
        if (pivot == 0)
            for (int i = 0; i < n; ++i)
                outcome.total += y[i];
    }
    if (pivot != 0) {
        held_pivot_ = pivot;
        outcome.singular_pivot = pivot;
        outcome.total = 0;
        std::fill(x, x + n, Real(0));
        start_n_ = -1;
    } else if (start != SolveStart::WarmFromAnchor || start_n_ != n) {
        // The next warm start begins here (an anchored one keeps its anchor).
        std::copy(x, x + n, start_x_.ensure(static_cast<std::size_t>(n)));
        std::copy(y, y + n, start_y_.ensure(static_cast<std::size_t>(n)));
        start_n_ = n;
    }
    return outcome;
}

int DenseSymmetricSolver::solve_additional(int n, const Real* v, Real* x) {
    if (n <= 0 || n != held_n_)
        return 0;
    Real* y = extra_y_.ensure(static_cast<std::size_t>(n)); // P y = 1 comes along; not needed here
    switch (held_) {
    case Held::Singular:
        std::fill(x, x + n, Real(0));
        return held_pivot_;
    case Held::GaussJordanInverse: {
        const Real* M = factor_.data();
        for (int i = 0; i < n; ++i) {
            Real s = 0;
            for (int k = 0; k < n; ++k)
                s += M[at(i, k, n)] * v[k];
            x[i] = s;
        }
        return 0;
    }
    case Held::Factor:
        solve_with_factor(n, v, x, y);
        return 0;
    case Held::Nothing:
        break;
    }
    // The fast tier: refined from 0 with the double factor the last solve used.
    if (cholesky_n_ == n) {
        std::fill(x, x + n, Real(0));
        std::fill(y, y + n, Real(0));
        int steps = 0;
        if (refine(n, v, x, y, last_warm_, steps))
            return 0;
    }
    const int pivot = factor_ldlt(n);
    held_ = pivot != 0 ? Held::Singular : Held::Factor;
    held_pivot_ = pivot;
    if (pivot != 0) {
        std::fill(x, x + n, Real(0));
        return pivot;
    }
    solve_with_factor(n, v, x, y);
    return 0;
}

int DenseSymmetricSolver::inverse(int n, Real* out) {
    if (n <= 0 || n > capacity_ || p_.size() < static_cast<std::size_t>(n) * n)
        return 0;
    if (held_n_ != n || held_ == Held::Nothing) {
        progress_to_ = 0.5;
        const int pivot = factor_ldlt(n);
        progress_to_ = 1;
        held_ = pivot != 0 ? Held::Singular : Held::Factor;
        held_n_ = n;
        held_pivot_ = pivot;
    }
    switch (held_) {
    case Held::Singular:
        std::fill(out, out + at(n, 0, n), Real(0));
        return held_pivot_;
    case Held::GaussJordanInverse:
        std::copy(factor_.data(), factor_.data() + at(n, 0, n), out);
        return 0;
    default:
        invert_with_factor(n, out);
        return 0;
    }
}

namespace {

// Gaussian elimination with partial pivoting in place, on the entries e(row, col) of an n x n
// matrix: L below the diagonal (unit diagonal implied), U on and above it. swaps[c] is the row
// exchanged with row c at step c. Returns 0, or the 1-based column whose pivot is not above
// `floor` (the elimination stops there).
template <class T, class Entry> int eliminate_in_place(int n, Entry&& e, int* swaps, T floor) {
    for (int c = 0; c < n; ++c) {
        int p = c;
        for (int row = c + 1; row < n; ++row)
            if (std::fabs(e(row, c)) > std::fabs(e(p, c)))
                p = row;
        swaps[c] = p;
        if (!(std::fabs(e(p, c)) > floor))
            return c + 1;
        if (p != c)
            for (int col = 0; col < n; ++col)
                std::swap(e(p, col), e(c, col));
        for (int row = c + 1; row < n; ++row) {
            e(row, c) /= e(c, c);
            for (int col = c + 1; col < n; ++col)
                e(row, col) -= e(row, c) * e(c, col);
        }
    }
    return 0;
}

// Solves L U x = P b in place with the factors and row exchanges of eliminate_in_place.
template <class T, class Entry> void substitute_in_place(int n, Entry&& e, const int* swaps, T* x) {
    for (int k = 0; k < n; ++k)
        std::swap(x[k], x[swaps[k]]);
    for (int k = 0; k < n; ++k)
        for (int l = 0; l < k; ++l)
            x[k] -= e(k, l) * x[l];
    for (int k = n - 1; k >= 0; --k) {
        for (int l = k + 1; l < n; ++l)
            x[k] -= e(k, l) * x[l];
        x[k] /= e(k, k);
    }
}

} // namespace

int lu_factor(int n, Real* a, std::vector<int>& swaps, Real limit) {
    auto e = [&](int row, int col) -> Real& { return a[static_cast<std::size_t>(row) * n + col]; };
    Real scale = 0;
    for (int k = 0; k < n; ++k)
        scale = std::max(scale, std::fabs(e(k, k)));
    swaps.resize(static_cast<std::size_t>(n));
    return eliminate_in_place(n, e, swaps.data(), limit * scale);
}

void lu_solve(int n, const Real* lu, const std::vector<int>& swaps, Real* b) {
    substitute_in_place(
        n, [&](int row, int col) { return lu[static_cast<std::size_t>(row) * n + col]; }, swaps.data(), b);
}

int DoubleLu::factor(int n, const Real* a, Real shift, Real limit) {
    n_ = n;
    lu_.resize(static_cast<std::size_t>(n) * n);
    pivots_.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) // row-major to column-major
            lu_[static_cast<std::size_t>(j) * n + i] =
                static_cast<double>(a[static_cast<std::size_t>(i) * n + j]);
        lu_[static_cast<std::size_t>(i) * n + i] -= static_cast<double>(shift);
    }
    return eliminate(static_cast<double>(limit));
}

int DoubleLu::factor(int n, const double* a, double shift, double limit) {
    n_ = n;
    lu_.resize(static_cast<std::size_t>(n) * n);
    pivots_.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) // row-major to column-major
            lu_[static_cast<std::size_t>(j) * n + i] = a[static_cast<std::size_t>(i) * n + j];
        lu_[static_cast<std::size_t>(i) * n + i] -= shift;
    }
    return eliminate(limit);
}

int DoubleLu::eliminate(double limit) {
    const int n = n_;
    double scale = 0;
    for (int i = 0; i < n; ++i)
        scale = std::max(scale, std::fabs(lu_[static_cast<std::size_t>(i) * n + i]));
    int info = 0;
    if (n < DOUBLE_LU_LAPACK_MIN_SIZE) {
        // The same elimination in plain code (LAPACK's row exchanges are 1-based): a LAPACK call
        // costs more than the whole of a small one.
        auto e = [&](int row, int col) -> double& { return lu_[static_cast<std::size_t>(col) * n + row]; };
        if (const int column = eliminate_in_place(n, e, pivots_.data(), limit * scale))
            return column;
        for (int& p : pivots_)
            ++p;
    } else {
        const FixedBlasThreads fixed;
        dgetrf_(&n, &n, lu_.data(), &n, pivots_.data(), &info);
    }
    if (info > 0)
        return info;
    for (int k = 0; k < n; ++k)
        if (!(std::fabs(lu_[static_cast<std::size_t>(k) * n + k]) > limit * scale))
            return k + 1;
    return 0;
}

void DoubleLu::solve(Real* b) const {
    std::vector<double> x(static_cast<std::size_t>(n_));
    for (int k = 0; k < n_; ++k)
        x[k] = static_cast<double>(b[k]);
    solve(x.data());
    for (int k = 0; k < n_; ++k)
        b[k] = x[k];
}

void DoubleLu::solve(double* x) const {
    if (n_ == 0)
        return;
    if (n_ < DOUBLE_LU_LAPACK_MIN_SIZE) {
        const int n = n_;
        std::vector<int> swaps(pivots_.begin(), pivots_.end());
        for (int& p : swaps)
            --p;
        substitute_in_place(
            n, [&](int row, int col) { return lu_[static_cast<std::size_t>(col) * n + row]; }, swaps.data(),
            x);
    } else {
        const char trans = 'N';
        const int one = 1;
        int info = 0;
        const FixedBlasThreads fixed;
        dgetrs_(&trans, &n_, &one, lu_.data(), &n_, pivots_.data(), x, &n_, &info, 1);
    }
}

} // namespace ambrel
