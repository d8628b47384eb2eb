// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/eigenvalues.h"

#include "physics/blas_threads.h"
#include "physics/lapack.h"
#include "physics/row_major_view.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>

namespace ambrel {

namespace {

// LAPACK's real and imaginary parts as complex numbers.
std::vector<Complex> complex_values(const std::vector<double>& wr, const std::vector<double>& wi) {
    std::vector<Complex> result;
    result.reserve(wr.size());
    for (std::size_t i = 0; i < wr.size(); ++i)
        result.emplace_back(wr[i], wi[i]);
    return result;
}

// From this many rows on the Hessenberg matrix's eigenvalues come from LAPACK's multishift QR
// iteration with aggressive early deflation (dhseqr), below from the classic double-shift one
// (dlahqr). Measured on a matrix like a stability Jacobian (D^-1 S, S symmetric): 100 rows 2.8 ms
// against 3.3 for dhseqr, 200 rows 16 against 13, 400 rows 89 against 65.
constexpr int MULTISHIFT_MIN_SIZE = 160;

// The eigenvalues of the column-major matrix m by LAPACK's own steps: balancing, Hessenberg
// reduction, and a QR iteration without the Schur vectors (dgeev's own steps, without its
// workspace for the vectors). Nothing when the iteration does not converge.
std::optional<std::vector<Complex>> eigenvalues_by_qr_iteration(std::vector<double> m, int n) {
    int ilo = 1, ihi = n, info = 0;
    std::vector<double> scale(n);
    const char both = 'B';
    dgebal_(&both, &n, m.data(), &n, &ilo, &ihi, scale.data(), &info, 1);
    if (info != 0)
        return std::nullopt;
    std::vector<double> tau(static_cast<std::size_t>(std::max(n - 1, 1)));
    double size = 0;
    int lwork = -1;
    dgehrd_(&n, &ilo, &ihi, m.data(), &n, tau.data(), &size, &lwork, &info);
    if (info != 0)
        return std::nullopt;
    lwork = std::max(static_cast<int>(size), 1);
    std::vector<double> work(static_cast<std::size_t>(lwork));
    dgehrd_(&n, &ilo, &ihi, m.data(), &n, tau.data(), work.data(), &lwork, &info);
    if (info != 0)
        return std::nullopt;
    // The rows and columns the balancing isolated hold their eigenvalues on the diagonal.
    std::vector<double> wr(n), wi(n, 0.0);
    for (int i = 0; i < n; ++i)
        wr[i] = m[at(i, i, n)];
    const int no = 0, one = 1;
    double z = 0;
    if (n >= MULTISHIFT_MIN_SIZE) {
        const char values_only = 'E', no_vectors = 'N';
        lwork = -1;
        dhseqr_(&values_only, &no_vectors, &n, &ilo, &ihi, m.data(), &n, wr.data(), wi.data(), &z, &one,
                &size, &lwork, &info, 1, 1);
        if (info != 0)
            return std::nullopt;
        lwork = std::max(static_cast<int>(size), n);
        work.assign(static_cast<std::size_t>(lwork), 0.0);
        dhseqr_(&values_only, &no_vectors, &n, &ilo, &ihi, m.data(), &n, wr.data(), wi.data(), &z, &one,
                work.data(), &lwork, &info, 1, 1);
    } else {
        dlahqr_(&no, &no, &n, &ilo, &ihi, m.data(), &n, wr.data(), wi.data(), &one, &one, &z, &one, &info);
    }
    if (info != 0)
        return std::nullopt;
    return complex_values(wr, wi);
}

// The eigenvalues by LAPACK in double: the double-shift iteration, and dgeev where that does not
// converge; nothing when neither does.
std::optional<std::vector<Complex>> eigenvalues_in_double(const std::vector<Real>& a, int n) {
    std::vector<double> m(static_cast<std::size_t>(n) * n);
    // Column-major for LAPACK: row j of the view of m is column j of the matrix.
    const RowMajorView<const Real> rows(a, n, n);
    const RowMajorView<double> columns(m, n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            columns(j, i) = static_cast<double>(rows(i, j));
    // Inside a parallel region (the analysis's two spectra at once) OpenBLAS runs on the calling
    // thread whatever its thread count: setting that count there would only cost time (a tenth of
    // the spectra of 100 rows).
    std::optional<FixedBlasThreads> threads;
    if (!omp_in_parallel())
        threads.emplace();
    if (auto values = eigenvalues_by_qr_iteration(m, n))
        return values;
    std::vector<double> wr(n), wi(n);
    const char no = 'N';
    const int one = 1;
    double dummy = 0, size = 0;
    int lwork = -1, info = 0;
    dgeev_(&no, &no, &n, m.data(), &n, wr.data(), wi.data(), &dummy, &one, &dummy, &one, &size, &lwork, &info,
           1, 1);
    if (info != 0)
        return std::nullopt;
    lwork = static_cast<int>(size);
    std::vector<double> work(static_cast<std::size_t>(std::max(lwork, 1)));
    dgeev_(&no, &no, &n, m.data(), &n, wr.data(), wi.data(), &dummy, &one, &dummy, &one, work.data(), &lwork,
           &info, 1, 1);
    if (info != 0)
        return std::nullopt;
    return complex_values(wr, wi);
}

// Reduction to upper Hessenberg form by stabilised elementary similarity transformations:
// Gaussian elimination with partial pivoting, each elimination's inverse applied on the right
// (eigenvalues unchanged). The Handbook's elmhes: R. S. Martin and J. H. Wilkinson, "Similarity
// reduction of a general matrix to Hessenberg form", Numer. Math. 12 (1968) 349-368; J. H.
// Wilkinson and C. Reinsch, Handbook for Automatic Computation, vol. II, Linear Algebra (Springer
// 1971), contribution II/13.
template <typename T> void to_hessenberg(RowMajorView<T> m) {
    const int n = m.rows();
    for (int k = 1; k < n - 1; ++k) {
        int pivot = k;
        T largest = 0;
        for (int j = k; j < n; ++j) {
            if (std::fabs(m(j, k - 1)) > std::fabs(largest)) {
                largest = m(j, k - 1);
                pivot = j;
            }
        }
        if (pivot != k) {
            for (int j = k - 1; j < n; ++j)
                std::swap(m(pivot, j), m(k, j));
            for (int i = 0; i < n; ++i)
                std::swap(m(i, pivot), m(i, k));
        }
        if (largest == 0)
            continue;
        for (int i = k + 1; i < n; ++i) {
            T y = m(i, k - 1);
            if (y == 0)
                continue;
            y /= largest;
            m(i, k - 1) = y;
            for (int j = k; j < n; ++j)
                m(i, j) -= y * m(k, j);
            for (int j = 0; j < n; ++j)
                m(j, k) += y * m(j, i);
        }
    }
    for (int i = 2; i < n; ++i)
        for (int j = 0; j < i - 1; ++j)
            m(i, j) = 0;
}

// The QR iteration on the Hessenberg matrix, in the steps below, is the Handbook's hqr (EISPACK's
// routine of that name): R. S. Martin, G. Peters and J. H. Wilkinson, "The QR algorithm for real
// Hessenberg matrices", Numer. Math. 14 (1970) 219-231, Handbook vol. II, contribution II/14. Its
// implicit double shift is J. G. F. Francis's, "The QR transformation: a unitary analogue to the LR
// transformation", The Computer Journal 4 (1961/62) 265-271 and 332-345; G. H. Golub and C. F. Van
// Loan, Matrix Computations, 4th ed. (Johns Hopkins 2013), section 7.5 and its Algorithms 7.5.1
// (the Francis step) and 7.5.2 (the iteration with its deflation).

// Sweeps on one block without a deflation before the iteration is taken as failed (the caller then
// has no eigenvalues, or LAPACK's). The Handbook gives up after 30; a sweep of the small matrices
// here costs little beside having no eigenvalues at all, so twice as many are allowed.
constexpr int MAX_SWEEPS_PER_DEFLATION = 60;
// The sweeps (counted from the last deflation) that take exceptional shifts instead of the
// trailing block's eigenvalues, as the Handbook's: those can repeat from sweep to sweep without
// converging (on a cyclic permutation matrix every sweep gives the same shifts), a pair unrelated
// to the block breaks the cycle.
constexpr int FIRST_EXCEPTIONAL_SWEEP = 10;
constexpr int SECOND_EXCEPTIONAL_SWEEP = 20;
// The exceptional pair, as the Handbook's: the roots of (z - 0.75 s)^2 + 0.4375 s^2, that is
// 0.75 s +- 0.661 i s, of modulus s, with s = |h(nn, nn-1)| + |h(nn-1, nn-2)| the size of the
// subdiagonal entries that do not vanish. Both factors are exact in binary.
constexpr long double EXCEPTIONAL_SHIFT_REAL_PART = 0.75L;
constexpr long double EXCEPTIONAL_SHIFT_PRODUCT = -0.4375L;

// The sum of the magnitudes of the Hessenberg matrix's entries: the scale of the deflation test
// where a block's diagonal is zero.
template <typename T> T hessenberg_norm(RowMajorView<T> h) {
    T norm = 0;
    for (int i = 0; i < h.rows(); ++i)
        for (int j = std::max(i - 1, 0); j < h.rows(); ++j)
            norm += std::fabs(h(i, j));
    return norm;
}

// Deflation (Golub and Van Loan, section 7.5; the Handbook's test): the largest l <= nn whose
// subdiagonal entry is negligible beside its diagonal neighbours, |h(l, l-1)| <= eps (|h(l-1, l-1)|
// + |h(l, l)|) (the matrix's norm where both are zero), set to zero: rows and columns l .. nn are
// then a block of their own. 0 when there is none.
template <typename T> int split_point(RowMajorView<T> h, int nn, T norm) {
    const T eps = std::numeric_limits<T>::epsilon();
    int l;
    for (l = nn; l >= 1; --l) {
        T s = std::fabs(h(l - 1, l - 1)) + std::fabs(h(l, l));
        if (s == 0)
            s = norm;
        if (std::fabs(h(l, l - 1)) <= eps * s) {
            h(l, l - 1) = 0;
            break;
        }
    }
    return l;
}

// The eigenvalues of the deflated 2 x 2 block [y b; c x] at rows nn-1, nn (w = b c) plus the
// shifted origin t, into wr and wi at nn-1 and nn, as the Handbook's hqr has them: with p = (y -
// x)/2 and q = p^2 + w, x + p +- sqrt(q). A real pair's root of the larger magnitude about x is
// taken with the sign that adds, and the other from the product of the two, -w, without
// cancellation. Only the eigenvalues are wanted: the block is not turned to a standard form
// (LAPACK's dlanv2).
template <typename T>
void block_eigenvalues(T x, T y, T w, T t, int nn, std::vector<T>& wr, std::vector<T>& wi) {
    const T p = (y - x) / 2;
    const T q = p * p + w;
    const T z = std::sqrt(std::fabs(q));
    const T xx = x + t;
    if (q >= 0) {
        const T zz = p + (p >= 0 ? z : -z);
        wr[nn - 1] = wr[nn] = xx + zz;
        if (zz != 0)
            wr[nn] = xx - w / zz;
        wi[nn - 1] = wi[nn] = 0;
    } else {
        wr[nn - 1] = wr[nn] = xx + p;
        wi[nn - 1] = z;
        wi[nn] = -z;
    }
}

// A pair of shifts: the eigenvalues of a 2 x 2 matrix [y b; c x] with w = b c, the roots of (z -
// x)(z - y) - w.
template <typename T> struct ShiftPair { T x, y, w; };

// The shifts of the next sweep (Golub and Van Loan, section 7.5, the double-shift strategy): the
// eigenvalues of the trailing 2 x 2 block [y .; . x] (w the product of its off-diagonal entries),
// or on the exceptional sweeps the exceptional pair, the origin first moved to x (t accumulates the
// moves, and each eigenvalue found gets it back).
template <typename T> ShiftPair<T> choose_shifts(RowMajorView<T> h, int nn, int sweep, T x, T y, T w, T& t) {
    if (sweep != FIRST_EXCEPTIONAL_SWEEP && sweep != SECOND_EXCEPTIONAL_SWEEP)
        return {x, y, w};
    t += x;
    for (int i = 0; i <= nn; ++i)
        h(i, i) -= x;
    const T s = std::fabs(h(nn, nn - 1)) + std::fabs(h(nn - 1, nn - 2));
    const T shift = T(EXCEPTIONAL_SHIFT_REAL_PART) * s;
    return {shift, shift, T(EXCEPTIONAL_SHIFT_PRODUCT) * s * s};
}

// Where a sweep starts and its first reflector's vector.
template <typename T> struct SweepStart {
    int m;
    T p, q, r;
};

// The start of the sweep on the block l .. nn (the Handbook's search for two small consecutive
// subdiagonal entries): the largest m >= l at which the first column of (H - z1 I)(H - z2 I) of
// the block from row m, (p, q, r) in rows m .. m+2 (scaled by its 1-norm), is so nearly along e_m
// that the reflector taking it there leaves h(m, m-1) negligible: |h(m, m-1)| (|q| + |r|) <= eps
// |p| (|h(m-1, m-1)| + |h(m, m)| + |h(m+1, m+1)|). The rows above m are then spared the sweep.
template <typename T>
SweepStart<T> sweep_start(RowMajorView<T> h, int l, int nn, const ShiftPair<T>& shifts) {
    const T eps = std::numeric_limits<T>::epsilon();
    SweepStart<T> start{};
    T& p = start.p;
    T& q = start.q;
    T& r = start.r;
    int m;
    for (m = nn - 2; m >= l; --m) {
        const T z = h(m, m);
        const T rr = shifts.x - z;
        const T ss = shifts.y - z;
        p = (rr * ss - shifts.w) / h(m + 1, m) + h(m, m + 1);
        q = h(m + 1, m + 1) - z - rr - ss;
        r = h(m + 2, m + 1);
        const T s = std::fabs(p) + std::fabs(q) + std::fabs(r);
        p /= s;
        q /= s;
        r /= s;
        if (m == l)
            break;
        const T u = std::fabs(h(m, m - 1)) * (std::fabs(q) + std::fabs(r));
        const T v = std::fabs(p) * (std::fabs(h(m - 1, m - 1)) + std::fabs(z) + std::fabs(h(m + 1, m + 1)));
        if (u <= eps * v)
            break;
    }
    start.m = m;
    return start;
}

// Applies the Householder reflector of order 3 (order 2 in the block's last row, r = 0) that maps
// (p, q, r) to (-s, 0, 0), s = +-|(p, q, r)| of p's sign, to rows k .. k+2 of the block's columns
// k .. nn and to columns k .. k+2 of its rows l .. k+3 (Golub and Van Loan, section 5.1 for the
// reflector; the Handbook's form I - u v^T, u = (p + s, q, r) / s, v = (1, q, r) / (p + s)).
template <typename T> void apply_reflector(RowMajorView<T> h, int l, int k, int nn, T p, T q, T r, T s) {
    p += s;
    const T xr = p / s, yr = q / s, zr = r / s;
    q /= p;
    r /= p;
    for (int j = k; j <= nn; ++j) { // rows k .. k+2
        T pp = h(k, j) + q * h(k + 1, j);
        if (k != nn - 1) {
            pp += r * h(k + 2, j);
            h(k + 2, j) -= pp * zr;
        }
        h(k + 1, j) -= pp * yr;
        h(k, j) -= pp * xr;
    }
    const int last_row = nn < k + 3 ? nn : k + 3;
    for (int i = l; i <= last_row; ++i) { // columns k .. k+2
        T pp = xr * h(i, k) + yr * h(i, k + 1);
        if (k != nn - 1) {
            pp += zr * h(i, k + 2);
            h(i, k + 2) -= pp * r;
        }
        h(i, k + 1) -= pp * q;
        h(i, k) -= pp;
    }
}

// One Francis double-shift sweep on the block l .. nn from row `start.m` (Golub and Van Loan,
// Algorithm 7.5.1): the first reflector brings in both shifts at once, the bulge it makes below the
// subdiagonal is chased down and out of the block by one reflector per column, restoring the
// Hessenberg form.
template <typename T> void francis_sweep(RowMajorView<T> h, int l, int nn, const SweepStart<T>& start) {
    const int m = start.m;
    T p = start.p, q = start.q, r = start.r;
    for (int i = m + 2; i <= nn; ++i) { // the entries the bulge fills, zero before it comes
        h(i, i - 2) = 0;
        if (i != m + 2)
            h(i, i - 3) = 0;
    }
    for (int k = m; k <= nn - 1; ++k) {
        T scale = 1;
        if (k != m) { // the bulge's column below the subdiagonal
            p = h(k, k - 1);
            q = h(k + 1, k - 1);
            r = k != nn - 1 ? h(k + 2, k - 1) : 0;
            scale = std::fabs(p) + std::fabs(q) + std::fabs(r);
            if (scale != 0) {
                p /= scale;
                q /= scale;
                r /= scale;
            }
        }
        const T norm_pqr = std::sqrt(p * p + q * q + r * r);
        const T s = p >= 0 ? norm_pqr : -norm_pqr;
        if (s == 0)
            continue;
        if (k == m) {
            if (l != m)
                h(k, k - 1) = -h(k, k - 1);
        } else {
            h(k, k - 1) = -s * scale;
        }
        apply_reflector(h, l, k, nn, p, q, r, s);
    }
}

// The eigenvalues of an upper Hessenberg matrix into wr, wi (complex pairs adjacent, the positive
// imaginary part first): deflate at the last negligible subdiagonal entry, take the eigenvalue of a
// 1 x 1 block or the pair of a 2 x 2 one at the bottom, else sweep the bottom block. False when a
// block does not deflate within MAX_SWEEPS_PER_DEFLATION sweeps.
template <typename T> bool hessenberg_qr(RowMajorView<T> h, std::vector<T>& wr, std::vector<T>& wi) {
    const T norm = hessenberg_norm(h);
    T t = 0;
    int nn = h.rows() - 1;
    while (nn >= 0) {
        for (int sweep = 0;; ++sweep) {
            const int l = split_point(h, nn, norm);
            const T x = h(nn, nn);
            if (l == nn) {
                wr[nn] = x + t;
                wi[nn] = 0;
                --nn;
                break;
            }
            const T y = h(nn - 1, nn - 1);
            const T w = h(nn, nn - 1) * h(nn - 1, nn);
            if (l == nn - 1) {
                block_eigenvalues(x, y, w, t, nn, wr, wi);
                nn -= 2;
                break;
            }
            if (sweep == MAX_SWEEPS_PER_DEFLATION)
                return false;
            const ShiftPair<T> shifts = choose_shifts(h, nn, sweep, x, y, w, t);
            francis_sweep(h, l, nn, sweep_start(h, l, nn, shifts));
        }
    }
    return true;
}

// A balancing step is taken only where it brings the row's and column's summed norms below this
// fraction of what they were (Parlett and Reinsch's gamma): each step taken lowers the matrix's
// norm by a fixed part of a row's, so the sweeps end, and steps of smaller gain are not worth one.
constexpr double BALANCE_MIN_GAIN = 0.95;

// Balancing (B. N. Parlett and C. Reinsch, "Balancing a matrix for calculation of eigenvalues and
// eigenvectors", Numer. Math. 13 (1969) 293-304; Handbook vol. II, contribution II/11, EISPACK's
// balanc, without its permutations): scales row i by 1/f and column i by f, f a power of the radix
// 2 (the similarity changes no digit of the eigenvalues), until each row and column have 1-norms
// (off the diagonal) within a factor of the radix of each other, so that the QR iteration's
// rounding, relative to the matrix's norm, is not that of its largest rows for all (Golub and Van
// Loan, section 7.5).
template <typename T> void balance(RowMajorView<T> a) {
    const int n = a.rows();
    constexpr T radix = 2;
    for (bool done = false; !done;) {
        done = true;
        for (int i = 0; i < n; ++i) {
            T column = 0, row = 0;
            for (int j = 0; j < n; ++j)
                if (j != i) {
                    column += std::fabs(a(j, i));
                    row += std::fabs(a(i, j));
                }
            if (column == 0 || row == 0)
                continue;
            const T sum = column + row;
            T f = 1;
            while (column < row / radix) {
                f *= radix;
                column *= radix * radix;
            }
            while (column > row * radix) {
                f /= radix;
                column /= radix * radix;
            }
            if ((column + row) / f < T(BALANCE_MIN_GAIN) * sum) {
                done = false;
                for (int j = 0; j < n; ++j) {
                    a(i, j) /= f;
                    a(j, i) *= f;
                }
            }
        }
    }
}

// The eigenvalues by the QR iteration above in type T (balanced first when `balanced`).
template <typename T>
std::optional<std::vector<Complex>> eigenvalues_by_own_iteration(std::vector<T> a, int n, bool balanced) {
    const RowMajorView<T> m(a, n, n);
    if (balanced)
        balance(m);
    to_hessenberg(m);
    std::vector<T> wr(n), wi(n);
    if (!hessenberg_qr(m, wr, wi))
        return std::nullopt;
    std::vector<Complex> result;
    result.reserve(n);
    for (int i = 0; i < n; ++i)
        result.emplace_back(wr[i], wi[i]);
    return result;
}

// Below this many rows the rough eigenvalues come from that iteration in double, balanced:
// LAPACK's calls cost more than a small one's whole work (measured on matrices like a stability
// Jacobian: 8 rows 4.3 us against 15.8, 100 rows 1.5 ms against 2.8; 160 rows 8.9 against 8.3).
constexpr int OWN_ROUGH_MAX_SIZE = 128;

} // namespace

std::optional<std::vector<Complex>> eigenvalues(std::vector<Real> a, int n, bool rough) {
    if (n <= 0)
        return std::vector<Complex>{};
    for (Real v : a)
        if (!std::isfinite(v))
            return std::nullopt;
    // LAPACK takes over where the iteration does not converge or double's range ran out.
    if (rough && n < OWN_ROUGH_MAX_SIZE)
        if (auto values = eigenvalues_by_own_iteration(std::vector<double>(a.begin(), a.end()), n, true);
            values && std::all_of(values->begin(), values->end(), [](const Complex& z) {
                return std::isfinite(z.real()) && std::isfinite(z.imag());
            }))
            return values;
    if (rough || n >= LAPACK_EIGENVALUES_MIN_SIZE)
        return eigenvalues_in_double(a, n);
    return eigenvalues_by_own_iteration(std::move(a), n, false);
}

} // namespace ambrel
