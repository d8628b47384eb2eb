// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Warm-started solves: the refinement from an earlier factor and solution must give what a fresh
// solve gives, to 1e-15, and must give way to a fresh solve (and its choice of tier) wherever the
// earlier factor is no guide: large jumps, indefinite and singular matrices.
#include "physics/dense_solver.h"
#include "physics/evaluation.h"
#include "solver/relaxation.h"

#include "../support/test_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace ambrel {
// Its own namespace: the folder's tests are compiled in unity batches.
namespace warm_start_test {
namespace {

struct Ball {
    Real x, y, z, r;
};

// Elastance (1/m): 1/r on the diagonal, 1/d between centres, d floored at 1e-6 m.
void fill_elastance(const std::vector<Ball>& balls, Real* P) {
    const std::size_t n = balls.size();
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            const Real dx = balls[i].x - balls[j].x, dy = balls[i].y - balls[j].y,
                       dz = balls[i].z - balls[j].z;
            P[i * n + j] =
                i == j ? 1 / balls[i].r : 1 / std::max(std::sqrt(dx * dx + dy * dy + dz * dz), 1e-6L);
        }
}

// A 16 x 16 grid of 2 mm balls, 1 cm apart, on alternating voltages: 256 spheres, enough for
// warm starts.
std::vector<Ball> grid() {
    std::vector<Ball> balls;
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j)
            balls.push_back({0.01L * i, 0.01L * j, 0, 0.002L});
    return balls;
}

std::vector<Real> voltages(std::size_t n) {
    std::vector<Real> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = i % 2 ? 3000.0L : -1000.0L;
    return v;
}

Real relative_difference(const std::vector<Real>& a, const std::vector<Real>& b) {
    Real d = 0, m = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        d = std::max(d, std::fabs(a[i] - b[i]));
        m = std::max(m, std::fabs(b[i]));
    }
    return d / m;
}

// Solves the same matrix in a solver that carries warm starts and in a fresh one.
struct Pair {
    DenseSymmetricSolver warm_solver{400}, fresh_solver{400};
    int warm_count = 0;

    struct Both {
        SolveOutcome warm, fresh;
        std::vector<Real> xw, xf;
    };

    Both solve(const std::vector<Ball>& balls, SolveStart start) {
        const int n = static_cast<int>(balls.size());
        fill_elastance(balls, warm_solver.matrix(n));
        fill_elastance(balls, fresh_solver.matrix(n));
        const std::vector<Real> v = voltages(balls.size());
        Both b;
        b.xw.assign(balls.size(), -7);
        b.xf.assign(balls.size(), -7);
        b.warm = warm_solver.solve(n, v.data(), b.xw.data(), SolverTier::Fast, start);
        b.fresh = fresh_solver.solve(n, v.data(), b.xf.data(), SolverTier::Fast, SolveStart::Fresh);
        warm_count += b.warm.warm ? 1 : 0;
        return b;
    }
};

TEST(WarmStart, AnchoredSolvesStartFromTheBaseSolution) {
    std::vector<Ball> balls = grid();
    Pair pair;
    pair.solve(balls, SolveStart::Fresh);
    // Each perturbation moves one ball from the base state and back.
    for (std::size_t k = 0; k < balls.size(); k += 17) {
        std::vector<Ball> moved = balls;
        moved[k].x += 1e-4L;
        const Pair::Both b = pair.solve(moved, SolveStart::WarmFromAnchor);
        EXPECT_TRUE(b.warm.warm);
        EXPECT_LT(relative_difference(b.xw, b.xf), 1e-15L);
    }
    // The anchor is still the base state: solving it again is immediate and exact.
    const Pair::Both b = pair.solve(balls, SolveStart::WarmFromAnchor);
    EXPECT_TRUE(b.warm.warm);
    EXPECT_LE(b.warm.refinement_steps, 2);
    EXPECT_LT(relative_difference(b.xw, b.xf), 1e-17L);
}

TEST(WarmStart, GivesWayWhereTheMatrixTurnsIndefiniteOrSingular) {
    std::vector<Ball> balls = grid();
    // Two balls of 1 um: once at one place their rows are equal, P is singular.
    balls[100].r = balls[101].r = 1e-6L;
    Pair pair;
    pair.solve(balls, SolveStart::Fresh);
    bool saw_exact = false, saw_singular = false;
    const Real start = balls[101].y, target = balls[100].y;
    for (int step = 1; step <= 12; ++step) {
        // Ball 101 slides onto ball 100, ever closer, then sits on it.
        balls[101].y = step >= 10 ? target : target + (start - target) * std::pow(0.2L, step);
        const Pair::Both b = pair.solve(balls, SolveStart::Warm);
        SCOPED_TRACE("step " + std::to_string(step));
        EXPECT_EQ(b.warm.singular_pivot, b.fresh.singular_pivot);
        EXPECT_EQ(b.warm.tier_used, b.fresh.tier_used);
        if (b.fresh.tier_used == SolverTier::Exact) {
            saw_exact = true;
            EXPECT_FALSE(b.warm.warm);
        }
        if (b.fresh.singular_pivot != 0) {
            saw_singular = true;
            EXPECT_EQ(b.fresh.singular_pivot, 102);
            EXPECT_TRUE(std::all_of(b.xw.begin(), b.xw.end(), [](Real q) { return q == 0; }));
        } else {
            EXPECT_LT(relative_difference(b.xw, b.xf), 1e-15L);
        }
    }
    EXPECT_TRUE(saw_exact);
    EXPECT_TRUE(saw_singular);
    // After the singular matrix the next one starts fresh, and warm starts resume.
    balls[101].y = start;
    const Pair::Both again = pair.solve(balls, SolveStart::Warm);
    EXPECT_EQ(again.warm.singular_pivot, 0);
    EXPECT_LT(relative_difference(again.xw, again.xf), 1e-15L);
}

TEST(WarmStart, SmallSystemsAlwaysStartFresh) {
    std::vector<Ball> balls = grid();
    balls.resize(WARM_START_MIN_SIZE - 1);
    Pair pair;
    pair.solve(balls, SolveStart::Fresh);
    balls[3].x += 1e-6L;
    const Pair::Both b = pair.solve(balls, SolveStart::Warm);
    EXPECT_FALSE(b.warm.warm);
    EXPECT_EQ(b.xw, b.xf); // the same computation to the last bit
}

// Relaxation runs of large systems: every step's charges, solved warm from the step before,
// against a fresh solve of the same positions. The cases: hanging balls held at one voltage;
// rows of them held at two voltages or isolated with a fixed charge each (the warm solves must
// keep those charges); and hanging balls whose radii halve every ten steps, a matrix the last
// factor does not describe, which must be factored afresh.
struct WarmRun {
    const char* name;
    std::vector<std::string> lines;
    int shrink_every = 0; // steps between two halvings of every radius (0: none)
};

void PrintTo(const WarmRun& run, std::ostream* out) {
    *out << run.name;
}

class WarmRelaxation : public testing::TestWithParam<WarmRun> {};

TEST_P(WarmRelaxation, EveryStepAgreesWithAFreshSolve) {
    using testing_support::TestSystem;
    constexpr int STEPS = 40;
    const WarmRun& run = GetParam();
    TestSystem t;
    t.init(run.lines);
    const int n = t.model().sphere_count;
    ASSERT_GE(n, WARM_START_MIN_SIZE);
    // The isolated conductors and the charges they must keep.
    std::vector<std::pair<int, Real>> isolated;
    for (int c = 1; c <= t.model().conductor_count; ++c)
        if (t.model().conductors[c].isolated)
            isolated.emplace_back(c, t.model().conductors[c].charge);
    EvaluationWorkspace fresh;
    Evaluation reference;
    int steps = 0, warm = 0, jumps = 0;
    Real worst = 0, worst_kept = 0;
    RunObserver observer;
    observer.step_done = [&](int step, Real) {
        ++steps;
        warm += t.session.workspace.last_solve_warm ? 1 : 0;
        compute_charges(t.model(), t.options(), fresh, reference);
        std::vector<Real> a(t.ev().Q.begin() + 1, t.ev().Q.begin() + 1 + n);
        std::vector<Real> b(reference.Q.begin() + 1, reference.Q.begin() + 1 + n);
        worst = std::max({worst, relative_difference(a, b),
                          std::fabs(t.ev().total_capacitance - reference.total_capacitance) /
                              reference.total_capacitance});
        for (const auto& [c, charge] : isolated) {
            Real sum = 0;
            for (int i = 1; i <= n; ++i)
                if (t.s(i).conductor == c)
                    sum += t.Q(i);
            worst_kept = std::max(worst_kept, std::fabs(sum - charge) / std::fabs(charge));
            worst = std::max(worst, std::fabs(t.ev().potential_of(c) - reference.potential_of(c)) /
                                        std::fabs(reference.potential_of(c)));
        }
        if (run.shrink_every != 0 && step % run.shrink_every == 0) {
            for (int i = 1; i <= n; ++i)
                t.s(i).r *= 0.5L;
            ++jumps;
        }
    };
    RelaxationSettings settings;
    settings.max_steps = STEPS;
    settings.force_error_uN = 0; // every step
    run_calculate(t.session, settings, observer);
    EXPECT_EQ(steps, STEPS);
    EXPECT_LT(worst, 1e-15L);
    EXPECT_LT(worst_kept, 1e-15L);
    // The drift is solved warm (but for a step now and then whose refinement is slow to
    // contract); each jump is factored afresh.
    EXPECT_GE(warm, STEPS * 3 / 4 - jumps);
    if (jumps > 0) {
        EXPECT_LE(warm, STEPS - jumps);
    }
    // The session's own solves start fresh again after the run.
    EXPECT_EQ(t.session.workspace.start, SolveStart::Fresh);
}

INSTANTIATE_TEST_SUITE_P(
    LargeSystems, WarmRelaxation,
    testing::Values(WarmRun{"HeldAtOneVoltage", testing_support::hanging_balls(20, 20, false)},
                    WarmRun{"IsolatedRows", testing_support::hanging_balls(16, 14, true)},
                    WarmRun{"ShrinkingBalls", testing_support::hanging_balls(16, 16, false), 10}),
    [](const testing::TestParamInfo<WarmRun>& info) { return std::string(info.param.name); });

} // namespace
} // namespace warm_start_test
} // namespace ambrel
