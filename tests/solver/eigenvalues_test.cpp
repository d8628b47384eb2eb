// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The nonsymmetric eigenvalue solver on matrices with known eigenvalues.
#include "solver/eigenvalues.h"

#include "model/units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace ambrel {
namespace {

std::vector<Complex> sorted(std::vector<Complex> v) {
    std::sort(v.begin(), v.end(), [](Complex a, Complex b) {
        return a.real() != b.real() ? a.real() < b.real() : a.imag() < b.imag();
    });
    return v;
}

void expect_eigenvalues(const std::vector<Real>& a, int n, std::vector<Complex> expected, Real tol) {
    const auto got = eigenvalues(a, n);
    ASSERT_TRUE(got.has_value());
    ASSERT_EQ(got->size(), expected.size());
    const auto g = sorted(*got), e = sorted(expected);
    for (std::size_t i = 0; i < g.size(); ++i) {
        EXPECT_NEAR(g[i].real(), e[i].real(), tol) << i;
        EXPECT_NEAR(g[i].imag(), e[i].imag(), tol) << i;
    }
}

TEST(Eigenvalues, DiagonalTriangularAndSmall) {
    expect_eigenvalues({3}, 1, {{3, 0}}, 0);
    expect_eigenvalues({2, 0, 0, -5}, 2, {{-5, 0}, {2, 0}}, 1e-18L);
    expect_eigenvalues({1, 7, 3, 0, 4, 9, 0, 0, -2}, 3, {{-2, 0}, {1, 0}, {4, 0}}, 1e-16L);
    // A rotation-like block: -1 +- 2i.
    expect_eigenvalues({-1, -2, 2, -1}, 2, {{-1, -2}, {-1, 2}}, 1e-17L);
    // Near double's largest numbers, whose squares overflow there: +- sqrt(2) 1e300 all the same.
    const auto big = eigenvalues({1e300L, 1e300L, 1e300L, -1e300L}, 2, true);
    ASSERT_TRUE(big.has_value());
    const auto g = sorted(*big);
    EXPECT_NEAR(g[0].real() / 1e300L, -std::sqrt(2.0L), 1e-14L);
    EXPECT_NEAR(g[1].real() / 1e300L, std::sqrt(2.0L), 1e-14L);
}

TEST(Eigenvalues, SimilarityTransformOfKnownSpectrum) {
    // B = S D S^-1 with D block-diagonal: eigenvalues 3, -0.5 +- 1.5i, 0.25, -4 +- 0.1i.
    const int n = 6;
    std::vector<Real> D(n * n, 0);
    D[0] = 3;
    D[1 * n + 1] = -0.5L, D[1 * n + 2] = 1.5L, D[2 * n + 1] = -1.5L, D[2 * n + 2] = -0.5L;
    D[3 * n + 3] = 0.25L;
    D[4 * n + 4] = -4, D[4 * n + 5] = 0.1L, D[5 * n + 4] = -0.1L, D[5 * n + 5] = -4;
    // S = I + unit upper triangle of ones below... a well-conditioned invertible S and its inverse
    // via S = L U with known inverse: S = I + E where E is strictly upper triangular with 0.5.
    std::vector<Real> S(n * n, 0), Sinv(n * n, 0);
    for (int i = 0; i < n; ++i) {
        S[i * n + i] = 1;
        if (i + 1 < n)
            S[i * n + i + 1] = 0.5L;
    }
    // Inverse of the bidiagonal I + 0.5 N: sum of (-0.5 N)^k.
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j)
            Sinv[i * n + j] = std::pow(-0.5L, j - i);
    std::vector<Real> T(n * n, 0), B(n * n, 0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                T[i * n + j] += S[i * n + k] * D[k * n + j];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                B[i * n + j] += T[i * n + k] * Sinv[k * n + j];
    const std::vector<Complex> spectrum{{3, 0},     {-0.5L, 1.5L}, {-0.5L, -1.5L},
                                        {0.25L, 0}, {-4, 0.1L},    {-4, -0.1L}};
    expect_eigenvalues(B, n, spectrum, 1e-15L);
    // Rows of very different scales (a Jacobian's rows for objects of very different inertias):
    // H D H (H the reflection I - 2 v v' / v'v, its own inverse) scaled to R H D H R^-1, R =
    // diag(1000^i). The same spectrum, which double precision's rounding, relative to the
    // largest entries, keeps only once the rows are balanced.
    std::vector<Real> v(n), H(n * n), C(n * n, 0);
    Real vv = 0;
    for (int i = 0; i < n; ++i) {
        v[i] = 1 + i;
        vv += v[i] * v[i];
    }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            H[i * n + j] = (i == j) - 2 * v[i] * v[j] / vv;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                for (int l = 0; l < n; ++l)
                    C[i * n + j] += H[i * n + k] * D[k * n + l] * H[l * n + j];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            C[i * n + j] *= std::pow(1000.0L, i - j);
    const auto got = eigenvalues(C, n, true);
    ASSERT_TRUE(got.has_value());
    const auto g = sorted(*got), e = sorted(spectrum);
    for (std::size_t i = 0; i < g.size(); ++i)
        EXPECT_LT(std::abs(g[i] - e[i]), 1e-12L) << i;
}

TEST(Eigenvalues, CompanionMatrixOfAQuarticAndNonFiniteInput) {
    // x^4 - 10x^3 + 35x^2 - 50x + 24 = (x-1)(x-2)(x-3)(x-4).
    std::vector<Real> c{10, -35, 50, -24, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    expect_eigenvalues(c, 4, {{1, 0}, {2, 0}, {3, 0}, {4, 0}}, 1e-14L);
    EXPECT_FALSE(eigenvalues({1, NAN, 0, 1}, 2).has_value());
}

// A cyclic permutation is orthogonal and already in Hessenberg form: the ordinary shifts leave
// it as it is, and only the exceptional shifts get the iteration going. Adding c I moves every
// eigenvalue by c, so those shifts must take the diagonal along: c + exp(2 pi i k / n).
TEST(Eigenvalues, CyclicPermutationPlusAMultipleOfTheIdentityNeedsExceptionalShifts) {
    for (int n : {3, 4, 5, 6}) {
        for (Real c : {0.0L, 0.75L, -2.5L}) {
            std::vector<Real> a(static_cast<std::size_t>(n) * n, 0);
            for (int i = 0; i < n; ++i) {
                a[static_cast<std::size_t>(i) * n + i] = c;
                a[static_cast<std::size_t>((i + 1) % n) * n + i] = 1; // e_i goes to e_(i+1)
            }
            std::vector<Complex> expected;
            for (int k = 0; 2 * k <= n; ++k) {
                // The n-th roots of unity: 1, -1 for even n, and conjugate pairs (alike real parts).
                const Real angle = 2 * PI * k / n;
                if (k == 0 || 2 * k == n) {
                    expected.emplace_back(c + (k == 0 ? 1 : -1), 0);
                } else {
                    expected.emplace_back(c + std::cos(angle), std::sin(angle));
                    expected.emplace_back(c + std::cos(angle), -std::sin(angle));
                }
            }
            SCOPED_TRACE("n " + std::to_string(n) + ", c " + std::to_string(static_cast<double>(c)));
            expect_eigenvalues(a, n, expected, 1e-15L);
        }
    }
}

// A triangular matrix but for one 2 x 2 block, in shuffled order: LAPACK's balancing isolates every
// eigenvalue outside the block by permutations, and those must come out too (the double-precision
// path of large analyses); the balancing of small ones leaves such rows alone (nothing off the
// diagonal in a row or a column).
TEST(Eigenvalues, InDoubleAlsoThoseTheBalancingIsolates) {
    for (const int n : {40, 130}) {
        std::vector<Real> t(static_cast<std::size_t>(n) * n, 0);
        std::vector<Complex> expected;
        for (int i = 0; i < n; ++i) {
            t[static_cast<std::size_t>(i) * n + i] = i == 18 || i == 19 ? 0.25L : i - 20.5L;
            for (int j = i + 1; j < n; ++j)
                t[static_cast<std::size_t>(i) * n + j] = std::sin(static_cast<Real>(7 * i + j));
            if (i != 18 && i != 19)
                expected.emplace_back(i - 20.5L, 0);
        }
        t[18 * n + 19] = -3;
        t[19 * n + 18] = 3;
        const Real pair = 3; // the block [0.25 -3; 3 0.25] has 0.25 +- 3 i
        expected.emplace_back(0.25L, pair);
        expected.emplace_back(0.25L, -pair);
        // P T P^T for the permutation i -> 17 i mod n.
        std::vector<Real> a(t.size());
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                a[static_cast<std::size_t>(17 * i % n) * n + 17 * j % n] =
                    t[static_cast<std::size_t>(i) * n + j];
        for (const bool rough : {true, false}) {
            SCOPED_TRACE(std::string(rough ? "in double, " : "in long double, ") + std::to_string(n) +
                         " rows");
            const auto got = eigenvalues(a, n, rough);
            ASSERT_TRUE(got.has_value());
            const auto g = sorted(*got), e = sorted(expected);
            ASSERT_EQ(g.size(), e.size());
            for (std::size_t i = 0; i < g.size(); ++i) {
                EXPECT_NEAR(g[i].real(), e[i].real(), 1e-10L) << i;
                EXPECT_NEAR(g[i].imag(), e[i].imag(), 1e-10L) << i;
            }
        }
    }
}

} // namespace
} // namespace ambrel
