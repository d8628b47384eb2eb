// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "physics/dense_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace ambrel {
namespace {

struct Ball {
    Real x, y, z, r;
};

// Elastance matrix in 1/m: 1/r on the diagonal, 1/d between centres, d floored at 1e-6 m.
std::vector<Real> elastance(const std::vector<Ball>& balls) {
    const std::size_t n = balls.size();
    std::vector<Real> P(n * n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            const Real dx = balls[i].x - balls[j].x, dy = balls[i].y - balls[j].y,
                       dz = balls[i].z - balls[j].z;
            P[i * n + j] =
                i == j ? 1 / balls[i].r : 1 / std::max(std::sqrt(dx * dx + dy * dy + dz * dz), 1e-6L);
        }
    return P;
}

// Balls of radii 0.5 mm to 1 cm, not overlapping, in a box of 30 cm.
void add_mixed(std::vector<Ball>& balls, int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int placed = 0; placed < count;) {
        const Ball b{0.3L * unit(rng), 0.3L * unit(rng), 0.3L * unit(rng), 0.0005L + 0.0095L * unit(rng)};
        const bool free = std::all_of(balls.begin(), balls.end(), [&](const Ball& o) {
            return std::hypot(b.x - o.x, b.y - o.y, b.z - o.z) > b.r + o.r;
        });
        if (free) {
            balls.push_back(b);
            ++placed;
        }
    }
}

// A square plate of side x side small spheres (pitch 1 mm, r = 0.3 mm) at height z.
void add_plate(std::vector<Ball>& balls, int side, Real z) {
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            balls.push_back({0.35L + i * 0.001L, 0.35L + j * 0.001L, z, 0.0003L});
}

std::vector<Real> voltages(std::size_t n) {
    std::vector<Real> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = i % 3 == 0 ? 1500.0L : (i % 3 == 1 ? -300.0L : 0.0L);
    return v;
}

// Mixed sizes and a pair of parallel plates 2 mm apart: 60 spheres.
std::vector<Ball> mixed_with_plates() {
    std::vector<Ball> balls;
    add_mixed(balls, 10, 7);
    add_plate(balls, 5, 0.10L);
    add_plate(balls, 5, 0.102L);
    return balls;
}

Real max_abs(const Real* a, std::size_t n) {
    Real m = 0;
    for (std::size_t i = 0; i < n; ++i)
        m = std::max(m, std::fabs(a[i]));
    return m;
}

// max |a - b| / max |b|
Real relative_difference(const std::vector<Real>& a, const std::vector<Real>& b) {
    Real d = 0;
    for (std::size_t i = 0; i < b.size(); ++i)
        d = std::max(d, std::fabs(a[i] - b[i]));
    return d / max_abs(b.data(), b.size());
}

// Gauss-Jordan on a copy: inverse, charges and total, or the singular pivot.
struct Reference {
    int pivot = 0;
    std::vector<Real> inverse, x;
    Real total = 0;
};

Reference reference(const std::vector<Real>& P, const std::vector<Real>& v) {
    const int n = static_cast<int>(v.size());
    Reference ref;
    ref.inverse = P;
    ref.pivot = gauss_jordan_invert(n, ref.inverse.data(), n);
    ref.x.assign(v.size(), 0);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) {
            ref.x[i] += ref.inverse[i * n + k] * v[k];
            ref.total += ref.inverse[i * n + k];
        }
    return ref;
}

struct Solved {
    SolveOutcome outcome;
    std::vector<Real> x;
};

Solved solve_with(DenseSymmetricSolver& solver, const std::vector<Real>& P, const std::vector<Real>& v,
                  SolverTier tier) {
    const int n = static_cast<int>(v.size());
    Real* m = solver.matrix(n);
    std::copy(P.begin(), P.end(), m);
    Solved r;
    r.x.assign(v.size(), Real(-7)); // anything the solver fails to write shows up
    r.outcome = solver.solve(n, v.data(), r.x.data(), tier);
    EXPECT_TRUE(std::equal(P.begin(), P.end(), m)) << "P must be left intact";
    return r;
}

// The tiers must agree with Gauss-Jordan to 1e-15 (charges, total) and 1e-14 (inverse). With
// 80-bit arithmetic throughout they do far better on these well-conditioned matrices, while a
// double-precision step anywhere shows at about 1e-16, so they are held to 1e-17.
constexpr Real AGREEMENT = 1e-17L;

void expect_agrees(const Solved& r, const Reference& ref) {
    ASSERT_EQ(ref.pivot, 0);
    EXPECT_EQ(r.outcome.singular_pivot, 0);
    EXPECT_LT(relative_difference(r.x, ref.x), AGREEMENT);
    EXPECT_LT(std::fabs(r.outcome.total - ref.total) / ref.total, AGREEMENT);
}

// The inverses from the factorisation are exactly symmetric; Gauss-Jordan's need not be.
void expect_inverse_agrees(DenseSymmetricSolver& solver, const Reference& ref, bool symmetric = true) {
    const int n = static_cast<int>(ref.x.size());
    std::vector<Real> C(ref.inverse.size(), Real(-7));
    ASSERT_EQ(solver.inverse(n, C.data()), 0);
    EXPECT_LT(relative_difference(C, ref.inverse), AGREEMENT);
    for (int i = 0; i < n && symmetric; ++i)
        for (int j = 0; j < i; ++j)
            ASSERT_EQ(C[i * n + j], C[j * n + i]) << i << "," << j;
}

TEST(GaussJordan, InvertsAndNamesTheFirstSmallPivot) {
    // Inverse of [[4, 2], [2, 3]] is [[3, -2], [-2, 4]] / 8; stored with leading dimension 3.
    Real m[6] = {4, 2, 99, 2, 3, 99};
    EXPECT_EQ(gauss_jordan_invert(2, m, 3), 0);
    EXPECT_NEAR(static_cast<double>(m[0]), 3.0 / 8, 1e-18);
    EXPECT_NEAR(static_cast<double>(m[1]), -2.0 / 8, 1e-18);
    EXPECT_NEAR(static_cast<double>(m[3]), -2.0 / 8, 1e-18);
    EXPECT_NEAR(static_cast<double>(m[4]), 4.0 / 8, 1e-18);
    EXPECT_EQ(m[2], 99);

    // Second pivot 3 - 3*3/3 = 0: stops at pivot 2, after eliminating the first.
    Real s[9] = {3, 3, 1, 3, 3, 2, 1, 2, 5};
    EXPECT_EQ(gauss_jordan_invert(3, s, 3), 2);
    EXPECT_NEAR(static_cast<double>(s[0]), 1.0 / 3, 1e-18);
    EXPECT_EQ(s[8], 5 - 1.0L / 3);

    // The inverse of a realistic elastance matrix times the matrix is the identity.
    const auto balls = mixed_with_plates();
    const auto P = elastance(balls);
    const int n = static_cast<int>(balls.size());
    auto C = P;
    ASSERT_EQ(gauss_jordan_invert(n, C.data(), n), 0);
    Real worst = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            Real s = 0;
            for (int k = 0; k < n; ++k)
                s += P[i * n + k] * C[k * n + j];
            worst = std::max(worst, std::fabs(s - (i == j ? 1 : 0)));
        }
    EXPECT_LT(worst, 1e-15L);
}

TEST(DenseSolver, BothTiersAgreeWithGaussJordanOnMixedSpheresAndPlates) {
    const auto balls = mixed_with_plates();
    const auto P = elastance(balls);
    const auto v = voltages(balls.size());
    const auto ref = reference(P, v);
    DenseSymmetricSolver solver(100);

    const Solved fast = solve_with(solver, P, v, SolverTier::Fast);
    EXPECT_EQ(fast.outcome.tier_used, SolverTier::Fast); // well conditioned: no fallback
    expect_agrees(fast, ref);
    expect_inverse_agrees(solver, ref); // factors P on demand

    const Solved exact = solve_with(solver, P, v, SolverTier::Exact);
    EXPECT_EQ(exact.outcome.tier_used, SolverTier::Exact);
    expect_agrees(exact, ref);
    expect_inverse_agrees(solver, ref); // reuses the factorisation

    const Solved gj = solve_with(solver, P, v, SolverTier::Reference);
    EXPECT_EQ(gj.outcome.tier_used, SolverTier::Reference);
    expect_agrees(gj, ref);
    expect_inverse_agrees(solver, ref, false);
}

// Every voltage 0, as in a run that only wants the total capacitance: the charges are exactly
// 0 and the total 1^T P^-1 1 must still be refined to the reference's precision.
TEST(DenseSolver, AllVoltagesZeroStillGiveTheTotalAtFullPrecision) {
    for (const auto& balls : {mixed_with_plates(), [] {
                                  std::vector<Ball> b;
                                  add_mixed(b, 120, 21);
                                  return b;
                              }()}) {
        const auto P = elastance(balls);
        const std::vector<Real> v(balls.size(), 0);
        const auto ref = reference(P, v);
        ASSERT_EQ(ref.pivot, 0);
        DenseSymmetricSolver solver(200);
        for (SolverTier tier : {SolverTier::Fast, SolverTier::Exact}) {
            const Solved r = solve_with(solver, P, v, tier);
            EXPECT_EQ(r.outcome.tier_used, tier);
            EXPECT_EQ(r.outcome.singular_pivot, 0);
            EXPECT_EQ(max_abs(r.x.data(), r.x.size()), 0);
            EXPECT_LT(std::fabs(r.outcome.total - ref.total) / ref.total, AGREEMENT)
                << (tier == SolverTier::Fast ? "fast" : "exact");
        }
    }
}

// Several column blocks of the exact tier, with a last group of fewer than four rows.
TEST(DenseSolver, BlockedFactorisationAgreesWithGaussJordanOverSeveralBlocks) {
    std::vector<Ball> balls;
    add_mixed(balls, 75, 11);
    add_plate(balls, 8, 0.05L);
    add_plate(balls, 8, 0.051L);
    ASSERT_EQ(balls.size(), 203u);
    ASSERT_GT(balls.size(), 2u * DenseSymmetricSolver::block_size); // at least three blocks
    const auto P = elastance(balls);
    const auto v = voltages(balls.size());
    const auto ref = reference(P, v);
    DenseSymmetricSolver solver(256);

    const Solved exact = solve_with(solver, P, v, SolverTier::Exact);
    expect_agrees(exact, ref);
    expect_inverse_agrees(solver, ref);
    const Solved fast = solve_with(solver, P, v, SolverTier::Fast);
    EXPECT_EQ(fast.outcome.tier_used, SolverTier::Fast);
    expect_agrees(fast, ref);

    // Equal rows in different column blocks: the same singular pivot as Gauss-Jordan.
    balls[150] = balls[3] = {0.2L, 0.1L, 0.05L, 1e-6L};
    const auto S = elastance(balls);
    ASSERT_EQ(reference(S, v).pivot, 151);
    EXPECT_EQ(solve_with(solver, S, v, SolverTier::Exact).outcome.singular_pivot, 151);
}

// Overlapping spheres make P indefinite: Cholesky fails and the exact tier must be taken.
TEST(DenseSolver, IndefiniteMatrixFallsBackToTheExactTier) {
    std::vector<Ball> balls;
    add_mixed(balls, 40, 3);
    balls.insert(balls.begin() + 17, {0.5L, 0.5L, 0.5L, 0.005L});
    balls.insert(balls.begin() + 30, {0.5L, 0.5L, 0.5005L, 0.005L}); // 0.5 mm apart, r = 5 mm
    const auto P = elastance(balls);
    const auto v = voltages(balls.size());
    const auto ref = reference(P, v);
    DenseSymmetricSolver solver(64);

    const Solved r = solve_with(solver, P, v, SolverTier::Fast);
    EXPECT_EQ(r.outcome.tier_used, SolverTier::Exact);
    expect_agrees(r, ref);
    expect_inverse_agrees(solver, ref);
}

// Positive definite with a second pivot of 1e-11: not singular, but below the margin the fast
// tier demands. With 5e-13 instead the pivot is singular for every tier.
TEST(DenseSolver, SmallPivotsOnEitherSideOfTheLimit) {
    const std::vector<Real> v = {2, 1};
    DenseSymmetricSolver solver(4);
    const std::vector<Real> P = {1, 1, 1, 1 + 1e-11L};
    const auto ref = reference(P, v);
    const Solved r = solve_with(solver, P, v, SolverTier::Fast);
    EXPECT_EQ(r.outcome.tier_used, SolverTier::Exact);
    EXPECT_EQ(r.outcome.singular_pivot, 0);
    EXPECT_LT(relative_difference(r.x, ref.x), 1e-7L); // condition number 4e11
    EXPECT_NEAR(static_cast<double>(r.outcome.total), 1.0, 1e-7);

    const std::vector<Real> S = {1, 1, 1, 1 + 5e-13L};
    EXPECT_EQ(reference(S, v).pivot, 2);
    for (SolverTier tier : {SolverTier::Fast, SolverTier::Exact})
        EXPECT_EQ(solve_with(solver, S, v, tier).outcome.singular_pivot, 2);
}

// Two coincident spheres whose radius equals the 1e-6 m distance floor have equal rows: the
// second one's pivot vanishes. Every tier names the pivot Gauss-Jordan names and zeroes x.
TEST(DenseSolver, SingularPivotIsNamedLikeGaussJordan) {
    std::vector<Ball> balls;
    add_mixed(balls, 60, 5);
    const Ball tiny{0.2L, 0.1L, 0.05L, 1e-6L};
    balls.insert(balls.begin() + 20, tiny);
    balls.insert(balls.begin() + 45, tiny);
    const auto P = elastance(balls);
    const auto v = voltages(balls.size());
    const auto ref = reference(P, v);
    ASSERT_EQ(ref.pivot, 46);
    DenseSymmetricSolver solver(64);
    for (SolverTier tier : {SolverTier::Fast, SolverTier::Exact, SolverTier::Reference}) {
        const Solved r = solve_with(solver, P, v, tier);
        EXPECT_EQ(r.outcome.singular_pivot, ref.pivot);
        EXPECT_EQ(r.outcome.tier_used,
                  tier == SolverTier::Reference ? SolverTier::Reference : SolverTier::Exact);
        EXPECT_EQ(r.outcome.total, 0);
        EXPECT_EQ(max_abs(r.x.data(), r.x.size()), 0);
        std::vector<Real> C(P.size(), Real(-7));
        EXPECT_EQ(solver.inverse(static_cast<int>(v.size()), C.data()), ref.pivot);
        EXPECT_EQ(max_abs(C.data(), C.size()), 0);
    }

    // A sphere of huge radius first: its self elastance is already below the limit.
    balls.insert(balls.begin(), {0.0L, 0.0L, 0.0L, 1e13L});
    const auto P2 = elastance(balls);
    const auto v2 = voltages(balls.size());
    const Solved r = solve_with(solver, P2, v2, SolverTier::Fast);
    EXPECT_EQ(r.outcome.singular_pivot, 1);
    EXPECT_EQ(reference(P2, v2).pivot, 1);
}

// A zero radius (infinite self elastance) must not turn into NaN: that sphere carries no charge.
TEST(DenseSolver, InfiniteSelfElastanceGivesZeroChargeWithoutNaN) {
    std::vector<Ball> balls;
    add_mixed(balls, 30, 9);
    auto P = elastance(balls);
    const int n = static_cast<int>(balls.size());
    P[5 * n + 5] = INFINITY;
    const auto v = voltages(balls.size());
    DenseSymmetricSolver solver(32);
    for (SolverTier tier : {SolverTier::Fast, SolverTier::Exact, SolverTier::Reference}) {
        const Solved r = solve_with(solver, P, v, tier);
        EXPECT_EQ(r.outcome.singular_pivot, 0);
        EXPECT_TRUE(std::isfinite(r.outcome.total));
        EXPECT_TRUE(std::all_of(r.x.begin(), r.x.end(), [](Real q) { return std::isfinite(q); }));
        EXPECT_EQ(r.x[5], 0);
        std::vector<Real> C(P.size());
        EXPECT_EQ(solver.inverse(n, C.data()), 0);
        EXPECT_TRUE(std::all_of(C.begin(), C.end(), [](Real c) { return std::isfinite(c); }));
    }
}

// Storage follows the systems solved: nothing before the first, the fast tier's alone while it
// serves, the exact tier's and the inverse's when first asked for, and it stays when a smaller
// system follows. Whatever the storage held before never leaks into a result.
TEST(DenseSolver, StorageGrowsByNeedAndStays) {
    DenseSymmetricSolver solver(2000);
    EXPECT_EQ(solver.held_bytes(), 0u);

    const std::vector<Ball> balls = mixed_with_plates();
    const std::size_t n = balls.size();
    const std::vector<Real> P = elastance(balls), v = voltages(n);
    const Reference ref = reference(P, v);
    const Solved fast = solve_with(solver, P, v, SolverTier::Fast);
    ASSERT_EQ(fast.outcome.tier_used, SolverTier::Fast);
    expect_agrees(fast, ref);
    const std::size_t fast_bytes = solver.held_bytes();
    // P in long double and its double Cholesky factor: about 24 n^2 bytes, no exact tier yet.
    EXPECT_GE(fast_bytes, 24 * n * n);
    EXPECT_LT(fast_bytes, 26 * n * n);

    expect_inverse_agrees(solver, ref);
    const std::size_t full_bytes = solver.held_bytes();
    EXPECT_GT(full_bytes, fast_bytes + 16 * n * n); // the factor of the exact tier

    // A smaller system in the larger storage, on both tiers.
    std::vector<Ball> few;
    add_mixed(few, 12, 3);
    const std::vector<Real> Ps = elastance(few), vs = voltages(few.size());
    const Reference small = reference(Ps, vs);
    expect_agrees(solve_with(solver, Ps, vs, SolverTier::Exact), small);
    expect_inverse_agrees(solver, small);
    expect_agrees(solve_with(solver, Ps, vs, SolverTier::Fast), small);
    EXPECT_EQ(solver.held_bytes(), full_bytes);

    // A larger one grows it again.
    std::vector<Ball> more = balls;
    add_mixed(more, 40, 11);
    const std::vector<Real> Pm = elastance(more), vm = voltages(more.size());
    expect_agrees(solve_with(solver, Pm, vm, SolverTier::Exact), reference(Pm, vm));
    EXPECT_GT(solver.held_bytes(), full_bytes);
}

TEST(DenseSolver, OneSphereAndEdgeSizes) {
    DenseSymmetricSolver solver(3);
    EXPECT_EQ(solver.matrix(4), nullptr);
    EXPECT_EQ(solver.matrix(-1), nullptr);

    // One ball of radius 1 cm: x = r v, total = r (in units of 4 pi e0).
    solver.matrix(1)[0] = 100;
    const Real v = 250;
    Real x = 0;
    const SolveOutcome o = solver.solve(1, &v, &x);
    EXPECT_EQ(o.tier_used, SolverTier::Fast);
    EXPECT_NEAR(static_cast<double>(x), 2.5, 1e-18);
    EXPECT_NEAR(static_cast<double>(o.total), 0.01, 1e-20);
    Real c = 0;
    EXPECT_EQ(solver.inverse(1, &c), 0);
    EXPECT_NEAR(static_cast<double>(c), 0.01, 1e-20);

    // No spheres: nothing to solve, total 0.
    solver.matrix(0);
    EXPECT_EQ(solver.solve(0, nullptr, nullptr).total, 0);
}

// The judge every refinement loop shares (the fast tier, warm starts, the perturbed evaluations):
// corrections of known sizes against a solution of size 1.
TEST(DenseSolver, TheRefinementJudgeStopsAtItsDocumentedBounds) {
    auto run = [](bool warm, std::vector<double> corrections) {
        RefinementJudge judge(warm);
        Real x = warm ? 1 : 0;
        for (std::size_t k = 0; k < corrections.size() && !judge.done && !judge.failed; ++k) {
            const double c = corrections[k];
            judge.apply(1, &x, &c, k == 0);
        }
        return judge.done ? 1 : judge.failed ? -1 : 0;
    };
    // A fresh start from 0: its first correction is the solution.
    EXPECT_EQ(run(false, {1, 0x1p-30, 0x1p-62}), 0);  // not yet below the last bit
    EXPECT_EQ(run(false, {1, 0x1p-30, 0x1p-63}), 1);  // below it
    EXPECT_EQ(run(false, {1, 0x1p-51, 0x1p-51}), 1);  // stalled in the rounding noise
    EXPECT_EQ(run(false, {1, 0x1p-49, 0x1p-49}), -1); // stalled above it: the exact tier
    EXPECT_EQ(run(false, {1, 0x1p-30, NAN}), -1);     // not a number
    // A warm start may stall at its first steps where it was never far from the solution...
    EXPECT_EQ(run(true, {0x1p-57, 0x1p-57}), 1);
    EXPECT_EQ(run(true, {0x1p-55, 0x1p-55}), -1);
    // ... or after it contracted fourfold once; not when it never did.
    EXPECT_EQ(run(true, {0x1p-48, 0x1p-51, 0x1p-51}), 1);
    EXPECT_EQ(run(true, {0x1p-51, 0x1p-51}), -1);
    // Contracting fast, what is left after a correction is below the last bit: done a step early.
    EXPECT_EQ(run(true, {0x1p-40, 0x1p-53}), 1);
    EXPECT_EQ(run(false, {1, 0x1p-40, 0x1p-53}), 0); // a fresh start takes the step
}

} // namespace
} // namespace ambrel
