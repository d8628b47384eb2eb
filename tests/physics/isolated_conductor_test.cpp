// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Isolated conductors (.Q): a fixed total charge, the potential found with the charges. Checked
// against closed forms of the point-charge elastance and against the partitioned system solved
// here independently, in every solver tier, warm-started in long runs and in the Jacobian.
#include "description/listing.h"
#include "physics/evaluation.h"
#include "physics/perturbation.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include "../support/test_system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ambrel {
// Its own namespace: the folder's tests are compiled in unity batches.
namespace isolated_conductor_test {
namespace {

using testing_support::FOUR_PI_E0;
using testing_support::jacobian_with_report;
using testing_support::TestSystem;

Real relative(Real a, Real b) {
    return std::fabs(a - b) / std::max(std::fabs(b), Real(1e-300L));
}

// Sum of the charges of conductor c (C).
Real conductor_charge(const TestSystem& t, int c) {
    Real sum = 0;
    for (int i = 1; i <= t.model().sphere_count; ++i)
        if (t.s(i).conductor == c)
            sum += t.Q(i);
    return sum;
}

TEST(IsolatedConductor, ReadingWritesTheChargeLineAndTheLaterLineHolds) {
    TestSystem t;
    ASSERT_TRUE(
        t.read({"ball1 a 0 0 0 0 0 0 1 0.4", "ball2 b 20 0 0 0 0 0 1 0.4", ".q b -2.5", ".Q c 1"}).ok());
    EXPECT_TRUE(t.said(".q b -2.5"));
    EXPECT_TRUE(t.said("The object: b has charge       -2.500000 nC"));
    // No conductor is added by a .Q line for an unknown name.
    EXPECT_TRUE(t.said("Conductor c not found"));
    EXPECT_FALSE(t.said("The object: c has charge        1.000000 nC")); // not reported as set
    EXPECT_EQ(t.model().conductor_count, 2);
    EXPECT_TRUE(t.model().conductors[2].isolated);
    EXPECT_EQ(t.model().conductors[2].charge, -2.5e-9L);
    EXPECT_FALSE(t.model().conductors[1].isolated);

    // .V after .Q holds the conductor at a voltage again; .Q after .V isolates it.
    ASSERT_TRUE(t.read({"ball1 a 0 0 0 0 0 0 1 0.4", ".Q a 3", ".V a 100"}).ok());
    EXPECT_FALSE(t.model().conductors[1].isolated);
    EXPECT_EQ(t.model().conductors[1].V, 100);
    ASSERT_TRUE(t.read({"ball1 a 0 0 0 0 0 0 1 0.4", ".V a 100", ".Q a 3"}).ok());
    EXPECT_TRUE(t.model().conductors[1].isolated);
    // A new reading forgets the isolation.
    ASSERT_TRUE(t.read({"ball1 a 0 0 0 0 0 0 1 0.4"}).ok());
    EXPECT_FALSE(t.model().conductors[1].isolated);
    EXPECT_EQ(t.model().conductors[1].charge, 0);
}

TEST(IsolatedConductor, ListingWritesTheChargeBackAndReadsTheSameSystem) {
    TestSystem t;
    ASSERT_TRUE(
        t.read({"ball1 a 0 0 0 10 0 0 1 0.4", "ball2 b 20 0 0 10 0 0 1 0.4", ".Q b 12.5", ".V a 7"}).ok());
    VectorSink listing;
    list_updated_system(t.model(), listing);
    ASSERT_EQ(listing.lines.size(), 4u);
    EXPECT_EQ(listing.lines[3], ".Q b 12.5");
    std::vector<std::string> again(listing.lines.begin() + 1, listing.lines.end());
    ASSERT_TRUE(t.read(again).ok());
    EXPECT_TRUE(t.model().conductors[2].isolated);
    EXPECT_EQ(t.model().conductors[2].charge, 12.5e-9L);
    EXPECT_FALSE(t.model().conductors[1].isolated);
}

TEST(IsolatedConductor, ClosedFormsOfOneAndTwoBalls) {
    const Real V = 1000, r = 0.01L, d = 0.2L;
    TestSystem t;
    // A neutral isolated ball beside a ball held at V: q2 = 0, q1 = V r1, and it floats at
    // q1/d = V r1/d (a voltage it had before its .Q line is forgotten).
    t.init({"ball1 a 0 0 0 0 0 0 1 0.4", "ball2 b 20 0 0 0 0 0 1 0.4", ".V a 1000", ".V b 500", ".Q b 0"});
    EXPECT_LT(relative(t.ev().potential_of(2), V * r / d), 1e-17L);
    EXPECT_EQ(t.ev().potential_of(1), V);
    EXPECT_LT(relative(t.Q(1), FOUR_PI_E0 * V * r), 1e-17L);
    EXPECT_LT(std::fabs(t.Q(2)), 1e-30L);
    EXPECT_TRUE(t.said("The object: b floats at       50.000000 V"));

    // Charged: [1/r 1/d; 1/d 1/r] [q1 q2] = [V phi] with q2 = Q/(4 pi e0) gives
    // q1 = (V - q2/d) r and phi = q1/d + q2/r.
    t.init({"ball1 a 0 0 0 0 0 0 1 0.4", "ball2 b 20 0 0 0 0 0 1 0.4", ".V a 1000", ".Q b 0.5"});
    const Real q2 = 0.5e-9L / FOUR_PI_E0, q1 = (V - q2 / d) * r;
    EXPECT_LT(relative(t.Q(1), q1 * FOUR_PI_E0), 1e-17L);
    EXPECT_LT(relative(t.Q(2), 0.5e-9L), 1e-17L);
    EXPECT_LT(relative(t.ev().potential_of(2), q1 / d + q2 / r), 1e-17L);

    // Alone, a ball of charge Q floats at Q/(4 pi e0 r).
    t.init({"ball1 c 0 0 0 0 0 0 1 0.4", ".Q c 1"});
    EXPECT_LT(relative(t.ev().potential_of(1), 1e-9L / (FOUR_PI_E0 * r)), 1e-17L);
    EXPECT_TRUE(t.said("The object: c floats at      898.755179 V"));

    // Charge sharing: two touching equal balls of one conductor carry Q/2 each.
    t.init({"ball1 c 0 0 0 0 0 0 1 0.4", "ball2 c 2 0 0 0 0 0 1 0.4", ".Q c 10"});
    EXPECT_LT(relative(t.Q(1), 5e-9L), 1e-17L);
    EXPECT_LT(relative(t.Q(2), 5e-9L), 1e-17L);

    // Only isolated conductors, all neutral: everything at 0 V, no charge anywhere.
    t.init({"ball1 a 0 0 0 0 0 0 1 0.4", "ball2 b 5 0 0 0 0 0 1 0.4", ".Q a 0", ".Q b 0"});
    EXPECT_EQ(t.ev().diagnostics.singular_pivot, 0);
    EXPECT_GT(t.ev().total_capacitance, 0);
    for (int i = 1; i <= 2; ++i)
        EXPECT_EQ(t.Q(i), 0);
    EXPECT_TRUE(t.said("The object: a floats at        0.000000 V"));
}

// The bordered system [P -E; E^T 0] [q; phi] = [V; Q/(4 pi e0)] by Gaussian elimination with
// partial pivoting, for balls given by centre and radius (m).
struct Ball {
    Real x, y, z, r;
    int conductor; // 0-based
};

std::vector<Real> solve_partitioned(const std::vector<Ball>& balls, const std::vector<bool>& isolated,
                                    const std::vector<Real>& value) {
    const int n = static_cast<int>(balls.size()), k = static_cast<int>(isolated.size());
    std::vector<int> slot(k, -1);
    int m = 0;
    for (int c = 0; c < k; ++c)
        if (isolated[c])
            slot[c] = m++;
    const int size = n + m;
    std::vector<std::vector<Real>> a(size, std::vector<Real>(size + 1, 0));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const Real dx = balls[i].x - balls[j].x, dy = balls[i].y - balls[j].y,
                       dz = balls[i].z - balls[j].z;
            a[i][j] = i == j ? 1 / balls[i].r : 1 / std::sqrt(dx * dx + dy * dy + dz * dz);
        }
        const int c = balls[i].conductor;
        if (isolated[c]) {
            a[i][n + slot[c]] = -1;
            a[n + slot[c]][i] = 1;
        } else {
            a[i][size] = value[c];
        }
    }
    for (int c = 0; c < k; ++c)
        if (isolated[c])
            a[n + slot[c]][size] = value[c] / FOUR_PI_E0;
    for (int col = 0; col < size; ++col) {
        int best = col;
        for (int row = col + 1; row < size; ++row)
            if (std::fabs(a[row][col]) > std::fabs(a[best][col]))
                best = row;
        std::swap(a[best], a[col]);
        for (int row = 0; row < size; ++row)
            if (row != col) {
                const Real f = a[row][col] / a[col][col];
                for (int l = col; l <= size; ++l)
                    a[row][l] -= f * a[col][l];
            }
    }
    std::vector<Real> out(size);
    for (int i = 0; i < size; ++i)
        out[i] = a[i][size] / a[i][i];
    return out; // q_1..q_n (C / 4 pi e0), then the potentials of the isolated conductors
}

TEST(IsolatedConductor, MixedSystemMatchesThePartitionedSolutionInEveryTier) {
    // Two held conductors and one isolated one of three balls.
    const std::vector<std::string> lines = {"ball1 p 0 0 0 0 0 0 1 0.4",
                                            "ball2 p 3 0 0 0 0 0 1.5 0.4",
                                            "ball3 m 0 6 0 0 0 0 1 0.4",
                                            "ball4 f 4 4 1 0 0 0 0.8 0.4",
                                            "ball5 f 6 4 0 0 0 0 1.2 0.4",
                                            "ball6 f 8 5 -1 0 0 0 0.5 0.4",
                                            ".V p 2000",
                                            ".V m -1500",
                                            ".Q f 0.75"};
    std::vector<Ball> balls = {{0, 0, 0, 0.01L, 0},          {0.03L, 0, 0, 0.015L, 0},
                               {0, 0.06L, 0, 0.01L, 1},      {0.04L, 0.04L, 0.01L, 0.008L, 2},
                               {0.06L, 0.04L, 0, 0.012L, 2}, {0.08L, 0.05L, -0.01L, 0.005L, 2}};
    const std::vector<Real> expected =
        solve_partitioned(balls, {false, false, true}, {2000, -1500, 0.75e-9L});
    for (SolverTier tier : {SolverTier::Fast, SolverTier::Exact, SolverTier::Reference}) {
        SCOPED_TRACE(static_cast<int>(tier));
        TestSystem t;
        t.session.workspace.requested_tier = tier;
        t.init(lines);
        ASSERT_EQ(t.model().sphere_count, 6);
        for (int i = 0; i < 6; ++i)
            EXPECT_LT(relative(t.Q(i + 1), expected[i] * FOUR_PI_E0), 1e-15L) << "sphere " << i + 1;
        EXPECT_LT(relative(t.ev().potential_of(3), expected[6]), 1e-15L);
        EXPECT_LT(relative(conductor_charge(t, 3), 0.75e-9L), 1e-17L);
        EXPECT_EQ(t.ev().potential_of(1), 2000);
    }
}

TEST(IsolatedConductor, JacobianEvaluatesEveryPerturbationWithTheChargesKept) {
    // Two balls sharing a charge: the pair is symmetric, so Az of each ball responds to its own
    // Az as the other's does, and a raised ball is pulled back.
    TestSystem t;
    const std::vector<std::string> lines = {"ball1 all -0.2 0 0 13.5 0 10 0.75 0.4",
                                            "ball2 all 0.2 0 0 13.5 180 10 0.75 0.4", ".Q all 20"};
    t.init(lines);
    run_calculate(t.session, RelaxationSettings{});
    const JacobianResult small = jacobian_with_report(t.session, JacobianSettings{});
    ASSERT_EQ(small.size, 4);
    EXPECT_LT(relative(small.entry(2, 2), small.entry(4, 4)), 1e-9L);
    EXPECT_LT(small.entry(2, 2), 0);
    EXPECT_LT(relative(conductor_charge(t, 1), 20e-9L), 1e-15L);

    // A large system: the low-rank perturbations of the parallel Jacobian assume fixed
    // voltages, so with isolated conductors they are not prepared (every column is a full
    // evaluation); held at voltages, the same system is.
    std::vector<std::string> grid = testing_support::hanging_balls(15, 14, true);
    t.init(grid);
    ASSERT_EQ(t.model().sphere_count, 210);
    PerturbationBase base;
    EXPECT_FALSE(base.prepare(t.model(), t.options(), t.ev(), MAX_PARALLEL_JACOBIAN_SPHERES));
    grid.resize(grid.size() - 2);
    t.init(grid);
    EXPECT_TRUE(base.prepare(t.model(), t.options(), t.ev(), MAX_PARALLEL_JACOBIAN_SPHERES));
}

} // namespace
} // namespace isolated_conductor_test
} // namespace ambrel
