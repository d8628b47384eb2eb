// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/eigenvalues.h"

#include "physics/blas_threads.h"
#include "physics/lapack.h"

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
        wr[i] = m[static_cast<std::size_t>(i) * n + i];
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
    for (int i = 0; i < n; ++i) // row-major to column-major
        for (int j = 0; j < n; ++j)
            m[static_cast<std::size_t>(j) * n + i] =
                static_cast<double>(a[static_cast<std::size_t>(i) * n + j]);
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

// Row-major access to an n x n matrix.
template <typename T> struct Matrix {
    std::vector<T>& a;
    int n;
    T& operator()(int i, int j) { return a[static_cast<std::size_t>(i) * n + j]; }
};

// Reduction to upper Hessenberg form by Gaussian elimination with partial pivoting, applied
// as similarity transformations (eigenvalues unchanged).
template <typename T> void to_hessenberg(Matrix<T> m) {
    const int n = m.n;
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

// Francis double-shift QR on an upper Hessenberg matrix; eigenvalues into wr, wi.
template <typename T> bool hessenberg_qr(Matrix<T> h, std::vector<T>& wr, std::vector<T>& wi) {
    const int n = h.n;
    T norm = 0;
    for (int i = 0; i < n; ++i)
        for (int j = std::max(i - 1, 0); j < n; ++j)
            norm += std::fabs(h(i, j));
    const T eps = std::numeric_limits<T>::epsilon();
    int nn = n - 1;
    T t = 0;
    T p = 0, q = 0, r = 0;
    while (nn >= 0) {
        int its = 0;
        int l;
        do {
            // Look for a single small subdiagonal element.
            for (l = nn; l >= 1; --l) {
                T s = std::fabs(h(l - 1, l - 1)) + std::fabs(h(l, l));
                if (s == 0)
                    s = norm;
                if (std::fabs(h(l, l - 1)) <= eps * s) {
                    h(l, l - 1) = 0;
                    break;
                }
            }
            const T x = h(nn, nn);
            if (l == nn) { // one root found
                wr[nn] = x + t;
                wi[nn] = 0;
                --nn;
                break;
            }
            const T y = h(nn - 1, nn - 1);
            const T w = h(nn, nn - 1) * h(nn - 1, nn);
            if (l == nn - 1) { // two roots found
                p = (y - x) / 2;
                q = p * p + w;
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
                nn -= 2;
                break;
            }
            if (its == 60)
                return false;
            T xs = x, ys = y, ws = w;
            if (its == 10 || its == 20) { // exceptional shift
                t += xs;
                for (int i = 0; i <= nn; ++i)
                    h(i, i) -= xs;
                const T s = std::fabs(h(nn, nn - 1)) + std::fabs(h(nn - 1, nn - 2));
                xs = ys = T(0.75) * s;
                ws = T(-0.4375) * s * s;
            }
            ++its;
            int m;
            for (m = nn - 2; m >= l; --m) {
                const T z = h(m, m);
                const T rr = xs - z;
                const T ss = ys - z;
                p = (rr * ss - ws) / h(m + 1, m) + h(m, m + 1);
                q = h(m + 1, m + 1) - z - rr - ss;
                r = h(m + 2, m + 1);
                const T s = std::fabs(p) + std::fabs(q) + std::fabs(r);
                p /= s;
                q /= s;
                r /= s;
                if (m == l)
                    break;
                const T u = std::fabs(h(m, m - 1)) * (std::fabs(q) + std::fabs(r));
                const T v =
                    std::fabs(p) * (std::fabs(h(m - 1, m - 1)) + std::fabs(z) + std::fabs(h(m + 1, m + 1)));
                if (u <= eps * v)
                    break;
            }
            for (int i = m + 2; i <= nn; ++i) {
                h(i, i - 2) = 0;
                if (i != m + 2)
                    h(i, i - 3) = 0;
            }
            for (int k = m; k <= nn - 1; ++k) {
                T scale = 1;
                if (k != m) {
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
                // Householder reflector from (p + s, q, r).
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
        } while (l < nn - 1);
    }
    return true;
}

// Scales row i by 1/f and column i by f (f a power of two: the similarity changes no digit of
// the eigenvalues) until each row and column have norms of one order, so that the QR iteration's
// rounding, relative to the matrix's norm, is not that of its largest rows for all.
template <typename T> void balance(Matrix<T> a) {
    const int n = a.n;
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
            if ((column + row) / f < T(0.95) * sum) {
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
    Matrix<T> m{a, n};
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
