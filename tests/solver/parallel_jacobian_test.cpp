// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Jacobians of large systems: the perturbations evaluated in parallel from the base state's
// factor and pair geometry against full evaluations of each perturbed state.
#include "../support/test_system.h"
#include "physics/evaluation.h"
#include "physics/perturbation.h"
#include "report/jacobian_report.h"
#include "solver/eigenvalues.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace ambrel {
namespace {

namespace fs = std::filesystem;
using testing_support::jacobian_with_report;
using testing_support::TestSystem;

// 15 x 14 balls of 3 mm, 0.1 g, on 10 cm strings from a 1.2 cm grid, at 3 kV; every third string
// starts turned (Ax 30, Az 8 degrees) so that turning Ax moves its ball too, and two balls
// overlap (the contact force).
std::vector<std::string> grid_description(int columns = 15, int rows = 14) {
    return testing_support::HangingBalls{.rows = rows,
                                         .columns = columns,
                                         .spacing = 1.2,
                                         .by_columns = true,
                                         .turned_every = 3,
                                         .moved_ball = 1}
        .lines();
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

    // Composites: the rotational forces sum each sphere's own force (its torque), while an
    // evaluation keeps only the object's share of the total; the perturbed ones start from the
    // spheres' own forces all the same. 25 cubes of 8 spheres in a row, tilted and turned.
    std::vector<std::string> cubes;
    for (int k = 0; k < 25; ++k)
        cubes.push_back("Cc" + std::to_string(k) + " all " + std::to_string(2.5 * k) + " 0 0 10 " +
                        std::to_string(20 * k) + " 10 1 2");
    cubes.push_back(".V all 3000");
    TestSystem plates;
    plates.init(cubes);
    ASSERT_EQ(plates.model().sphere_count, 200);
    PerturbationBase plate_base;
    ASSERT_TRUE(plate_base.prepare(plates.model(), plates.options(), plates.ev(), 1000));
    for (bool azimuth : {false, true}) {
        SystemModel model = plates.model();
        (azimuth ? model.objects[1].Az : model.objects[1].Ax) += 1e-4L;
        compute_positions(model, plates.options());
        Evaluation pev = plates.ev();
        ASSERT_TRUE(perturbed.evaluate(plate_base, model, plates.options(), pev));
        const Evaluation full = full_evaluation(model, plates.options());
        const Real scale = largest_abs(full.frz) + largest_abs(full.frx);
        for (int i : {8, 16, 200}) {
            EXPECT_NEAR(pev.frx[i], full.frx[i], 1e-12L * scale) << i << (azimuth ? " Az" : " Ax");
            EXPECT_NEAR(pev.frz[i], full.frz[i], 1e-12L * scale) << i << (azimuth ? " Az" : " Ax");
        }
    }

    // A few dozen spheres (the equilibrium finder's Jacobians), whose solves with the base factor
    // run in plain loops of their own: a perturbed evaluation that failed would fall back on a
    // full one and hide it but for the time.
    TestSystem small;
    small.init(grid_description(7, 7));
    PerturbationBase small_base;
    ASSERT_TRUE(small_base.prepare(small.model(), small.options(), small.ev(), 1000, 2));
    for (int object : {1, 25}) {
        SystemModel model = small.model();
        model.objects[object].Az += 1e-4L;
        compute_positions(model, small.options());
        Evaluation sev = small.ev();
        ASSERT_TRUE(perturbed.evaluate(small_base, model, small.options(), sev)) << object;
        const Evaluation full = full_evaluation(model, small.options());
        const Real q = largest_abs(full.Q), f = largest_abs(full.f_abs);
        for (int i = 1; i <= 49; ++i) {
            ASSERT_NEAR(sev.Q[i], full.Q[i], 1e-15L * q) << object << " " << i;
            ASSERT_NEAR(sev.fx[i], full.fx[i], 1e-15L * f) << object << " " << i;
        }
    }
}

// The fields of a CSV line without quoting of commas (none of these fields holds one).
std::vector<std::string> csv_fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ','))
        fields.push_back(field.size() >= 2 && field.front() == '"' ? field.substr(1, field.size() - 2)
                                                                   : field);
    return fields;
}

// 420 columns: the panel cuts every row and says so at its end; the CSV file holds them whole,
// and what it holds reads back as the very values of the result.
TEST(ParallelJacobian, TheWholeMatrixGoesToTheFileAndTheCutRowsSaySo) {
    TestSystem t;
    t.init(grid_description());
    t.sink.lines.clear();
    JacobianPrint print;
    print.plain = true;
    const JacobianResult r = jacobian_with_report(t.session, {}, {}, print);
    ASSERT_TRUE(r.computed);
    const int N = r.size;
    ASSERT_EQ(N, 420);
    EXPECT_EQ(r.parallel_columns, r.evaluations); // every perturbation on the parallel path
    for (int row = 1; row <= N; ++row) {
        const std::string& line = t.sink.lines[row];
        ASSERT_EQ(line.size(), LINE_LENGTH) << row;
        EXPECT_EQ(line.substr(LINE_LENGTH - print.cut_mark.size()), print.cut_mark) << row;
    }

    const fs::path path =
        fs::temp_directory_path() / ("ambrel-jacobian-" + std::to_string(::getpid()) + ".csv");
    ASSERT_TRUE(save_jacobian_csv(path.string(), r));
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);)
        rows.push_back(csv_fields(line));
    fs::remove(path);
    const std::size_t m = r.stability_coordinates.size();
    ASSERT_EQ(m, 420u); // no fixed object
    ASSERT_EQ(rows.size(), 1 + 1 + 420 + 1 + m + 1 + m);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"kind", "name", "values (1/s)"}));
    ASSERT_EQ(rows[1].size(), 2u + N);
    EXPECT_EQ(rows[1][2], "Ax 1");
    EXPECT_EQ(rows[1][2 + N - 1], "Az 210");
    auto value = [](const std::string& text) { return std::strtold(text.c_str(), nullptr); };
    for (int i = 1; i <= N; ++i) {
        const std::vector<std::string>& row = rows[1 + i];
        ASSERT_EQ(row.size(), 2u + N) << i;
        ASSERT_EQ(row[0], "update law");
        for (int j = 1; j <= N; ++j)
            ASSERT_EQ(value(row[1 + j]), r.entry(i, j)) << i << " " << j;
    }
    const std::size_t stability = 2 + N;
    ASSERT_EQ(rows[stability][0], "columns");
    for (std::size_t i = 0; i < m; ++i) {
        EXPECT_EQ(rows[stability][2 + i], r.stability_coordinates[i]);
        const std::vector<std::string>& row = rows[stability + 1 + i];
        ASSERT_EQ(row.size(), 2 + m);
        EXPECT_EQ(row[1], r.stability_coordinates[i]);
        for (std::size_t j = 0; j < m; ++j)
            ASSERT_EQ(value(row[2 + j]), r.stability_matrix[i * m + j]) << i << " " << j;
    }
    const std::size_t eigen = stability + 1 + m;
    EXPECT_EQ(rows[eigen], (std::vector<std::string>{"columns", "eigenvalue", "real", "imaginary", "error"}));
    for (std::size_t k = 0; k < m; ++k) {
        const std::vector<std::string>& row = rows[eigen + 1 + k];
        ASSERT_EQ(row.size(), 5u);
        EXPECT_EQ(row[1], std::to_string(k + 1));
        EXPECT_EQ(value(row[2]), r.eigenvalues[k].value.real());
        EXPECT_EQ(value(row[3]), r.eigenvalues[k].value.imag());
        EXPECT_EQ(value(row[4]), r.eigenvalues[k].error);
    }
    // A folder that does not exist: a message naming the file, and nothing written.
    const Status failed = save_jacobian_csv("/nonexistent-ambrel/j.csv", r);
    EXPECT_FALSE(failed);
    EXPECT_NE(failed.message().find("/nonexistent-ambrel/j.csv"), std::string::npos);
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
        run_calculate(t.session, settings);
        const SystemModel model = t.model();
        const JacobianResult first = jacobian_with_report(t.session, {});
        const JacobianResult second = jacobian_with_report(t.session, {});
        ASSERT_TRUE(first.computed && second.computed);
        EXPECT_EQ(first.matrix, second.matrix);
        EXPECT_EQ(first.stability_matrix, second.stability_matrix);
        ASSERT_EQ(first.eigenvalues.size(), second.eigenvalues.size());
        for (std::size_t k = 0; k < first.eigenvalues.size(); ++k) {
            EXPECT_EQ(first.eigenvalues[k].value, second.eigenvalues[k].value) << k;
            EXPECT_EQ(first.eigenvalues[k].error, second.eigenvalues[k].error) << k;
        }
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
        const JacobianResult again = jacobian_with_report(fresh.session, {});
        ASSERT_EQ(again.matrix.size(), first.matrix.size());
        Real largest = 0;
        for (const Real x : first.matrix)
            largest = std::max(largest, std::fabs(x));
        for (std::size_t k = 0; k < first.matrix.size(); ++k)
            ASSERT_NEAR(again.matrix[k], first.matrix[k], 1e-12L * largest) << k;
        // So are the eigenvalues, well within their errors.
        ASSERT_EQ(again.eigenvalues.size(), first.eigenvalues.size());
        for (std::size_t k = 0; k < first.eigenvalues.size(); ++k)
            EXPECT_LE(std::abs(again.eigenvalues[k].value - first.eigenvalues[k].value),
                      1e-3L * first.eigenvalues[k].error)
                << k;
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
    const JacobianResult before = jacobian_with_report(t.session, {});
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
    const JacobianResult during = jacobian_with_report(t.session, {}, stopping);
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
    EXPECT_THROW(jacobian_with_report(t.session, {}, throwing), std::runtime_error);
    EXPECT_TRUE(jacobian_with_report(t.session, {}).computed);
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
            const JacobianResult r = jacobian_with_report(t.session, {}, observer);
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
