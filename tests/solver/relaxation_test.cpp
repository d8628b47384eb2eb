// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The relaxation loop and the stability Jacobian on systems with known answers.
#include "../support/test_system.h"
#include "description/reader.h"
#include "physics/evaluation.h"
#include "report/capacitance_report.h"
#include "report/jacobian_report.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/stability.h"
#include "text/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace ambrel {
namespace {

using testing_support::FOUR_PI_E0;
using testing_support::jacobian_with_report;
using testing_support::TestSystem;

struct System : testing_support::TestSystem {
    std::vector<std::string> description;
    explicit System(std::vector<std::string> lines) : description(std::move(lines)) {}
    // Calculate as the window runs it: the description read first when the system is not
    // initialised (`reading` keeps what that gave).
    RelaxationResult calculate(const RelaxationSettings& settings = {}, const RunObserver& observer = {}) {
        reading = read_if_needed(session, description, observer);
        return run_calculate(session, settings, observer);
    }
    std::optional<InitializeResult> reading;
    // Initialize with the system's own description.
    InitializeResult init() { return TestSystem::init(description); }
};

TEST(Relaxation, DefaultDescriptionSettlesInASymmetricSquare) {
    System sys(default_description());
    RelaxationSettings settings;
    const auto result = sys.calculate(settings);
    EXPECT_EQ(result.end, RunEnd::Converged);
    EXPECT_LT(result.error, 0.0001e-6L);
    EXPECT_TRUE(sys.reading.has_value());
    EXPECT_EQ(sys.sink.lines.back(), "Steps=" + std::to_string(result.steps));
    // Neighbours' surfaces about 1 cm apart, all four alike.
    const auto gap = [&](int a, int b) {
        return std::hypot(sys.s(a).x - sys.s(b).x, sys.s(a).y - sys.s(b).y, sys.s(a).z - sys.s(b).z) -
               sys.s(a).r - sys.s(b).r;
    };
    EXPECT_NEAR(gap(1, 2), 0.01L, 0.001L);
    EXPECT_NEAR(gap(1, 2), gap(2, 4), 1e-9L);
    EXPECT_NEAR(gap(2, 4), gap(4, 3), 1e-9L);
    EXPECT_NEAR(gap(4, 3), gap(3, 1), 1e-9L);
    for (int i = 2; i <= 4; ++i)
        EXPECT_NEAR(sys.object_of(i).Az, sys.object_of(1).Az, 1e-9L);
}

// Two equal balls on strings of length L from points 4 cm apart, at voltage V: at equilibrium
// tan Az = F / (m g), F the electric repulsion computed from the converged charges.
TEST(Relaxation, TwoBallsReachTanAzEqualsForceOverWeight) {
    for (bool time_domain : {false, true}) {
        System sys({"Ba all -2 0 0 10 180 10 0.5 0.2", "Bb all 2 0 0 10 0 10 0.5 0.2", ".V all 15000"});
        sys.options().set(Option::SpeedSimulation, time_domain);
        RelaxationSettings settings;
        settings.max_steps = 20000;
        settings.force_error_uN = 1e-6L;
        settings.damping = 0.002L; // below 2 m / dt, so the speeds are damped, not amplified
        const auto result = sys.calculate(settings);
        ASSERT_EQ(result.end, RunEnd::Converged) << time_domain;
        const Sphere& b = sys.s(2);
        const Real az = sys.o(2).Az;
        // Force between the two charged spheres along x, independently of the program's sum.
        const Real d = b.x - sys.s(1).x;
        const Real coulomb = sys.Q(2) * sys.Q(1) / (FOUR_PI_E0 * d * d);
        EXPECT_NEAR(std::tan(az), coulomb / (0.0002L * 9.81L), 1e-5L) << time_domain;
        EXPECT_NEAR(sys.o(1).Az, az, 1e-9L);
        EXPECT_GT(az, 0.05L);
        EXPECT_LT(az, PI / 2);
    }
}

TEST(Relaxation, StepCountsToleranceAndFixedSystems) {
    // A fixed system has no rotational force: one step with any positive tolerance.
    System fixed({"Ba A 0 0 0 0 0 0 1 1", "Bb A 3 0 0 0 0 0 1 1", ".V A 100"});
    RelaxationSettings settings;
    EXPECT_EQ(fixed.calculate(settings).steps, 1);
    settings.force_error_uN = 0;
    settings.max_steps = 7;
    const auto limited = fixed.calculate(settings);
    EXPECT_EQ(limited.steps, 7);
    EXPECT_EQ(limited.end, RunEnd::StepLimit);
    for (int max_steps : {0, 1}) {
        settings.max_steps = max_steps;
        EXPECT_EQ(fixed.calculate(settings).steps, 1) << max_steps;
    }
    EXPECT_TRUE(fixed.said("Steps=1, Error=  0.000000"));

    // An uncharged ball hanging straight down is at rest: one step, with the default options.
    System at_rest({"b1 c 0 0 0 10 0 0 1 1", ".V c 0"});
    EXPECT_EQ(at_rest.calculate({}).steps, 1);
    EXPECT_EQ(at_rest.ev().frz[1], 0);
}

TEST(Relaxation, MasslessBallUsesTheReplacementMass) {
    System sys({"Ba A 0 0 0 10 0 30 1 0"});
    RelaxationSettings settings;
    settings.max_steps = 1;
    sys.calculate(settings);
    // Start: only gravity, which is 0 for a massless ball: one step changes nothing. Then with a
    // charge neighbour the step size follows K = dt^2 / (2e-5 L).
    System charged({"Ba A 0 0 0 10 0 30 1 0", "Bb A 10 0 -8.66 0 0 0 1 1", ".V A 3000"});
    charged.options().set(Option::ShowErrors, false);
    charged.init();
    const Real frz = charged.frz(1);
    const Real az0 = charged.object_of(1).Az;
    charged.calculate(settings);
    const Real K = 0.05L * 0.05L / (2e-5L * 0.1L);
    EXPECT_NEAR(charged.object_of(1).Az, az0 + frz * K, 1e-15L);
}

TEST(Relaxation, TimeDomainFirstStepKeepsTheStartingAngles) {
    System sys({"Ba A 0 0 0 10 0 30 1 1"});
    sys.options().set(Option::SpeedSimulation, true);
    RelaxationSettings settings;
    settings.max_steps = 1;
    sys.calculate(settings);
    EXPECT_EQ(sys.object_of(1).Az, 30 * PI / 180);
    EXPECT_NE(sys.object_of(1).speed_Az, 0);
}

TEST(Relaxation, DivergingSystemStopsWithTheMessage) {
    // A tiny time step the wrong way round: a huge dt makes the fixed-point law overshoot.
    System sys({"Ba A 0 0 0 10 0 30 1 1"});
    RelaxationSettings settings;
    settings.time_step = 1e4L;
    const auto result = sys.calculate(settings);
    EXPECT_EQ(result.end, RunEnd::TooLargeAngles);
    EXPECT_TRUE(sys.said("Too large angles. The system may be unstable"));
    EXPECT_EQ(sys.sink.lines.back(), "Steps=" + std::to_string(result.steps));
}

TEST(Relaxation, StopFromTheObserverEndsAfterTheCurrentStep) {
    System sys(default_description());
    RunObserver observer;
    int last_step = 0;
    observer.step_done = [&](int step, Real) {
        last_step = step;
        if (step == 3)
            sys.stop.request();
    };
    int ended = 0;
    observer.steps_ended = [&] { ++ended; };
    const auto result = sys.calculate({}, observer);
    EXPECT_EQ(result.steps, 3);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(last_step, 3);
    EXPECT_TRUE(sys.said("Steps=3"));
}

// The host's Stop, requested before a run or while it reads a large description, ends the run
// before its first step, as Stopped, with its final reports.
TEST(Relaxation, StopBeforeTheFirstStepOrWhileTheDescriptionIsRead) {
    System sys(default_description());
    sys.init();
    sys.stop.request();
    sys.sink.lines.clear();
    const auto before = sys.calculate();
    EXPECT_EQ(before.end, RunEnd::Stopped);
    EXPECT_EQ(before.steps, 0);
    EXPECT_TRUE(std::any_of(sys.sink.lines.begin(), sys.sink.lines.end(), [](const std::string& line) {
        return line.rfind("Total capacitance", 0) == 0; // the final reports
    }));
    EXPECT_EQ(sys.sink.lines.back(), "Steps=0");

    // 2000 fixed balls; the Stop comes while the reader echoes the 1000th line.
    std::vector<std::string> lines;
    for (int k = 0; k < 2000; ++k)
        lines.push_back("Bb" + std::to_string(k + 1) + " all " + std::to_string(k % 50) + " " +
                        std::to_string(k / 50) + " 0 0 0 0 0.3 0.1");
    lines.push_back(".V all 3000");
    struct StoppingSink : OutputSink {
        StopSource* stop = nullptr;
        std::vector<std::string> lines;
        void emit_line(std::string_view line) override {
            lines.emplace_back(line);
            if (lines.size() == 1000)
                stop->request();
        }
    } sink;
    Session session(sink);
    session.set_reporter(text_reporter());
    StopSource stop;
    sink.stop = &stop;
    session.set_stop_token(stop.token());
    session.options.set(Option::AlwaysCalculate, true);
    const InitializeResult init = initialize_system(session, lines);
    EXPECT_TRUE(init.stopped);
    EXPECT_FALSE(init.charges_computed);
    EXPECT_EQ(session.model.sphere_count, 2000); // the description is read whole
    EXPECT_EQ(sink.lines.back(),
              "Stopped before the charges were computed: press Initialize to compute them.");
    EXPECT_EQ(session.evaluation.total_capacitance, 0);

    // Calculate that reads it first, stopped the same way: no step, the final reports of the
    // state read (their charges computed).
    stop.clear();
    sink.lines.clear();
    session.system_initialized = false;
    const std::optional<InitializeResult> read = read_if_needed(session, lines);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->stopped);
    const RelaxationResult run = run_calculate(session, {});
    EXPECT_EQ(run.end, RunEnd::Stopped);
    EXPECT_EQ(run.steps, 0);
    EXPECT_EQ(sink.lines.back(), "Steps=0");
    EXPECT_GT(session.evaluation.total_capacitance, 0);
}

TEST(Relaxation, RandomStartMovesEachBallWithinTheLimit) {
    System a({"Ba A 0 0 0 10 0 30 1 1"}), b({"Ba A 0 0 0 10 0 30 1 1"});
    RelaxationSettings settings;
    settings.max_steps = 1;
    settings.random_start = true;
    settings.max_random_error_deg = 5;
    a.options().set(Option::SpeedSimulation, true); // the first step keeps the (perturbed) start
    a.calculate(settings);
    EXPECT_LE(std::fabs(a.object_of(1).Az - 30 * PI / 180), 5 * PI / 180);
    EXPECT_NE(a.object_of(1).Az, 30 * PI / 180);
    b.options().set(Option::SpeedSimulation, true);
    b.calculate(settings);
    EXPECT_EQ(a.object_of(1).Az, b.object_of(1).Az); // the same sequence after every program start
}

// 400 uncharged, massless balls feel no force: one step keeps the random start, whose offsets
// must spread evenly over the whole range on both sides, drawn apart for Ax and Az.
TEST(Relaxation, RandomStartSpreadsOverTheWholeRangeInBothAngles) {
    std::vector<std::string> lines;
    for (int i = 0; i < 400; ++i)
        lines.push_back("Bb A " + std::to_string(5 * (i % 20)) + " " + std::to_string(5 * (i / 20)) +
                        " 0 10 45 30 1 0");
    System sys(lines);
    RelaxationSettings settings;
    settings.max_steps = 1;
    settings.random_start = true;
    settings.max_random_error_deg = 4;
    sys.options().set(Option::ShowErrors, false);
    const auto result = sys.calculate(settings);
    ASSERT_EQ(result.steps, 1);
    const Real e = 4 * PI / 180;
    std::vector<Real> dx, dz;
    for (int k = 1; k <= 400; ++k) {
        dx.push_back(sys.o(k).Ax - 45 * PI / 180);
        dz.push_back(sys.o(k).Az - 30 * PI / 180);
    }
    for (const auto* d : {&dx, &dz}) {
        const auto [lo, hi] = std::minmax_element(d->begin(), d->end());
        EXPECT_GE(*lo, -e);
        EXPECT_LE(*hi, e);
        EXPECT_LT(*lo, -0.95L * e); // both ends of the range are reached
        EXPECT_GT(*hi, 0.95L * e);
        Real mean = 0;
        int below_half = 0;
        for (Real v : *d) {
            mean += v / 400;
            below_half += std::fabs(v) < e / 2 ? 1 : 0;
        }
        EXPECT_LT(std::fabs(mean), 0.1L * e); // about 0.03 e expected
        EXPECT_NEAR(below_half, 200, 40);     // uniform: half of them within e/2
    }
    // Ax and Az take draws of their own: no pair alike and next to no correlation.
    Real xz = 0, xx = 0, zz = 0;
    for (int k = 0; k < 400; ++k) {
        EXPECT_NE(dx[k], dz[k]) << k;
        xz += dx[k] * dz[k];
        xx += dx[k] * dx[k];
        zz += dz[k] * dz[k];
    }
    EXPECT_LT(std::fabs(xz) / std::sqrt(xx * zz), 0.2L);
}

TEST(Jacobian, OneBallLayoutFixedRowsAndScalingWithDt) {
    System sys({"Ba A 0 0 0 10 0 30 1 1", "Bf A 3 0 -8 0 0 0 1 1", ".V A 3000"});
    sys.init();
    sys.sink.lines.clear();
    JacobianSettings settings;
    auto r = jacobian_with_report(sys.session, settings);
    ASSERT_TRUE(r.computed);
    EXPECT_EQ(r.size, 4);
    EXPECT_EQ(sys.sink.lines[0], "Jacobian matrix (error 1.000E-004):");
    EXPECT_EQ(sys.sink.lines[1].substr(0, 2), "[[");
    EXPECT_EQ(sys.sink.lines[2].substr(0, 2), "[ ");
    EXPECT_EQ(sys.sink.lines[4].substr(sys.sink.lines[4].size() - 2), "]]");
    EXPECT_EQ(sys.sink.lines[1].back(), ',');
    // The fixed ball's rows are zero; its columns are computed.
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(r.entry(3, c), 0);
        EXPECT_EQ(r.entry(4, c), 0);
    }
    EXPECT_NE(r.entry(2, 2), 0);
    const Real j22 = r.entry(2, 2);
    // The angles are untouched.
    EXPECT_EQ(sys.o(1).Az, 30 * PI / 180);

    settings.time_step = 0.1L;
    JacobianPrint plain;
    plain.plain = true;
    sys.sink.lines.clear();
    r = jacobian_with_report(sys.session, settings, {}, plain);
    EXPECT_NEAR(r.entry(2, 2), 2 * j22, 1e-12L * std::fabs(j22));
    EXPECT_EQ(sys.sink.lines[1].size(), 44u); // four plain entries of 10 characters and a blank
    EXPECT_EQ(sys.sink.lines[1][0], ' ');

    sys.options().set(Option::SpeedSimulation, true);
    sys.sink.lines.clear();
    EXPECT_FALSE(jacobian_with_report(sys.session, settings).computed);
    EXPECT_EQ(sys.sink.lines,
              std::vector<std::string>{"Jacobian matrix not implemented for speed simulation."});
}

TEST(Jacobian, RefusesMoreObjectsThanItsMatrixHolds) {
    std::vector<std::string> lines;
    for (int i = 0; i < 1001; ++i)
        lines.push_back("Bb A " + std::to_string(i) + " 0 0 10 0 0 0.1 1");
    System sys(lines);
    sys.init(); // over 500 spheres: no charges, quickly
    sys.sink.lines.clear();
    EXPECT_FALSE(jacobian_with_report(sys.session, {}).computed);
    EXPECT_EQ(sys.sink.lines,
              std::vector<std::string>{
                  "Jacobian matrix not computed: 1001 objects are more than the 1000 it can hold."});
}

// A pendulum: an uncharged ball's rotational force along Az is its weight's tangential part,
// frz = -m g sin Az, so with the step gain dt / (2 m L) the Az column of the Az row is
// -dt g / (2 L) times the one-sided difference of sin, (sin(Az + h) - sin Az) / h, whatever the
// mass and with either law of the rotational forces; the Az row does not see Ax. Hanging
// straight down or standing straight up it is at rest, and its end moves at dt / (2 m) times
// the force across the string in every horizontal direction: two eigenvalues -+dt g / (2 L), a
// stable and an unstable equilibrium, though the update law's Ax row holds the cosecant's limit.
TEST(Jacobian, AnUnchargedPendulumHasTheStiffnessOfItsWeight) {
    constexpr Real G = 9.81L, DT = 0.05L, L = 0.1L, H = 1e-4L;
    for (const bool correct : {true, false})
        for (const int degrees : {0, 10, 30, 60, 180}) {
            System sys({"Ba A 0 0 0 10 40 " + std::to_string(degrees) + " 1 1", ".V A 0"});
            sys.options().set(Option::CorrectRotationForces, correct);
            sys.init();
            const JacobianResult r = jacobian_with_report(sys.session, {});
            ASSERT_TRUE(r.computed);
            const Real az = degrees * PI / 180;
            const Real expected = -DT * G / (2 * L) * (std::sin(az + H) - std::sin(az)) / H;
            EXPECT_NEAR(r.entry(2, 2), expected, 1e-12L * std::fabs(expected)) << degrees << " " << correct;
            EXPECT_NEAR(r.entry(2, 1), 0, 1e-9L * std::fabs(expected)) << degrees << " " << correct;
            if (degrees % 180 != 0)
                continue;
            const Real stiffness = degrees == 0 ? -DT * G / (2 * L) : DT * G / (2 * L);
            ASSERT_EQ(r.eigenvalues.size(), 2u);
            for (const EigenvalueWithError& e : r.eigenvalues) {
                EXPECT_LE(std::abs(e.value - Complex(stiffness, 0)), e.error) << degrees << " " << correct;
                EXPECT_LT(e.error, 1e-6L);
            }
            EXPECT_EQ(r.stability, degrees == 0 ? Stability::Stable : Stability::Unstable);
        }
}

TEST(Jacobian, OneMovableBallHasATwoByTwoMatrixAndAStableEquilibrium) {
    System sys({"Ba A 0 0 0 10 20 30 1 1"});
    RelaxationSettings settings;
    settings.max_steps = 5000;
    sys.calculate(settings); // hangs straight down
    sys.sink.lines.clear();
    JacobianPrint plain;
    plain.plain = true;
    const auto r = jacobian_with_report(sys.session, {}, {}, plain);
    EXPECT_EQ(r.size, 2);
    EXPECT_EQ(sys.sink.lines.size(), 1u + 2u + 1u + 2u + 1u);
    EXPECT_EQ(r.stability, Stability::Stable);
}

// A cube on a string next to a ball on a string, both charged, not in equilibrium.
const std::vector<std::string> CUBE_AND_BALL{"Ccube A 0 0 0 10 20 25 1 8", "Bb B 4 0 0 10 180 20 1 1",
                                             ".V A 5000", ".V B -2000"};

TEST(Jacobian, WorksOnACopyAndLeavesTheSessionAsItFoundIt) {
    System sys(CUBE_AND_BALL);
    sys.init();
    const SystemModel model_before = sys.model();
    const Evaluation ev_before = sys.ev();
    // The capacitances of the state as it stands (the cube's turn changes them).
    VectorSink capacitances_before;
    report_capacitances(sys.model(), sys.session.workspace, capacitances_before);
    sys.sink.lines.clear();
    JacobianSettings settings;
    int after_positions = 0;
    RunObserver observer;
    observer.after_positions = [&](const SystemModel& m, const Evaluation&) {
        ++after_positions;
        EXPECT_NE(&m, &sys.model()); // the copy, never the session's model
    };
    const auto r = jacobian_with_report(sys.session, settings, observer);
    ASSERT_TRUE(r.computed);
    ASSERT_EQ(r.size, 4);
    EXPECT_FALSE(r.stopped);
    // Both strings are well away from the vertical: the four columns at h and again at h/2.
    EXPECT_EQ(r.evaluations, 8);
    EXPECT_EQ(after_positions, 8);

    // The session's angles and rotational forces are those from before.
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(sys.o(k).Ax, model_before.objects[k].Ax) << k;
        EXPECT_EQ(sys.o(k).Az, model_before.objects[k].Az) << k;
    }
    for (int i = 1; i <= 9; ++i) {
        EXPECT_EQ(sys.frx(i), ev_before.frx[i]) << i;
        EXPECT_EQ(sys.frz(i), ev_before.frz[i]) << i;
        EXPECT_EQ(sys.Q(i), ev_before.Q[i]) << i;
    }
    // The reports after it read the workspace's matrix: that of the unperturbed state, not of the
    // last perturbed one.
    VectorSink capacitances_after;
    report_capacitances(sys.model(), sys.session.workspace, capacitances_after);
    EXPECT_EQ(capacitances_after.lines, capacitances_before.lines);
    // The matrix printed is the one returned.
    EXPECT_TRUE(sys.said("Jacobian matrix (error 1.000E-004):"));
    EXPECT_EQ(sys.sink.lines[1].substr(2, 10), real_to_fixed_text(r.entry(1, 1), 10, 6));
}

// Two balls of charge q each (each its own isolated conductor) on strings of length L from one
// point. At the equilibrium half-angle t (q^2 / (4 pi e0 (2 L sin t)^2) = m g tan t) the four
// modes of small oscillation are known in closed form: the turn of the pair about the vertical
// (w^2 = 0), the pair swinging together in its plane (g cos t / L), the pair tilting across its
// plane (g / (L cos t)) and the balls swinging apart and together, w^2 = U'' / (2 m L^2) with
// U'' = 2 m g L cos t + q^2 (1 + cos^2 t) / (4 pi e0 2 L sin^3 t). The update law moves each end at
// dt / (2 m) times the force across its string, so its eigenvalues are -dt w^2 / 2; each must be
// found within its error, the error small, and the free turn leaves the verdict undecided.
TEST(Jacobian, TwoChargedBallsFromOnePointHaveTheirClosedFormModes) {
    constexpr Real L = 0.1L, m = 1e-4L, q = 20e-9L, dt = 0.05L;
    const Real k = q * q / FOUR_PI_E0;
    Real t = 0.4L; // Newton's method on m g sin t - k cos t / (4 L^2 sin^2 t)
    for (int i = 0; i < 60; ++i) {
        const Real s = std::sin(t), c = std::cos(t);
        const Real f = m * GRAVITY * s - k * c / (4 * L * L * s * s);
        const Real df = m * GRAVITY * c + k * (s * s + 2 * c * c) / (4 * L * L * s * s * s);
        t -= f / df;
    }
    const Real c = std::cos(t), s = std::sin(t);
    const Real U2 = 2 * m * GRAVITY * L * c + k * (1 + c * c) / (2 * L * s * s * s);
    const Real expected[] = {0, -dt / 2 * GRAVITY * c / L, -dt / 2 * GRAVITY / (L * c),
                             -dt / 2 * U2 / (2 * m * L * L)};
    // At the closed-form angle, and a little off it (still at rest within the force error), where
    // the free turn is neutral only to first order.
    for (const Real off : {0.0L, 3e-8L})
        for (const bool correct : {true, false}) {
            const std::string az = format_shortest((t + off) * 180 / PI);
            System sys({"Ba A 0 0 0 10 0 " + az + " 0.2 0.1", "Bb B 0 0 0 10 180 " + az + " 0.2 0.1",
                        ".Q A 20", ".Q B 20"});
            sys.options().set(Option::CorrectRotationForces, correct);
            sys.init();
            sys.sink.lines.clear();
            const JacobianResult r = jacobian_with_report(sys.session, {});
            ASSERT_TRUE(r.computed);
            ASSERT_EQ(r.eigenvalues.size(), 4u);
            for (const Real want : expected) {
                bool found = false;
                for (const EigenvalueWithError& e : r.eigenvalues) {
                    EXPECT_LT(e.error, 5e-4L * dt / 2 * GRAVITY / L);
                    found = found || (std::abs(e.value - Complex(want, 0)) <= e.error);
                }
                EXPECT_TRUE(found) << "no eigenvalue " << format_shortest(want) << " within its error";
            }
            EXPECT_EQ(r.stability, Stability::Undecided) << off << " " << sys.sink.lines.back();
            EXPECT_NE(sys.sink.lines.back().find("neutral motion"), std::string::npos)
                << sys.sink.lines.back();
            // Off the angle, the distance from rest is what the error is made of.
            EXPECT_NE(
                sys.sink.lines.back().find(off == 0 ? "A smaller angle variation" : "A smaller force error"),
                std::string::npos)
                << sys.sink.lines.back();
        }
}

// The limit h -> 0 of the eigenvalues of the four balls at rest, estimated by Richardson from the
// extrapolated eigenvalues at three steps (their error falls as h^2), lies within the error
// given with each; and the four balls hang stably.
TEST(Jacobian, FourBallsAtRestAreStableAndEachErrorHoldsTheLimit) {
    System sys(default_description());
    RelaxationSettings settings;
    settings.force_error_uN = 1e-9L;
    settings.max_steps = 3000;
    ASSERT_EQ(sys.calculate(settings).end, RunEnd::Converged);
    auto real_parts = [&](Real h, std::vector<Real>* errors = nullptr) {
        JacobianSettings js;
        js.angle_variation = h;
        const JacobianResult r = jacobian_with_report(sys.session, js);
        EXPECT_EQ(r.stability, Stability::Stable) << h;
        std::vector<Real> values;
        for (const EigenvalueWithError& e : r.eigenvalues) {
            values.push_back(e.value.real());
            EXPECT_LE(std::fabs(e.value.imag()), e.error) << h; // the limit is real
            if (errors)
                errors->push_back(e.error);
        }
        return values;
    };
    std::vector<Real> errors;
    const std::vector<Real> a = real_parts(4e-4L), b = real_parts(2e-4L), c = real_parts(1e-4L, &errors);
    ASSERT_EQ(c.size(), 8u);
    for (std::size_t i = 0; i < c.size(); ++i) {
        const Real limit = c[i] + (c[i] - b[i]) / 3;
        // The three steps agree on the h^2 law: the estimate from the two coarser ones is close.
        EXPECT_NEAR(b[i] + (b[i] - a[i]) / 3, limit, std::max<Real>(1e-7L, errors[i])) << i;
        EXPECT_LE(std::fabs(c[i] - limit), errors[i]) << i;
        EXPECT_LT(errors[i], 1e-3L * std::fabs(c[i])) << i;
    }
    // A step so small that the rounding of the forces, not the step, makes the error: the limit
    // still lies within it.
    const std::vector<Real> tiny = real_parts(1e-11L, &errors);
    for (std::size_t i = 0; i < c.size(); ++i)
        EXPECT_LE(std::fabs(tiny[i] - (c[i] + (c[i] - b[i]) / 3)), errors[8 + i]) << i;
}

// A line of balls on its string turns as a ball does, but its spheres lie at different distances
// along the string: with "Correct rotation forces" its Ax moves with their torque about the
// vertical, which weighs each sphere's force by that distance. The state the relaxation reaches
// is at rest for the stability analysis too, and stable.
TEST(Jacobian, ALineOfBallsAtRestIsAtRestForTheAnalysisToo) {
    System sys({"Hbal all 0 0 0 10 0 0 0.8 1 0.05 0.05", "Bf all 3 2 -12 0 0 0 0.5 1", ".V all 20000"});
    RelaxationSettings settings;
    settings.max_steps = 5000;
    settings.force_error_uN = 1e-7L;
    ASSERT_EQ(sys.calculate(settings).end, RunEnd::Converged);
    JacobianSettings js;
    js.force_error_uN = settings.force_error_uN;
    EXPECT_EQ(jacobian_with_report(sys.session, js).stability, Stability::Stable) << sys.sink.lines.back();
}

// Two square plates one above the other on 10 cm strings hanging straight down, where Ax turns a
// plate about its string. The update law's matrix holds the cosecant's limit there; the
// stability coordinates do not: the swings have the stiffness of a pendulum, -dt g / (2 L), and
// the turns, which only the plates' charges resist or drive, are far softer. Like charges facing
// each other square on turn away from it: unstable.
TEST(Jacobian, PlatesHangingStraightDownHavePhysicalEigenvalues) {
    System sys({"Qa a 0 0 0 10 0 0 2 1", "Qb b 0 0 -3 10 0 0 2 1", ".V a 3000", ".V b 3000"});
    sys.init();
    const JacobianResult r = jacobian_with_report(sys.session, {});
    ASSERT_TRUE(r.computed);
    ASSERT_EQ(r.eigenvalues.size(), 4u);
    const Real pendulum = 0.05L * GRAVITY / (2 * 0.1L);
    EXPECT_EQ(r.stability_coordinates, (std::vector<std::string>{"Ax 1", "Az 1", "Ax 2", "Az 2"}));
    for (const EigenvalueWithError& e : r.eigenvalues)
        EXPECT_LT(std::abs(e.value), 1.02L * pendulum) << format_shortest(e.value.real());
    // The plates' repulsion pulls the lower string harder and the upper one less.
    EXPECT_NEAR(r.eigenvalues[3].value.real(), -pendulum, 0.05L * pendulum);
    EXPECT_NEAR(r.eigenvalues[2].value.real(), -pendulum, 0.05L * pendulum);
    EXPECT_LT(std::fabs(r.eigenvalues[0].value.real()), 0.01L * pendulum);
    EXPECT_EQ(r.stability, Stability::Unstable);
}

TEST(Jacobian, StopFromTheProgressCallbackPrintsNoMatrix) {
    System sys(CUBE_AND_BALL);
    sys.init();
    const SystemModel model_before = sys.model();
    sys.sink.lines.clear();
    std::vector<int> progress;
    RunObserver observer;
    observer.progress = [&](int done, int evaluations) {
        EXPECT_EQ(evaluations, 8);
        progress.push_back(done);
        if (done == 2)
            sys.stop.request();
    };
    const auto r = jacobian_with_report(sys.session, {}, observer);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.computed);
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    EXPECT_EQ(sys.sink.lines,
              std::vector<std::string>{"Jacobian matrix stopped before its end: nothing to show."});
    for (int k = 1; k <= 2; ++k)
        EXPECT_EQ(sys.o(k).Az, model_before.objects[k].Az) << k;

    // A later Jacobian starts afresh once the host has cleared its Stop.
    sys.sink.lines.clear();
    sys.stop.clear();
    EXPECT_TRUE(jacobian_with_report(sys.session, {}).computed);
}

// An eigenvalue of the motion as the analysis should find it: its value (a complex one stands
// for its pair) and its error.
struct Mode {
    Real real, error, imag = 0;
};

// The analysis of a motion with the given eigenvalues: J(h) and J(h/2) in the angle chart, block
// diagonal (a real mode on the diagonal, a complex pair a 2 x 2 block of a rotation), so that the
// eigenvalues of 2 J(h/2) - J(h) are those asked for and each one's distance from that of J(h/2)
// the error asked for: no rounding term, a state not taken as at rest. The steps are powers of
// two, so a matrix of binary fractions is divided by them exactly.
StabilityAnalysis analysis_of(const std::vector<Mode>& modes, bool rough) {
    std::vector<Real> fine, coarse; // J(h/2), J(h), row-major
    int m = 0;
    for (const Mode& mode : modes)
        m += mode.imag != 0 ? 2 : 1;
    fine.assign(static_cast<std::size_t>(m) * m, 0);
    coarse = fine;
    int at = 0;
    for (const Mode& mode : modes) {
        auto entry = [&](std::vector<Real>& a, int r, int c) -> Real& {
            return a[static_cast<std::size_t>(at + r) * m + at + c];
        };
        // J(h/2) = v + e and J(h) = v + 2e: 2 J(h/2) - J(h) = v, J(h/2) - v = e.
        const int size = mode.imag != 0 ? 2 : 1;
        for (int d = 0; d < size; ++d) {
            entry(fine, d, d) = mode.real + mode.error;
            entry(coarse, d, d) = mode.real + 2 * mode.error;
        }
        if (size == 2) {
            entry(fine, 0, 1) = entry(coarse, 0, 1) = -mode.imag;
            entry(fine, 1, 0) = entry(coarse, 1, 0) = mode.imag;
        }
        at += size;
    }
    StabilityChart chart;
    chart.objects = m / 2;
    const auto objects = static_cast<std::size_t>(chart.objects) + 1;
    chart.kind.assign(objects, ChartKind::Angles);
    chart.kind[0] = ChartKind::Fixed;
    chart.turns.assign(objects, 0);
    chart.direct.assign(objects, 0);
    for (auto* angles : {&chart.ax0, &chart.az0, &chart.sin_az0, &chart.cos_az0, &chart.cosec_az0})
        angles->assign(objects, 0);
    for (int slot = 0; slot < m; ++slot)
        chart.used_slots.push_back(slot);
    const std::vector<ChartStep> steps = plan_chart_steps(chart, std::ldexp(Real(1), -10));
    ChartJacobians charts(chart, std::vector<Real>(static_cast<std::size_t>(m), 0));
    for (const ChartStep& step : steps) {
        const std::vector<Real>& a = step.set == 0 ? coarse : fine;
        std::vector<Real> velocity(static_cast<std::size_t>(m));
        for (int r = 0; r < m; ++r)
            velocity[r] = step.step * a[static_cast<std::size_t>(r) * m + step.slot];
        charts.record(step, velocity.data());
    }
    charts.finish(steps);
    return analyse_stability(charts, 0, false, rough);
}

// "Stable" and "Unstable" need every real part to clear zero by its error: a real part above
// zero but within its error is undecided, not unstable (and one below zero within its error not
// stable), a real part exactly its error from zero has not cleared it, and an undecided
// eigenvalue hides no unstable one behind it.
TEST(Stability, AVerdictNeedsEveryRealPartToClearZeroByItsError) {
    const Real edge = std::ldexp(Real(3), -22); // a binary fraction: on the edge to the bit
    const Mode stiff{-1, 1e-9L};
    struct Case {
        std::vector<Mode> modes;
        StabilityVerdict verdict;
    };
    const Case cases[] = {
        {{{3e-7L, 5e-7L}, stiff}, StabilityVerdict::Undecided},
        {{{7e-7L, 5e-7L}, stiff}, StabilityVerdict::Unstable},
        {{{edge, edge}, stiff}, StabilityVerdict::Undecided},
        {{{4.9e-7L, 5e-7L}, stiff}, StabilityVerdict::Undecided},
        {{{5.1e-7L, 5e-7L}, stiff}, StabilityVerdict::Unstable},
        {{{-3e-7L, 5e-7L}, stiff}, StabilityVerdict::Undecided},
        {{{-edge, edge}, stiff}, StabilityVerdict::Undecided},
        {{{-5.1e-7L, 5e-7L}, stiff}, StabilityVerdict::Stable},
        // A pair whose real part is the largest but within its error, and a smaller real part
        // beyond its own: unstable; with the smaller one negative beyond its error, undecided.
        {{{1e-3L, 2e-3L, 1}, {1e-4L, 1e-5L}, stiff}, StabilityVerdict::Unstable},
        {{{1e-3L, 2e-3L, 1}, {-1e-4L, 1e-5L}, stiff}, StabilityVerdict::Undecided},
    };
    for (const Case& c : cases)
        for (const bool rough : {false, true}) {
            const Mode& first = c.modes.front();
            SCOPED_TRACE(::testing::Message()
                         << first.real << " +- " << first.error << (rough ? " rough" : ""));
            const StabilityAnalysis a = analysis_of(c.modes, rough);
            ASSERT_TRUE(a.computed);
            // The analysis finds each value with its error as set up (to the last bits of the
            // decimal ones).
            for (const Mode& mode : c.modes) {
                const Real close = 1e-12L * (std::fabs(mode.real) + std::fabs(mode.imag) + mode.error);
                const auto found =
                    std::find_if(a.values.begin(), a.values.end(), [&](const EigenvalueWithError& e) {
                        return std::abs(e.value - Complex(mode.real, mode.imag)) <= close;
                    });
                ASSERT_NE(found, a.values.end()) << mode.real;
                EXPECT_NEAR(found->error, mode.error, close) << mode.real;
            }
            EXPECT_EQ(a.verdict, c.verdict);
            VectorSink out;
            report_stability(out, a, 0, 1e-4L, 1e-4L, JacobianPrint{false, true});
            ASSERT_EQ(out.lines.size(), 1u);
            const std::string word = c.verdict == StabilityVerdict::Stable     ? "Stable: "
                                     : c.verdict == StabilityVerdict::Unstable ? "Unstable: "
                                                                               : "Undecided: ";
            EXPECT_EQ(out.lines[0].rfind(word, 0), 0u) << out.lines[0];
            if (c.verdict != StabilityVerdict::Undecided)
                continue;
            // The eigenvalue that leaves it undecided is the first one.
            EXPECT_EQ(stability_of(a, 0, 1e-4L), Stability::Undecided);
            ASSERT_GE(a.deciding, 0);
            const EigenvalueWithError& deciding = a.values[a.deciding];
            EXPECT_NEAR(deciding.value.real(), first.real, 1e-12L * first.error);
            if (std::fabs(first.real) == edge) {
                EXPECT_EQ(std::fabs(deciding.value.real()), deciding.error);
            }
        }
}

TEST(StepGain, MasslessObjectsShareTheReplacementMassOverTheirSpheres) {
    TestSystem sys;
    sys.read({"Ccube A 0 0 0 10 0 30 1 0", "Bb A 5 0 0 20 0 30 1 0", "Lli A 0 5 0 10 0 0 1 0",
              "Ccube A 0 0 5 10 0 30 1 2"});
    const SystemModel& m = sys.model();
    const Real dt = 0.05L;
    // 2 m is replaced by 2e-5 kg shared over the object's spheres: 8 for the cube, 20 for the line.
    EXPECT_NEAR(step_gain(m, sys.o(1), dt), dt / (2e-5L / 8 * 0.1L), 1e-9L);
    EXPECT_NEAR(step_gain(m, sys.o(2), dt), dt / (2e-5L * 0.2L), 1e-9L);
    EXPECT_NEAR(step_gain(m, sys.o(3), dt), dt / (2e-5L / 20 * 0.1L), 1e-9L);
    // With a mass, the last sphere's own share.
    EXPECT_NEAR(step_gain(m, sys.o(4), dt), dt / (2 * 0.00025L * 0.1L), 1e-12L);
    EXPECT_EQ(step_gain(m, sys.o(4), 2 * dt), 2 * step_gain(m, sys.o(4), dt));
}

TEST(StepGain, MasslessCubeMovesByItsTotalRotationalForce) {
    System sys({"Ccube A 0 0 0 10 0 30 1 0", "Bb A 10 0 -8.66 0 0 0 1 1", ".V A 3000"});
    sys.init();
    Real frz_total = 0;
    for (int i = 1; i <= 8; ++i)
        frz_total += sys.frz(i);
    ASSERT_NE(frz_total, 0);
    const Real az0 = sys.o(1).Az;
    RelaxationSettings settings;
    settings.max_steps = 1;
    sys.calculate(settings);
    // One step of the default law with 2e-5 kg for the whole object.
    EXPECT_NEAR(sys.o(1).Az, az0 + frz_total * 0.05L * 0.05L / (2e-5L * 0.1L), 1e-12L);
}

} // namespace
} // namespace ambrel
