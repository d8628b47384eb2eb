// Jacobians of large systems: the perturbations evaluated in parallel from the base state's
// factor and pair geometry against full evaluations of each perturbed state.
#include "../support/test_system.h"
#include "physics/evaluation.h"
#include "physics/perturbation.h"
#include "solver/eigenvalues.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace ambrel {
namespace {

using testing_support::TestSystem;

// 15 x 14 balls of 3 mm, 0.1 g, on 10 cm strings from a 1.2 cm grid, at 3 kV; every third string
// starts turned (Ax 30, Az 8 degrees) so that turning Ax moves its ball too, and two balls
// overlap (the contact force).
std::vector<std::string> grid_description() {
    std::vector<std::string> lines;
    for (int i = 0; i < 15; ++i)
        for (int j = 0; j < 14; ++j) {
            const int k = i * 14 + j;
            const bool turned = k % 3 == 0;
            lines.push_back("Bb" + std::to_string(k + 1) + " all " + std::to_string(1.2 * i) + " " +
                            std::to_string(1.2 * j + (k == 1 ? -0.7 : 0)) + " 0 10 " +
                            (turned ? "30 8" : "0 0") + " 0.3 0.1");
        }
    lines.push_back(".V all 3000");
    return lines;
}

// Charges, forces and rotational forces of the model at its angles, in full and fresh, as an
// evaluation of the session computes them.
Evaluation full_evaluation(SystemModel model, const Options& options) {
    compute_positions(model, options);
    EvaluationWorkspace ws;
    Evaluation ev;
    compute_charges(model, options, ws, ev);
    compute_forces(model, ev, &ws); // as the session computes them
    compute_rotational_forces(model, options, ev);
    return ev;
}

Real largest_abs(const std::vector<Real>& v, std::size_t from = 1) {
    Real m = 0;
    for (std::size_t i = from; i < v.size(); ++i)
        m = std::max(m, std::fabs(v[i]));
    return m;
}

TEST(ParallelJacobian, PerturbedStatesMatchFullEvaluations) {
    TestSystem t;
    t.init(grid_description());
    const int n = t.model().sphere_count;
    ASSERT_EQ(n, 210);
    PerturbationBase base;
    ASSERT_TRUE(base.prepare(t.model(), t.options(), t.ev(), 1000));
    PerturbedEvaluation perturbed;
    for (int object : {1, 2, 4, 100, 210}) {
        for (bool azimuth : {false, true}) {
            SCOPED_TRACE("object " + std::to_string(object) + (azimuth ? " Az" : " Ax"));
            SystemModel model = t.model();
            (azimuth ? model.objects[object].Az : model.objects[object].Ax) += 1e-4L;
            compute_positions(model, t.options());
            Evaluation ev = t.ev();
            ASSERT_TRUE(perturbed.evaluate(base, model, t.options(), ev));
            const Evaluation full = full_evaluation(model, t.options());
            const Real q = largest_abs(full.Q), f = largest_abs(full.f_abs);
            for (int i = 1; i <= n; ++i) {
                ASSERT_NEAR(ev.Q[i], full.Q[i], 1e-15L * q) << i;
                ASSERT_NEAR(ev.fx[i], full.fx[i], 1e-15L * f) << i;
                ASSERT_NEAR(ev.fy[i], full.fy[i], 1e-15L * f) << i;
                ASSERT_NEAR(ev.fz[i], full.fz[i], 1e-15L * f) << i;
            }
            // The change of the forces, what a Jacobian is made of, to 1e-12 of its size.
            Real change = 0;
            for (int i = 1; i <= n; ++i)
                change = std::max(change, std::fabs(full.fx[i] - t.ev().fx[i]));
            if (azimuth || object % 3 == 1) {
                ASSERT_GT(change, 0);
            }
            for (int i = 1; i <= n; ++i)
                ASSERT_NEAR(ev.fx[i] - t.ev().fx[i], full.fx[i] - t.ev().fx[i], 1e-12L * change + 1e-30L)
                    << i;
        }
    }
    // A string that hangs straight down and turns about the vertical moves nothing: the state is
    // the base state itself.
    SystemModel still = t.model();
    still.objects[2].Ax += 1e-4L;
    compute_positions(still, t.options());
    Evaluation ev = t.ev();
    ASSERT_TRUE(perturbed.evaluate(base, still, t.options(), ev));
    EXPECT_EQ(ev.Q, t.ev().Q);
    EXPECT_EQ(ev.frx, t.ev().frx);
}

TEST(ParallelJacobian, ColumnsMatchFullDifferences) {
    TestSystem t;
    t.init(grid_description());
    const SystemModel model = t.model();
    const Evaluation unperturbed = t.ev();
    JacobianSettings settings;
    const JacobianResult r = compute_jacobian(t.session, settings);
    ASSERT_TRUE(r.computed);
    const int N = r.size;
    ASSERT_EQ(N, 420);
    EXPECT_EQ(r.parallel_columns, N - 1); // all but the last, which the session keeps
    const Real h = settings.angle_variation, dt = settings.time_step;
    for (int column : {1, 2, 3, 8, 199, 200, 331, 419, 420}) {
        SCOPED_TRACE("column " + std::to_string(column));
        SystemModel turned = model;
        Object& moved = turned.objects[(column + 1) / 2];
        (column % 2 == 1 ? moved.Ax : moved.Az) += h;
        const Evaluation ev = full_evaluation(turned, t.options());
        std::vector<Real> mine(static_cast<std::size_t>(N));
        for (int k = 1; k <= model.object_count; ++k) {
            const Object& row = turned.objects[k];
            const int i = row.last();
            const Real K = dt / (2 * 1e-4L * row.L); // 0.1 g
            mine[2 * k - 2] = (ev.frx[i] - unperturbed.frx[i]) * limited_cosec(row.Az) * K / h;
            mine[2 * k - 1] = (ev.frz[i] - unperturbed.frz[i]) * K / h;
        }
        const Real largest = largest_abs(mine, 0);
        ASSERT_GT(largest, 0);
        for (int row = 1; row <= N; ++row)
            EXPECT_NEAR(r.entry(row, column), mine[row - 1], 1e-12L * largest) << "row " << row;
    }
}

// A Jacobian leaves the session as it found it: a second one gives the same bytes, and both
// equal the Jacobian of the same angles read afresh; on the parallel path (the grid, whose base
// forces the perturbations start from) and on the serial one (isolated conductors).
TEST(ParallelJacobian, ASecondJacobianIsTheFirstAndThatOfAFreshSession) {
    for (const auto& description : {grid_description(), testing_support::hanging_balls(6, 6, true)}) {
        TestSystem t;
        t.init(description);
        RelaxationSettings settings;
        settings.max_steps = 3;
        run_calculate(t.session, description, settings);
        const SystemModel model = t.model();
        const JacobianResult first = compute_jacobian(t.session, {});
        const JacobianResult second = compute_jacobian(t.session, {});
        ASSERT_TRUE(first.computed && second.computed);
        EXPECT_EQ(first.matrix, second.matrix);
        EXPECT_EQ(t.model().objects[7].Az, model.objects[7].Az);
        EXPECT_TRUE(t.ev().belongs_to(t.model()));

        // The same angles in a new session, evaluated afresh.
        TestSystem fresh;
        fresh.init(description);
        for (int k = 1; k <= model.object_count; ++k) {
            fresh.o(k).Ax = model.objects[k].Ax;
            fresh.o(k).Az = model.objects[k].Az;
        }
        fresh.session.evaluate();
        const JacobianResult again = compute_jacobian(fresh.session, {});
        ASSERT_EQ(again.matrix.size(), first.matrix.size());
        Real largest = 0;
        for (const Real x : first.matrix)
            largest = std::max(largest, std::fabs(x));
        for (std::size_t k = 0; k < first.matrix.size(); ++k)
            ASSERT_NEAR(again.matrix[k], first.matrix[k], 1e-12L * largest) << k;
    }
}

// The host's callbacks run on the command's thread outside any parallel region, between batches
// of columns: a Stop before or during the parallel columns ends the command as stopped, and an
// exception of a callback leaves the command (not the process) and the session usable.
TEST(ParallelJacobian, HostCallbacksStopOrFailTheCommandOnItsOwnThread) {
    TestSystem t;
    t.init(grid_description());
    const std::thread::id command_thread = std::this_thread::get_id();

    t.stop.request();
    t.sink.lines.clear();
    const JacobianResult before = compute_jacobian(t.session, {});
    EXPECT_TRUE(before.stopped);
    EXPECT_FALSE(before.computed);
    EXPECT_EQ(before.parallel_columns, 0);
    EXPECT_TRUE(t.said("Jacobian matrix stopped before its end: nothing to show."));
    t.stop.clear();

    int calls = 0;
    bool on_team = false;
    RunObserver stopping;
    stopping.progress = [&](int, int) {
        on_team = on_team || omp_in_parallel() || std::this_thread::get_id() != command_thread;
        if (++calls == 2) // after the first batch of columns
            t.stop.request();
    };
    const JacobianResult during = compute_jacobian(t.session, {}, stopping);
    EXPECT_TRUE(during.stopped);
    EXPECT_FALSE(during.computed);
    EXPECT_GT(during.parallel_columns, 0);
    EXPECT_LT(during.parallel_columns, 419); // not all of the 420 - 1
    EXPECT_FALSE(on_team);
    t.stop.clear();

    RunObserver throwing;
    calls = 0;
    throwing.progress = [&](int, int) {
        if (++calls == 2)
            throw std::runtime_error("the host failed");
    };
    EXPECT_THROW(compute_jacobian(t.session, {}, throwing), std::runtime_error);
    EXPECT_TRUE(compute_jacobian(t.session, {}).computed);
}

// A switch turned during a Jacobian (as the window's menu may be) applies to the next command:
// the matrix is the one of the switches as the command began, on the parallel path and on the
// serial one.
TEST(ParallelJacobian, SwitchesTurnedDuringTheCommandApplyToTheNextOne) {
    const std::vector<std::string> composites{"Ccube A 0 0 0 10 20 25 1 8", "Bb B 4 0 0 10 160 20 1 1",
                                              ".V A 2000", ".V B -1000"};
    for (const auto& description : {grid_description(), composites}) {
        auto jacobian = [&](bool correct, bool turn_during) {
            TestSystem t;
            t.options().set(Option::CorrectRotationForces, correct);
            t.init(description);
            RunObserver observer;
            observer.progress = [&](int, int) {
                if (turn_during)
                    t.options().toggle(Option::CorrectRotationForces);
            };
            const JacobianResult r = compute_jacobian(t.session, {}, observer);
            EXPECT_TRUE(r.computed);
            return r.matrix;
        };
        const std::vector<Real> on = jacobian(true, false);
        EXPECT_NE(on, jacobian(false, false)); // the switch matters to these matrices
        EXPECT_EQ(jacobian(true, true), on);
    }
}

// From LAPACK_EIGENVALUES_MIN_SIZE on the eigenvalues come from LAPACK: B = S D S with S an
// orthogonal reflection and D of known eigenvalues, real and in complex pairs.
TEST(ParallelJacobian, LargeMatricesGetTheirEigenvaluesFromLapack) {
    const int n = LAPACK_EIGENVALUES_MIN_SIZE + 40;
    std::vector<Real> D(static_cast<std::size_t>(n) * n, 0), v(n);
    std::vector<Complex> expected;
    for (int i = 0; i < n;) {
        if (i % 5 == 0 && i + 1 < n) {
            const Real re = -1 - 0.01L * i, im = 0.5L + 0.001L * i;
            D[i * n + i] = D[(i + 1) * n + i + 1] = re;
            D[i * n + i + 1] = im;
            D[(i + 1) * n + i] = -im;
            expected.emplace_back(re, im);
            expected.emplace_back(re, -im);
            i += 2;
        } else {
            D[i * n + i] = 2 - 0.03L * i;
            expected.emplace_back(D[i * n + i], 0);
            ++i;
        }
    }
    Real vv = 0;
    for (int i = 0; i < n; ++i) {
        v[i] = std::sin(0.7L * i + 0.3L);
        vv += v[i] * v[i];
    }
    // B = S D S with S = I - 2 v v^T / v^T v (S = S^-1).
    std::vector<Real> SD(D.size()), B(D.size());
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            Real sum = 0;
            for (int k = 0; k < n; ++k)
                sum += ((i == k ? 1 : 0) - 2 * v[i] * v[k] / vv) * D[k * n + j];
            SD[i * n + j] = sum;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            Real sum = 0;
            for (int k = 0; k < n; ++k)
                sum += SD[i * n + k] * ((k == j ? 1 : 0) - 2 * v[k] * v[j] / vv);
            B[i * n + j] = sum;
        }
    const auto got = eigenvalues(B, n);
    ASSERT_TRUE(got.has_value());
    ASSERT_EQ(got->size(), expected.size());
    auto order = [](Complex a, Complex b) {
        return a.real() != b.real() ? a.real() < b.real() : a.imag() < b.imag();
    };
    std::vector<Complex> g = *got;
    std::sort(g.begin(), g.end(), order);
    std::sort(expected.begin(), expected.end(), order);
    for (std::size_t i = 0; i < g.size(); ++i) {
        EXPECT_NEAR(g[i].real(), expected[i].real(), 1e-12L) << i;
        EXPECT_NEAR(g[i].imag(), expected[i].imag(), 1e-12L) << i;
    }
}

} // namespace
} // namespace ambrel
