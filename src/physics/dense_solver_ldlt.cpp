// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Exact tier of the dense solver: blocked LDL^T without pivoting in long double, its solves and
// the full inverse L^-T D^-1 L^-1.
//
// The n^3/6 multiply-adds of the trailing updates dominate. Their operands are stored as two
// doubles each, hi = (double)x and lo = (double)(x - hi), which is exact for a 64-bit mantissa.
// A product is then hi*hi' accumulated in long double (loaded as 64-bit values, far quicker than
// 80-bit loads) plus the cross terms hi*lo' + lo*hi' accumulated in double: they are 2^-53 of the
// product, so double rounding of them is far below the long double rounding of the sum, and
// lo*lo' (2^-106) is dropped. Every sum of the factorisation uses the same kernel in the same
// order, so equal rows of P are eliminated in exactly the same way.
#include "physics/dense_solver.h"
#include "physics/parallel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace ambrel {
namespace {

constexpr int NB = DenseSymmetricSolver::block_size;

// The share of the work of an n x n triangular elimination (or of the group loops of the inverse,
// whose column k costs (n - k)^2) done once its first k columns are.
double cubic_work_done(int n, int k) {
    const double left = n > 0 ? static_cast<double>(n - k) / n : 0;
    return 1 - left * left * left;
}

int max_threads() {
#ifdef _OPENMP
    return std::max(1, omp_get_max_threads());
#else
    return 1;
#endif
}

inline int thread_number() {
#ifdef _OPENMP
    return omp_get_thread_num();
#else
    return 0;
#endif
}

static_assert(std::numeric_limits<Real>::digits == 64, "the hi/lo split is exact only for a 64-bit mantissa");
// x = hi + lo exactly; a value beyond the range of double keeps lo = 0 so that no NaN appears.
inline void split(Real x, double& hi, double& lo) {
    hi = static_cast<double>(x);
    lo = std::isfinite(hi) ? static_cast<double>(x - hi) : 0.0;
}

// sum_{k<K} a[k] * b[k] with a and b split into hi/lo arrays.
inline Real dot1(int K, const double* ah, const double* al, const double* bh, const double* bl) {
    Real s = 0;
    double c = 0;
    for (int k = 0; k < K; ++k) {
        s += static_cast<Real>(ah[k]) * bh[k];
        c += ah[k] * bl[k] + al[k] * bh[k];
    }
    return s + c;
}

// out[u] = sum_{k<K} a[k] * b[k][u] for the four interleaved columns b[k][0..3]; each lane does
// exactly the arithmetic of dot1.
inline void dot4(int K, const double* ah, const double* al, const double* bh, const double* bl, Real out[4]) {
    Real s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    double c[4] = {0, 0, 0, 0};
    for (int k = 0; k < K; ++k) {
        const Real x = ah[k];
        const double* h = bh + 4 * k;
        const double* l = bl + 4 * k;
        s0 += x * h[0];
        s1 += x * h[1];
        s2 += x * h[2];
        s3 += x * h[3];
        const double xh = ah[k];
        const double xl = al[k];
#pragma omp simd
        for (int u = 0; u < 4; ++u)
            c[u] += xh * l[u] + xl * h[u];
    }
    out[0] = s0 + c[0];
    out[1] = s1 + c[1];
    out[2] = s2 + c[2];
    out[3] = s3 + c[3];
}

} // namespace

// The diagonal block kb..kb+b-1, already updated by all earlier blocks, factored row by row.
// W = L D is kept beside L: it is the exact value before the division by the pivot.
void DenseSymmetricSolver::factor_diagonal_block(int n, int kb, int b, int& singular) {
    Real* F = factor_.data();
    double* wdh = wd_hi_.data();
    double* wdl = wd_lo_.data();
    double* ldh = ld_hi_.data();
    double* ldl = ld_lo_.data();
    for (int q = 0; q < b; ++q) {
        const int r = kb + q;
        Real* Fr = F + at(r, 0, n);
        for (int q2 = 0; q2 < q; ++q2) {
            const int c = kb + q2;
            const Real s = Fr[c] - dot1(q2, wdh + q2 * NB, wdl + q2 * NB, ldh + q * NB, ldl + q * NB);
            split(s, wdh[q * NB + q2], wdl[q * NB + q2]);
            const Real l = s / F[at(c, c, n)];
            split(l, ldh[q * NB + q2], ldl[q * NB + q2]);
            Fr[c] = l;
        }
        const Real d = Fr[r] - dot1(q, wdh + q * NB, wdl + q * NB, ldh + q * NB, ldl + q * NB);
        Fr[r] = d;
        if (!(std::fabs(d) >= SINGULAR_PIVOT_LIMIT)) {
            singular = r + 1;
            return;
        }
    }
}

// Columns kb..kb+b-1 of the rows below the diagonal block, four rows at a time. Leaves W of
// those rows by row and L in groups of four interleaved rows, the operands of the update.
void DenseSymmetricSolver::factor_panel(int n, int kb, int b) {
    Real* F = factor_.data();
    const int t = kb + b;
    const int groups = (n - t + 3) / 4;
    const double* wdh = wd_hi_.data();
    const double* wdl = wd_lo_.data();
    double* wh = w_hi_.data();
    double* wl = w_lo_.data();
    double* lh = l_hi_.data();
    double* ll = l_lo_.data();
    parallel_for(
        n >= PARALLEL_MIN_SPHERES, 0, groups,
        [&](int g) {
            const int r0 = t + 4 * g;
            double* gh = lh + static_cast<std::size_t>(g) * 4 * NB;
            double* gl = ll + static_cast<std::size_t>(g) * 4 * NB;
            for (int q = 0; q < b; ++q) {
                const int c = kb + q;
                Real acc[4];
                dot4(q, wdh + q * NB, wdl + q * NB, gh, gl, acc);
                const Real d = F[at(c, c, n)];
                for (int u = 0; u < 4; ++u) {
                    const int r = r0 + u;
                    if (r < n) {
                        const Real s = F[at(r, c, n)] - acc[u];
                        split(s, wh[r * NB + q], wl[r * NB + q]);
                        const Real l = s / d;
                        split(l, gh[q * 4 + u], gl[q * 4 + u]);
                        F[at(r, c, n)] = l;
                    } else {
                        gh[q * 4 + u] = 0;
                        gl[q * 4 + u] = 0;
                    }
                }
            }
        },
        4);
}

// F[r][c] -= sum_q W[r][q] L[c][q] on the lower triangle of the trailing matrix.
void DenseSymmetricSolver::update_trailing(int n, int kb, int b) {
    constexpr int RB = 32; // rows per task
    constexpr int CB = 32; // columns per cache block, a multiple of 4
    Real* F = factor_.data();
    const int t = kb + b;
    const int row_blocks = (n - t + RB - 1) / RB;
    const double* wh = w_hi_.data();
    const double* wl = w_lo_.data();
    const double* lh = l_hi_.data();
    const double* ll = l_lo_.data();
    parallel_for(
        n >= PARALLEL_MIN_SPHERES, 0, row_blocks,
        [&](int k) {
            const int rb = t + (row_blocks - 1 - k) * RB; // longest rows first
            const int re = std::min(n, rb + RB);
            for (int cb = t; cb < re; cb += CB) {
                const int ce = std::min(cb + CB, re);
                for (int r = rb; r < re; ++r) {
                    Real* Fr = F + at(r, 0, n);
                    for (int c = cb; c < ce && c <= r; c += 4) {
                        const std::size_t g = static_cast<std::size_t>((c - t) / 4);
                        Real acc[4];
                        dot4(b, wh + r * NB, wl + r * NB, lh + g * 4 * NB, ll + g * 4 * NB, acc);
                        for (int u = 0; u < 4 && c + u <= r; ++u)
                            Fr[c + u] -= acc[u];
                    }
                }
            }
        },
        1);
}

int DenseSymmetricSolver::factor_ldlt(int n) {
    ensure_exact_storage(n);
    Real* F = factor_.data();
    const Real* P = p_.data();
    parallel_for(n >= PARALLEL_MIN_SPHERES, 0, n,
                 [&](int i) { std::copy(P + at(i, 0, n), P + at(i, i + 1, n), F + at(i, 0, n)); });
    for (int kb = 0; kb < n; kb += NB) {
        const int b = std::min(NB, n - kb);
        int singular = 0;
        factor_diagonal_block(n, kb, b, singular);
        if (singular != 0)
            return singular;
        if (kb + b < n) {
            factor_panel(n, kb, b);
            update_trailing(n, kb, b);
        }
        report_progress(progress_to_ * cubic_work_done(n, kb + b));
    }
    return 0;
}

// x = P^-1 v and y = P^-1 1 from L and D: forward substitution, scaling, back substitution.
void DenseSymmetricSolver::solve_with_factor(int n, const Real* v, Real* x, Real* y) const {
    const Real* F = factor_.data();
    for (int i = 0; i < n; ++i) {
        const Real* Fi = F + at(i, 0, n);
        Real sx = 0, sy = 0;
        for (int m = 0; m < i; ++m) {
            sx += Fi[m] * x[m];
            sy += Fi[m] * y[m];
        }
        x[i] = v[i] - sx;
        y[i] = 1 - sy;
    }
    for (int i = 0; i < n; ++i) {
        const Real d = F[at(i, i, n)];
        x[i] /= d;
        y[i] /= d;
    }
    for (int m = n - 1; m > 0; --m) {
        const Real* Fm = F + at(m, 0, n);
        const Real xm = x[m];
        const Real ym = y[m];
        for (int i = 0; i < m; ++i) {
            x[i] -= Fm[i] * xm;
            y[i] -= Fm[i] * ym;
        }
    }
}

// P^-1 = Z^T D^-1 Z with Z = L^-1. Both products run four columns at a time through dot4, with
// the triangular factors packed as hi/lo rows in dwork_: first L by rows, then T = Z^T by rows.
void DenseSymmetricSolver::invert_with_factor(int n, Real* out) {
    const Real* F = factor_.data();
    cholesky_n_ = -1; // the packed factors take the place of the double Cholesky factor
    double* packed = dwork_.ensure(static_cast<std::size_t>(n) * (n + 1));
    const std::size_t group_size = static_cast<std::size_t>(n + 4) * 4;
    if (threads_ < max_threads())
        threads_ = max_threads();
    group_hi_.ensure(group_size * threads_);
    group_lo_.ensure(group_size * threads_);

    // L row i (columns 0..i-1) at offset i(i-1): hi then lo.
    parallel_for(
        n >= PARALLEL_MIN_SPHERES, 1, n,
        [&](int i) {
            double* h = packed + static_cast<std::size_t>(i) * (i - 1);
            double* l = h + i;
            for (int m = 0; m < i; ++m)
                split(F[at(i, m, n)], h[m], l[m]);
        },
        16);

    // Z = L^-1 into the lower triangle of out, column group j0..j0+3 per task:
    // Z[i][j] = delta_ij - sum_{m=j}^{i-1} L[i][m] Z[m][j].
    const int groups = (n + 3) / 4;
    // Both loops over the column groups below go in chunks, the progress heard between them (the
    // share of the whole inverse from `from` to `to`); the groups of a chunk share the team, and
    // no result depends on the chunks.
    auto for_group_chunks = [&](double from, double to, auto&& chunk) {
        constexpr int CHUNKS = 16;
        for (int c = 0; c < CHUNKS; ++c) {
            const int first = static_cast<int>(static_cast<long long>(groups) * c / CHUNKS);
            const int last = static_cast<int>(static_cast<long long>(groups) * (c + 1) / CHUNKS);
            if (first < last)
                chunk(first, last);
            report_progress(from + (to - from) * cubic_work_done(n, std::min(n, 4 * last)));
        }
    };
    for_group_chunks(0.5, 0.75, [&](int first, int last) {
        run_parallel(n >= PARALLEL_MIN_SPHERES, [&] {
            double* zh = group_hi_.data() + group_size * thread_number();
            double* zl = group_lo_.data() + group_size * thread_number();
#pragma omp for schedule(dynamic, 1)
            for (int g = first; g < last; ++g) {
                const int j0 = 4 * g;
                for (int i = j0; i < n; ++i) {
                    const double* h = packed + static_cast<std::size_t>(i) * (i > 0 ? i - 1 : 0);
                    Real acc[4];
                    dot4(i - j0, h + j0, h + i + j0, zh, zl, acc);
                    for (int u = 0; u < 4; ++u) {
                        const int j = j0 + u;
                        const Real z = (i == j ? Real(1) : Real(0)) - acc[u];
                        split(z, zh[(i - j0) * 4 + u], zl[(i - j0) * 4 + u]);
                        if (j <= i)
                            out[at(i, j, n)] = z;
                    }
                }
            }
        });
    });

    // T row i = Z column i (rows i..n-1) at offset i(2n - i + 1): hi then lo.
    auto t_row = [packed, n](int i) { return packed + static_cast<std::size_t>(i) * (2 * n - i + 1); };
    constexpr int TB = 16;
    parallel_for(
        n >= PARALLEL_MIN_SPHERES, 0, (n + TB - 1) / TB,
        [&](int block) {
            const int ib = block * TB;
            const int ie = std::min(n, ib + TB);
            for (int m = ib; m < n; ++m) {
                const Real* Zm = out + at(m, 0, n);
                for (int i = ib; i < ie && i <= m; ++i) {
                    double* h = t_row(i);
                    split(Zm[i], h[m - i], h[n - i + m - i]);
                }
            }
        },
        1);

    // C[i][j] = sum_{m >= max(i,j)} Z[m][i] Z[m][j] / D[m] for i >= j, mirrored to the upper part.
    for_group_chunks(0.75, 1.0, [&](int first, int last) {
        run_parallel(n >= PARALLEL_MIN_SPHERES, [&] {
            double* bh = group_hi_.data() + group_size * thread_number();
            double* bl = group_lo_.data() + group_size * thread_number();
#pragma omp for schedule(dynamic, 1)
            for (int g = first; g < last; ++g) {
                const int j0 = 4 * g;
                for (int m = j0; m < n; ++m) {
                    const Real d = F[at(m, m, n)];
                    for (int u = 0; u < 4; ++u) {
                        const int j = j0 + u;
                        Real value = 0;
                        if (j < n && m >= j) {
                            const double* h = t_row(j);
                            value = (static_cast<Real>(h[m - j]) + h[n - j + m - j]) / d;
                        }
                        split(value, bh[(m - j0) * 4 + u], bl[(m - j0) * 4 + u]);
                    }
                }
                for (int i = j0; i < n; ++i) {
                    const double* h = t_row(i);
                    Real acc[4];
                    dot4(n - i, h, h + (n - i), bh + (i - j0) * 4, bl + (i - j0) * 4, acc);
                    for (int u = 0; u < 4 && j0 + u <= i; ++u) {
                        const int j = j0 + u;
                        out[at(i, j, n)] = acc[u];
                        out[at(j, i, n)] = acc[u];
                    }
                }
            }
        });
    });
}

} // namespace ambrel
