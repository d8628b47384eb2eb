// The relaxation loop and the stability Jacobian on systems with known answers.
#include "../support/test_system.h"
#include "description/reader.h"
#include "physics/forces.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel {
namespace {

using testing_support::FOUR_PI_E0;

struct System : testing_support::TestSystem {
    std::vector<std::string> description;
    explicit System(std::vector<std::string> lines) : description(std::move(lines)) {}
    RelaxationResult calculate(const RelaxationSettings& settings = {},
                               const RelaxationObserver& observer = {}) {
        return run_calculate(sim, description, settings, observer);
    }
};

TEST(Relaxation, DefaultDescriptionSettlesInASymmetricSquare) {
    System sys(default_description());
    RelaxationSettings settings;
    const auto result = sys.calculate(settings);
    EXPECT_EQ(result.end, RunEnd::Converged);
    EXPECT_LT(result.error, 0.0001e-6L);
    EXPECT_TRUE(result.initialized);
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
        EXPECT_NEAR(sys.s(i).Az, sys.s(1).Az, 1e-9L);
}

// Two equal balls on strings of length L from points 4 cm apart, at voltage V: at equilibrium
// tan Az = F / (m g), F the electric repulsion computed from the converged charges.
TEST(Relaxation, TwoBallsReachTanAzEqualsForceOverWeight) {
    for (bool time_domain : {false, true}) {
        System sys({"Ba all -2 0 0 10 180 10 0.5 0.2", "Bb all 2 0 0 10 0 10 0.5 0.2", ".V all 15000"});
        sys.sim.options.set(Option::SpeedSimulation, time_domain);
        RelaxationSettings settings;
        settings.max_steps = 20000;
        settings.force_error_uN = 1e-6L;
        settings.damping = 0.002L; // below 2 m / dt, so the speeds are damped, not amplified
        const auto result = sys.calculate(settings);
        ASSERT_EQ(result.end, RunEnd::Converged) << time_domain;
        const Sphere& b = sys.s(2);
        // Force between the two charged spheres along x, independently of the program's sum.
        const Real d = b.x - sys.s(1).x;
        const Real coulomb = b.Q * sys.s(1).Q / (FOUR_PI_E0 * d * d);
        EXPECT_NEAR(std::tan(b.Az), coulomb / (0.0002L * 9.81L), 1e-5L) << time_domain;
        EXPECT_NEAR(sys.s(1).Az, b.Az, 1e-9L);
        EXPECT_GT(b.Az, 0.05L);
        EXPECT_LT(b.Az, PI / 2);
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
}

TEST(Relaxation, MasslessBallUsesTheReplacementMass) {
    System sys({"Ba A 0 0 0 10 0 30 1 0"});
    RelaxationSettings settings;
    settings.max_steps = 1;
    sys.calculate(settings);
    // Start: only gravity, which is 0 for a massless ball: one step changes nothing. Then with a
    // charge neighbour the step size follows K = dt^2 / (2e-5 L).
    System charged({"Ba A 0 0 0 10 0 30 1 0", "Bb A 10 0 -8.66 0 0 0 1 1", ".V A 3000"});
    charged.sim.options.set(Option::ShowErrors, false);
    initialize_system(charged.sim, charged.description);
    const Real frz = charged.s(1).frz;
    const Real az0 = charged.s(1).Az;
    charged.calculate(settings);
    const Real K = 0.05L * 0.05L / (2e-5L * 0.1L);
    EXPECT_NEAR(charged.s(1).Az, az0 + frz * K, 1e-15L);
}

TEST(Relaxation, TimeDomainFirstStepKeepsTheStartingAngles) {
    System sys({"Ba A 0 0 0 10 0 30 1 1"});
    sys.sim.options.set(Option::SpeedSimulation, true);
    RelaxationSettings settings;
    settings.max_steps = 1;
    sys.calculate(settings);
    EXPECT_EQ(sys.s(1).Az, 30 * PI / 180);
    EXPECT_NE(sys.s(1).speed_Az, 0);
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
    int pumps = 0;
    RelaxationObserver observer;
    observer.pump_events = [&] {
        if (++pumps == 3)
            sys.sim.stop_requested = true;
    };
    int ended = 0;
    observer.steps_ended = [&] { ++ended; };
    const auto result = sys.calculate({}, observer);
    EXPECT_EQ(result.steps, 3);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(sys.said("Steps=3"));
}

TEST(Relaxation, RandomStartMovesEachBallWithinTheLimit) {
    System a({"Ba A 0 0 0 10 0 30 1 1"}), b({"Ba A 0 0 0 10 0 30 1 1"});
    RelaxationSettings settings;
    settings.max_steps = 1;
    settings.random_start = true;
    settings.max_random_error_deg = 5;
    a.sim.options.set(Option::SpeedSimulation, true); // the first step keeps the (perturbed) start
    a.calculate(settings);
    EXPECT_LE(std::fabs(a.s(1).Az - 30 * PI / 180), 5 * PI / 180);
    EXPECT_NE(a.s(1).Az, 30 * PI / 180);
    b.sim.options.set(Option::SpeedSimulation, true);
    b.calculate(settings);
    EXPECT_EQ(a.s(1).Az, b.s(1).Az); // the same sequence after every program start
}

TEST(Jacobian, OneBallLayoutFixedRowsAndScalingWithDt) {
    System sys({"Ba A 0 0 0 10 0 30 1 1", "Bf A 3 0 -8 0 0 0 1 1", ".V A 3000"});
    initialize_system(sys.sim, sys.description);
    sys.sink.lines.clear();
    JacobianSettings settings;
    auto r = compute_jacobian(sys.sim, settings);
    ASSERT_TRUE(r.computed);
    EXPECT_EQ(r.size, 4);
    EXPECT_EQ(sys.sink.lines[0], "Jacobian matrix (error 1.000E-004):");
    EXPECT_EQ(sys.sink.lines[1].substr(0, 2), "[[");
    EXPECT_EQ(sys.sink.lines[2].substr(0, 2), "[ ");
    EXPECT_EQ(sys.sink.lines[4].substr(sys.sink.lines[4].size() - 2), "]]");
    EXPECT_EQ(sys.sink.lines[1].back(), ',');
    // The fixed ball's rows are zero; its columns are computed.
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(jacobian_entry(sys.sim, 3, c), 0);
        EXPECT_EQ(jacobian_entry(sys.sim, 4, c), 0);
    }
    EXPECT_NE(jacobian_entry(sys.sim, 2, 2), 0);
    const Real j22 = jacobian_entry(sys.sim, 2, 2);
    // Angles and rotational forces are restored.
    EXPECT_EQ(sys.s(1).Az, 30 * PI / 180);

    settings.time_step = 0.1L;
    settings.plain = true;
    sys.sink.lines.clear();
    compute_jacobian(sys.sim, settings);
    EXPECT_NEAR(jacobian_entry(sys.sim, 2, 2), 2 * j22, 1e-12L * std::fabs(j22));
    EXPECT_EQ(sys.sink.lines[1].size(), 44u); // four plain entries of 10 characters and a blank
    EXPECT_EQ(sys.sink.lines[1][0], ' ');

    sys.sim.options.set(Option::SpeedSimulation, true);
    sys.sink.lines.clear();
    EXPECT_FALSE(compute_jacobian(sys.sim, settings).computed);
    EXPECT_EQ(sys.sink.lines,
              std::vector<std::string>{"Jacobian matrix not implemented for speed simulation."});
}

TEST(Jacobian, RefusesMoreObjectsThanItsMatrixHolds) {
    std::vector<std::string> lines;
    for (int i = 0; i < 1001; ++i)
        lines.push_back("Bb A " + std::to_string(i) + " 0 0 10 0 0 0.1 1");
    System sys(lines);
    initialize_system(sys.sim, sys.description); // over 500 spheres: no charges, quickly
    sys.sink.lines.clear();
    EXPECT_FALSE(compute_jacobian(sys.sim, {}).computed);
    EXPECT_EQ(sys.sink.lines,
              std::vector<std::string>{
                  "Jacobian matrix not computed: 1001 objects are more than the 1000 it can hold."});
}

TEST(Jacobian, OneMovableBallHasATwoByTwoMatrixAndAStableEquilibrium) {
    System sys({"Ba A 0 0 0 10 20 30 1 1"});
    RelaxationSettings settings;
    settings.max_steps = 5000;
    sys.calculate(settings); // hangs straight down
    sys.sink.lines.clear();
    JacobianSettings js;
    js.plain = true;
    const auto r = compute_jacobian(sys.sim, js);
    EXPECT_EQ(r.size, 2);
    EXPECT_EQ(sys.sink.lines.size(), 1u + 2u + 1u + 2u + 1u);
    EXPECT_NE(r.stability, Stability::Unstable);
}

} // namespace
} // namespace ambrel
