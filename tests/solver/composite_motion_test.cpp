// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// How composite objects move: the stability of an uncharged composite's swing and one or two
// steps of the relaxation, each against a computation of this file that places the spheres
// itself, gives them the masses the description means, and applies the laws written out by hand.
#include "../support/rigid_turn.h"
#include "../support/test_system.h"
#include "model/units.h"
#include "physics/evaluation.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace ambrel {
namespace {

using testing_support::jacobian_with_report;
using testing_support::TestSystem;

// An uncharged composite hanging straight down, its centre of mass on its string's line: each
// sphere's weight m_s g, placed by this file, turns it about its suspension point. With "Correct
// rotation forces" the torque of a tilt d is -g d sum m_s r_s = -M g r d, r the depth of the
// centre of mass below the suspension point; the update law moves Az at dt / (2 M L) times that
// over L, an eigenvalue -dt g r / (2 L^2). Without them the weight acts at the string's end,
// -dt g / (2 L). Weight has no torque about the vertical: turning the composite about its string
// is neutral, an eigenvalue 0. A composite that does not turn ("Rotate objects" off) swings as a
// ball in both directions, -dt g / (2 L) twice. So the eigenvalues of the stability analysis are
// known without any finite difference, and the one of the update law's matrix, (2, 2), is that
// swing times sin(h) / h.
struct Swing {
    std::string description; // one uncharged composite on a 10 cm string from the origin
    Real sphere_mass;        // kg, every sphere
    bool correct, rotate;
};

void expect_the_swing_of_its_weight(const Swing& c) {
    SCOPED_TRACE(c.description + (c.correct ? ", correct" : "") + (c.rotate ? ", rotated" : ""));
    TestSystem sys;
    sys.options().set(Option::CorrectRotationForces, c.correct);
    sys.options().set(Option::RotateObjects, c.rotate);
    sys.init({c.description, ".V A 0"});
    SystemModel placed = sys.model();
    testing_support::place_spheres(placed, c.rotate);
    const int n = placed.sphere_count;
    Real depth = 0;
    for (int i = 1; i <= n; ++i) {
        EXPECT_NEAR(sys.s(i).m, c.sphere_mass, 1e-18L) << i;
        depth += (0 - placed.spheres[i].z) / n; // equal masses
    }
    constexpr Real dt = 0.05L, L = 0.1L;
    const Real ball = -dt * GRAVITY / (2 * L);
    const Real swing = c.correct && c.rotate ? -dt * GRAVITY * depth / (2 * L * L) : ball;
    const JacobianResult r = jacobian_with_report(sys.session, {});
    ASSERT_TRUE(r.computed);
    constexpr Real h = 1e-4L;
    EXPECT_NEAR(r.entry(2, 2), swing * std::sin(h) / h, 1e-9L * std::fabs(swing));
    std::vector<Real> expected{c.rotate ? 0 : ball, swing};
    ASSERT_EQ(r.eigenvalues.size(), 2u);
    std::sort(expected.begin(), expected.end(), std::greater<>());
    for (int k = 0; k < 2; ++k) {
        EXPECT_LE(std::abs(r.eigenvalues[k].value - Complex(expected[k], 0)), r.eigenvalues[k].error) << k;
        EXPECT_LT(r.eigenvalues[k].error, 1e-6L * std::fabs(ball)) << k;
    }
    EXPECT_EQ(r.stability, c.rotate ? Stability::Undecided : Stability::Stable);
}

TEST(CompositeJacobian, AnUnchargedCompositeSwingsWithItsCentreOfMass) {
    for (const bool correct : {true, false})
        for (const bool rotate : {true, false}) {
            expect_the_swing_of_its_weight({"Ccube A 0 0 0 10 0 0 1 8", 0.001L, correct, rotate});
            // A 5 x 5 square of 2.5 g.
            expect_the_swing_of_its_weight({"Ssq A 0 0 0 10 0 0 1 2.5", 0.0001L, correct, rotate});
        }
}

// One or two steps of a run on a massless composite next to a fixed charged ball, compared
// with the laws written out: the object moves as one body of 1e-5 kg (default law) or 1e-4 kg
// (time-domain law) under the sum of its spheres' rotational forces, with the whole damping.
struct MasslessComposite {
    TestSystem sys;
    std::vector<std::string> description;
    Real frx_total = 0, frz_total = 0, Ax0 = 0, Az0 = 0, L = 0;

    explicit MasslessComposite(std::vector<std::string> lines) : description(std::move(lines)) {
        sys.options().set(Option::ShowErrors, false);
        sys.init(description);
        const Object& o = sys.o(1);
        for (int i = o.first; i <= o.last(); ++i) {
            frx_total += sys.frx(i);
            frz_total += sys.frz(i);
        }
        Ax0 = o.Ax;
        Az0 = o.Az;
        L = o.L;
    }
    void run(int steps, Real damping = 0.01L) {
        RelaxationSettings settings;
        settings.max_steps = steps;
        settings.force_error_uN = 0;
        settings.damping = damping;
        run_calculate(sys.session, settings);
    }
};

const std::vector<std::string> MASSLESS_CUBE{"Ccube A 0 0 0 10 40 30 1 0", "Bb A 10 0 -8.66 0 0 0 1 1",
                                             ".V A 3000"};
const std::vector<std::string> MASSLESS_SQUARE{"Ssq A 0 0 0 10 -25 35 1 0", "Bb A 6 9 -8 0 0 0 1 1",
                                               ".V A 3000"};

TEST(CompositeSteps, MasslessCompositeTakesOneDefaultStepOfTheWholeBody) {
    for (const auto& lines : {MASSLESS_CUBE, MASSLESS_SQUARE}) {
        MasslessComposite c(lines);
        ASSERT_NE(c.frx_total, 0);
        ASSERT_NE(c.frz_total, 0);
        c.run(1);
        const Real K = 0.05L * 0.05L / (2e-5L * c.L);
        const Object& o = c.sys.o(1);
        EXPECT_NEAR(o.Ax, c.Ax0 + c.frx_total / std::sin(c.Az0) * K, 1e-12L) << lines[0];
        EXPECT_NEAR(o.Az, c.Az0 + c.frz_total * K, 1e-12L) << lines[0];
        EXPECT_GT(std::fabs(o.Ax - c.Ax0), 1e-6L) << lines[0];
    }
}

TEST(CompositeSteps, MasslessCompositeInTimeDomainUsesTheWholeBodysMassAndDamping) {
    for (const auto& lines : {MASSLESS_CUBE, MASSLESS_SQUARE}) {
        for (Real damping : {0.0L, 1e-4L}) {
            MasslessComposite c(lines);
            c.sys.options().set(Option::SpeedSimulation, true);
            c.run(2, damping);
            // Step 1 keeps the angles and gives the speeds; step 2 feels the same forces again.
            const Real dt = 0.05L, M = 1e-4L;
            const Real ax1 = dt / M * (c.frx_total / std::sin(c.Az0) / c.L);
            const Real az1 = dt / M * (c.frz_total / c.L);
            const Real ax2 = ax1 + dt / M * (c.frx_total / std::sin(c.Az0) / c.L - damping * ax1);
            const Real az2 = az1 + dt / M * (c.frz_total / c.L - damping * az1);
            const Object& o = c.sys.o(1);
            EXPECT_NEAR(o.Ax, c.Ax0 + dt * ax1, 1e-12L) << lines[0] << " damping " << damping;
            EXPECT_NEAR(o.Az, c.Az0 + dt * az1, 1e-12L) << lines[0] << " damping " << damping;
            EXPECT_NEAR(o.speed_Ax, ax2, 1e-10L * std::fabs(ax2)) << lines[0] << " damping " << damping;
            EXPECT_NEAR(o.speed_Az, az2, 1e-10L * std::fabs(az2)) << lines[0] << " damping " << damping;
        }
    }
}

// With a mass, the time-domain law of a composite divides both the mass and the damping over
// its spheres: the body of mass M under its total force and the whole damping.
TEST(CompositeSteps, HeavyCompositeInTimeDomainFeelsTheWholeDamping) {
    TestSystem sys;
    sys.options().set(Option::ShowErrors, false);
    sys.options().set(Option::SpeedSimulation, true);
    const std::vector<std::string> lines{"Ccube A 0 0 0 10 40 30 1 8", "Bb A 10 0 -8.66 0 0 0 1 1",
                                         ".V A 30000"};
    sys.init(lines);
    Real frx = 0, frz = 0;
    for (int i = 1; i <= 8; ++i) {
        frx += sys.frx(i);
        frz += sys.frz(i);
    }
    ASSERT_NE(frx, 0);
    const Real Az0 = sys.o(1).Az;
    RelaxationSettings settings;
    settings.max_steps = 2;
    settings.force_error_uN = 0;
    settings.damping = 0.004L;
    run_calculate(sys.session, settings);
    const Real dt = 0.05L, M = 0.008L, L = 0.1L, a = settings.damping;
    const Real ax1 = dt / M * (frx / std::sin(Az0) / L), az1 = dt / M * (frz / L);
    const Real ax2 = ax1 + dt / M * (frx / std::sin(Az0) / L - a * ax1);
    const Real az2 = az1 + dt / M * (frz / L - a * az1);
    EXPECT_NEAR(sys.o(1).speed_Ax, ax2, 1e-10L * std::fabs(ax2));
    EXPECT_NEAR(sys.o(1).speed_Az, az2, 1e-10L * std::fabs(az2));
}

} // namespace
} // namespace ambrel
