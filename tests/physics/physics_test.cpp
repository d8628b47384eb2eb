// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Charges, forces and rotational forces against closed-form physics and invariants.
#include "../support/rigid_turn.h"
#include "../support/test_system.h"
#include "description/reader.h"
#include "physics/evaluation.h"
#include "solver/initialize.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel {
namespace {

using testing_support::FOUR_PI_E0;
using testing_support::rel;

using System = testing_support::TestSystem;

TEST(Charges, IsolatedBallHoldsFourPiE0RV) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 1 1", ".V A 1"});
    EXPECT_LT(rel(sys.Q(1), FOUR_PI_E0 * 0.01L), 1e-17L);
    EXPECT_LT(rel(sys.ev().total_capacitance, FOUR_PI_E0 * 0.01L), 1e-17L);
    EXPECT_TRUE(sys.said("Total capacitance =  1.112650056 pF"));
    // Density extremes: one positive value, the other extreme at its neutral value... both equal here.
    EXPECT_EQ(sys.ev().density_max, sys.ev().density_min);
}

TEST(Charges, TwoBallsMatchTheClosedFormInverse) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 1 1", "Bb B 3 0 0 0 0 0 0.5 1", ".V A 100", ".V B -40"});
    const Real r1 = 0.01L, r2 = 0.005L, d = 0.03L;
    const Real p11 = 1 / r1, p22 = 1 / r2, p12 = 1 / d;
    const Real det = p11 * p22 - p12 * p12;
    const Real q1 = FOUR_PI_E0 * (p22 * 100 - p12 * -40) / det;
    const Real q2 = FOUR_PI_E0 * (-p12 * 100 + p11 * -40) / det;
    EXPECT_LT(rel(sys.Q(1), q1), 1e-16L);
    EXPECT_LT(rel(sys.Q(2), q2), 1e-16L);
    const Real total = FOUR_PI_E0 * (p22 + p11 - 2 * p12) / det;
    EXPECT_LT(rel(sys.ev().total_capacitance, total), 1e-16L);
    EXPECT_LT(rel(sys.ev().density_max, q1 / (r1 * r1)), 1e-16L);
    EXPECT_LT(rel(sys.ev().density_min, q2 / (r2 * r2)), 1e-16L);
}

TEST(Charges, SymmetricSystemsGetEqualCharges) {
    System sys;
    sys.init(default_description());
    for (int i = 2; i <= 4; ++i)
        EXPECT_LT(rel(sys.Q(i), sys.Q(1)), 1e-15L) << i;
    // A grounded conductor only carries induced charge, of the other sign.
    sys.init({"Ba A 0 0 0 0 0 0 1 1", "Bb B 3 0 0 0 0 0 1 1", ".V A 100"});
    EXPECT_GT(sys.Q(1), 0);
    EXPECT_LT(sys.Q(2), 0);
    // All voltages 0: no charge, neutral density extremes.
    sys.init({"Ba A 0 0 0 0 0 0 1 1"});
    EXPECT_EQ(sys.Q(1), 0);
    EXPECT_EQ(sys.ev().density_max, 1e-9L);
    EXPECT_EQ(sys.ev().density_min, -1e-9L);
}

TEST(Charges, RigidTurnOfAnIsolatedObjectKeepsItsCharges) {
    System a, b;
    a.init({"Ccube A 0 0 0 10 0 0 1 8", ".V A 1000"});
    b.init({"Ccube A 0 0 0 10 40 25 1 8", ".V A 1000"});
    for (int i = 1; i <= 8; ++i)
        EXPECT_LT(rel(a.Q(i), b.Q(i)), 1e-14L) << i;
    // The turned cube keeps its shape about the end of the string.
    const Real ex = a.s(1).x - a.s(7).x, ey = a.s(1).y - a.s(7).y, ez = a.s(1).z - a.s(7).z;
    const Real fx = b.s(1).x - b.s(7).x, fy = b.s(1).y - b.s(7).y, fz = b.s(1).z - b.s(7).z;
    EXPECT_NEAR(std::sqrt(ex * ex + ey * ey + ez * ez), std::sqrt(fx * fx + fy * fy + fz * fz), 1e-17L);
}

TEST(Charges, PositionsFollowTheStringAndTheRotationCarriesDownIntoTheString) {
    System sys;
    sys.init({"Ba A 1 2 3 10 90 30 1 1", "Lli A 0 0 0 10 0 90 1 1"});
    EXPECT_NEAR(sys.s(1).x, 0.01L, 1e-18L);
    EXPECT_NEAR(sys.s(1).y, 0.02L + 0.1L * 0.5L, 1e-17L);
    EXPECT_NEAR(sys.s(1).z, 0.03L - 0.1L * std::cos(PI / 6), 1e-17L);
    // A vertical line of spheres swung to the horizontal along x lies along x: its first
    // sphere (the top, offset +R up) is now nearest to the suspension point.
    const Sphere& top = sys.s(2);
    const Sphere& bottom = sys.s(21);
    EXPECT_NEAR(top.z, bottom.z, 1e-17L);
    EXPECT_NEAR(top.x, 0.1L - 0.01L, 1e-17L);
    EXPECT_NEAR(bottom.x, 0.1L + 0.01L, 1e-17L);
}

// Every sphere of a turned composite sits where the rigid turn of its offset puts its string
// top, one string length down the string; with "Rotate objects" off the offsets stay as built.
TEST(Charges, TurnedCompositesArePlacedByTheRigidTurnOfTheirOffsets) {
    const std::vector<std::string> lines{"Ccube A 1 -2 3 10 35 25 1 8", "Ssq B -5 4 0 12 -120 40 1 2",
                                         "Lli A 6 6 -3 8 200 70 1 1", "Hh B 0 9 2 10 60 15 1 1 0.1 0.19"};
    for (bool rotate : {true, false}) {
        System sys;
        sys.options().set(Option::RotateObjects, rotate);
        sys.init(lines);
        ASSERT_EQ(sys.model().object_count, 4);
        SystemModel expected = sys.model();
        testing_support::place_spheres(expected, rotate);
        for (int i = 1; i <= sys.model().sphere_count; ++i) {
            const Sphere& e = expected.spheres[i];
            EXPECT_NEAR(sys.s(i).x, e.x, 1e-17L) << i << " rotate " << rotate;
            EXPECT_NEAR(sys.s(i).y, e.y, 1e-17L) << i << " rotate " << rotate;
            EXPECT_NEAR(sys.s(i).z, e.z, 1e-17L) << i << " rotate " << rotate;
        }
        // Turned or not, the cube's first and seventh corners stay a diagonal apart.
        EXPECT_NEAR(std::hypot(sys.s(1).x - sys.s(7).x, sys.s(1).y - sys.s(7).y, sys.s(1).z - sys.s(7).z),
                    0.02L, 1e-17L);
    }
    // The turn itself: the top of a vertical line swung by Az about the axis (sin Ax, -cos Ax, 0)
    // comes nearer to the suspension point along the string's horizontal direction.
    const Point3 up = testing_support::turned_offset(0, 0, 1, PI / 3, PI / 2);
    EXPECT_NEAR(up.x, -std::cos(PI / 3), 1e-18L);
    EXPECT_NEAR(up.y, -std::sin(PI / 3), 1e-18L);
    EXPECT_NEAR(up.z, 0, 1e-18L);
}

TEST(Forces, CoulombAndWeight) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 0.1 0.4", "Bb A 3 0 0 0 0 0 0.1 0"});
    sys.ev().Q[1] = 2e-9L;
    sys.ev().Q[2] = 2e-9L;
    compute_forces(sys.model(), sys.ev());
    const Real coulomb = 4e-18L / (FOUR_PI_E0 * 0.03L * 0.03L);
    EXPECT_LT(rel(sys.ev().fx[2], coulomb), 1e-17L);
    EXPECT_LT(rel(sys.ev().fx[1], -coulomb), 1e-17L);
    EXPECT_NEAR(sys.ev().fz[1], -0.0004L * 9.81L, 1e-20L);
    EXPECT_EQ(sys.ev().fz[2], 0);
}

TEST(Forces, OverlappingSpheresRepelWithTheContactForce) {
    System sys;
    sys.init({"Ba A 0 0 0 0 0 0 1 0", "Bb B 1 0 0 0 0 0 1 0"});
    sys.ev().Q[1] = 0;
    sys.ev().Q[2] = 5e-9L;
    compute_forces(sys.model(), sys.ev());
    EXPECT_LT(rel(sys.ev().fx[2], 8.987551787368571e-3L), 1e-15L);
    EXPECT_LT(rel(sys.ev().fx[1], -8.987551787368571e-3L), 1e-15L);
    // Unlike charges, which attract as long as the spheres are apart, are pushed apart the same.
    sys.ev().Q[1] = -5e-9L;
    compute_forces(sys.model(), sys.ev());
    EXPECT_LT(rel(sys.ev().fx[2], 8.987551787368571e-3L), 1e-15L);
    EXPECT_LT(rel(sys.ev().fx[1], -8.987551787368571e-3L), 1e-15L);
    // Exactly touching does not count as overlap.
    sys.init({"Ba A 0 0 0 0 0 0 1 0", "Bb B 2 0 0 0 0 0 1 0"});
    sys.ev().Q[1] = 0;
    compute_forces(sys.model(), sys.ev());
    EXPECT_EQ(sys.ev().fx[2], 0);
}

TEST(Forces, CompositeSpheresShareTheObjectsTotal) {
    for (bool correct : {false, true}) {
        System sys;
        sys.options().set(Option::CorrectRotationForces, correct);
        sys.init({"Ccube A 0 0 0 10 20 15 1 8", "Bb B 3 0 -9 0 0 0 1 1", ".V A 3000", ".V B -3000"});
        // Recompute the per-sphere forces to have the object's total independently.
        System fresh;
        fresh.options().set(Option::CorrectRotationForces, correct);
        fresh.init({"Ccube A 0 0 0 10 20 15 1 8", "Bb B 3 0 -9 0 0 0 1 1", ".V A 3000", ".V B -3000"});
        compute_forces(fresh.model(), fresh.ev());
        Real total_x = 0, total_z = 0;
        for (int i = 1; i <= 8; ++i) {
            total_x += fresh.ev().fx[i];
            total_z += fresh.ev().fz[i];
        }
        for (int i = 1; i <= 8; ++i) {
            EXPECT_LT(rel(sys.ev().fx[i] * 8, total_x), 1e-15L) << correct;
            EXPECT_LT(rel(sys.ev().fz[i] * 8, total_z), 1e-15L) << correct;
            EXPECT_EQ(sys.ev().frx[i], sys.ev().frx[8]);
        }
    }
}

TEST(Forces, SingleBallRotationalForcesAgreeInBothModes) {
    const std::vector<std::string> lines{"Ba A 0 0 0 10 30 40 1 1", "Bb A 5 5 -5 0 0 0 1 1", ".V A 5000"};
    System plain, corrected;
    plain.options().set(Option::CorrectRotationForces, false);
    plain.init(lines);
    corrected.init(lines);
    EXPECT_LT(rel(plain.ev().frx[1], corrected.ev().frx[1]), 1e-15L);
    EXPECT_LT(rel(plain.ev().frz[1], corrected.ev().frz[1]), 1e-15L);
    EXPECT_NE(plain.ev().frx[1], 0);
    // Hanging straight down, pushed sideways in its string's plane by a charged ball beside it:
    // the torque about the suspension point over L is the push itself, in both modes (the arm is
    // the whole string, not one made up from a clamped horizontal distance and a limited cosecant).
    const std::vector<std::string> straight{"Ba A 0 0 0 10 0 0 1 1", "Bb A 3 0 -10 0 0 0 1 1", ".V A 5000"};
    System plain_down, corrected_down;
    plain_down.options().set(Option::CorrectRotationForces, false);
    plain_down.init(straight);
    corrected_down.init(straight);
    EXPECT_GT(std::fabs(corrected_down.ev().fx[1]), 1e-7L); // a push of more than 0.1 uN
    EXPECT_LT(rel(corrected_down.ev().frz[1], corrected_down.ev().fx[1]), 1e-15L);
    EXPECT_LT(rel(corrected_down.ev().frz[1], plain_down.ev().frz[1]), 1e-15L);
    // A fixed ball does not turn: whatever an earlier system left there is gone.
    EXPECT_EQ(corrected.ev().frx[2], 0);
    corrected.ev().frx[2] = 7;
    corrected.ev().frz[2] = -7;
    compute_rotational_forces(corrected.model(), corrected.options(), corrected.ev());
    EXPECT_EQ(corrected.ev().frx[2], 0);
    EXPECT_EQ(corrected.ev().frz[2], 0);
    EXPECT_TRUE(corrected.ev().forces_valid);
}

TEST(Forces, LimitedCosecant) {
    EXPECT_EQ(limited_cosec(0), -1000);
    EXPECT_EQ(limited_cosec(0.0005L), 1000);
    EXPECT_EQ(limited_cosec(-0.0005L), -1000);
    EXPECT_EQ(limited_cosec(PI - 0.0005L), 1000);
    EXPECT_NEAR(limited_cosec(PI / 6), 2, 1e-17L);
    EXPECT_NEAR(limited_cosec(-PI / 2), -1, 1e-18L);
}

// s times the potential (in units of 1/(4 pi e0)) on the axis of a square of side s and unit
// charge spread uniformly, at distance d from its centre, by a direct quadrature of 1/r over the
// square: composite five-point Gauss-Legendre rules on panels x panels squares.
Real square_potential_by_quadrature(Real s, Real d, int panels) {
    const Real a = std::sqrt(5 - 2 * std::sqrt(10.0L / 7)) / 3,
               b = std::sqrt(5 + 2 * std::sqrt(10.0L / 7)) / 3;
    const Real wa = (322 + 13 * std::sqrt(70.0L)) / 900, wb = (322 - 13 * std::sqrt(70.0L)) / 900;
    const Real nodes[5] = {-b, -a, 0, a, b}, weights[5] = {wb, wa, 128.0L / 225, wa, wb};
    const Real h = s / panels;
    Real sum = 0;
    for (int i = 0; i < panels; ++i)
        for (int j = 0; j < panels; ++j)
            for (int k = 0; k < 5; ++k)
                for (int l = 0; l < 5; ++l) {
                    const Real x = -s / 2 + h * (i + (1 + nodes[k]) / 2);
                    const Real y = -s / 2 + h * (j + (1 + nodes[l]) / 2);
                    sum += weights[k] * weights[l] / std::sqrt(x * x + y * y + d * d);
                }
    return sum * (h / 2) * (h / 2) / s;
}

// Two aligned cells of two plates are taken as uniformly charged squares: the constant of the
// pair (the report's "Last cte") is s times the potential on the axis of one, of unit charge, at
// the other's centre. From d = s/4 to 5 s the quadrature's error is below the long double's
// rounding (about 1e-17 of the constant); a closed form rounded in double somewhere is 1e-15 off.
TEST(PlateRule, ItsConstantIsThePotentialOfAUniformSquareOnItsAxis) {
    for (const char* height : {"1", "0.15", "0.05"}) {
        System sys;
        sys.init(
            {"Ssq A 0 0 0 10 0 0 0.5 1", std::string("Ssq B 0 0 ") + height + " 10 0 0 0.5 1", ".V A 1"});
        const Sphere &a = sys.s(25), &b = sys.s(50);
        ASSERT_EQ(a.x, b.x);
        ASSERT_EQ(a.y, b.y);
        const Real d = std::fabs(a.z - b.z), side = a.square_side;
        const Real constant = sys.ev().diagnostics.last_plate_constant;
        const Real direct = square_potential_by_quadrature(side, d, 40);
        EXPECT_LT(rel(constant, direct), 1e-16L) << "B at " << height << " cm";
    }
}

TEST(PlateRule, AppliedExactlyToVerticallyAlignedFlatSquares) {
    const std::string line1 = "Ssq A 0 0 0 10 0 0 0.5 1";
    System sys;
    sys.init({line1, "Ssq B 0 0 1 10 0 0 0.5 1", ".V A 1"});
    ASSERT_EQ(sys.model().sphere_count, 50);
    // 25 aligned pairs between the plates; none within a plate (x or y differ).
    bool found = false;
    for (const auto& l : sys.sink.lines)
        found = found || l.rfind("Balls were considered as aligned flat plates 25 times  (Last cte=", 0) == 0;
    EXPECT_TRUE(found);
    // Shifted by a hair, switched off, or against a ball: plain 1/d.
    for (const auto& other :
         {std::string("Ssq B 0.0000001 0 1 10 0 0 0.5 1"), std::string("Ba B 0 0 1 10 0 0 0.05 1")}) {
        System s2;
        s2.init({line1, other, ".V A 1"});
        for (const auto& l : s2.sink.lines)
            EXPECT_EQ(l.find("aligned flat plates"), std::string::npos) << other;
    }
    System off;
    off.options().set(Option::UseSquares, false);
    off.init({line1, "Ssq B 0 0 1 10 0 0 0.5 1", ".V A 1"});
    for (const auto& l : off.sink.lines)
        EXPECT_EQ(l.find("aligned flat plates"), std::string::npos);

    // A plate turned upright has columns of its own cells on vertical lines, exactly or not as the
    // rounding of cos 90 degrees has it: they never face each other, so its capacitance does not
    // depend on where it hangs (taken as facing, 0.8 % more at some places than at others).
    std::vector<Real> capacitance;
    for (const char* x0 : {"0", "1", "0.3", "-2.5"}) {
        System upright;
        upright.init({std::string("Splate A ") + x0 + " 0 0 10 0 90 1 1", ".V A 1000"});
        for (const auto& l : upright.sink.lines)
            EXPECT_EQ(l.find("aligned flat plates"), std::string::npos) << x0;
        capacitance.push_back(upright.ev().total_capacitance);
    }
    ASSERT_GT(capacitance[0], 0);
    for (const Real c : capacitance)
        EXPECT_NEAR(c, capacitance[0], 1e-12L * capacitance[0]);
}

TEST(PlateRule, ParallelPlatesApproachTheParallelPlateCapacitance) {
    // Two 2 cm squares 1 mm apart at +-V/2: the mutual capacitance tends to e0 A / d (3.54 pF)
    // plus the fringe; it must lie above the ideal value and not far from it.
    System sys;
    sys.init({"Qa A 0 0 0 0 0 0 1 1", "Qb B 0 0 0.1 0 0 0 1 1", ".V A 0.5", ".V B -0.5"});
    Real qa = 0;
    for (int i = 1; i <= 100; ++i)
        qa += sys.Q(i);
    const Real ideal = 8.8541878128e-12L * 0.0004L / 0.001L;
    EXPECT_GT(qa, ideal);
    EXPECT_LT(qa, 1.5L * ideal);
}

TEST(Singular, MessageNamesThePivotAndChargesAreZero) {
    System sys;
    // Spheres 2 and 3 coincide and have the radius 1e-6 m that equals the distance floor.
    sys.init({"Ba A 5 0 0 0 0 0 1 1", "Bb A 0 0 0 0 0 0 0.0001 1", "Bc A 0 0 0 0 0 0 0.0001 1", ".V A 10"});
    EXPECT_TRUE(sys.said("Something wrong (line 3). The n matrix can't be inverted."));
    EXPECT_EQ(sys.ev().total_capacitance, 0);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(sys.Q(i), 0);
    EXPECT_TRUE(sys.said("Total capacitance =  0.000000000 pF"));
}

TEST(Degenerate, SpheresWithoutRadiusAreUnchargedAndNothingIsNotANumber) {
    System sys;
    sys.options().set(Option::ShowForces, true);
    sys.options().set(Option::ShowEfield, true);
    sys.options().set(Option::DistancesCenters, true);
    sys.options().set(Option::DistancesSurfaces, true);
    sys.init({"Ba A 0 0 0 10 0 0 0 1", "Bb A 3 0 0 10 0 0 1 1", "Cc A 0 5 0 10 0 0 0 1",
              "Bd A 0 0 9 0 0 0 -1 1", ".V A 1000"});
    // The reports of the Initialize, forces, fields and distances included, before anything else.
    const std::vector<std::string> reported = sys.sink.lines;
    EXPECT_TRUE(sys.said("Sphere 1 (Ba) has no positive radius or position: it is taken as uncharged"));
    EXPECT_TRUE(sys.said("Sphere 11 (Bd) has no positive radius or position: it is taken as uncharged"));
    EXPECT_EQ(sys.Q(1), 0);
    EXPECT_GT(sys.Q(2), 0);
    // Named once per reading, not at every later evaluation.
    sys.sink.lines.clear();
    sys.session.evaluate();
    EXPECT_TRUE(sys.sink.lines.empty());
    EXPECT_EQ(sys.ev().diagnostics.uncharged, (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_LT(rel(sys.ev().total_capacitance, FOUR_PI_E0 * 0.01L), 1e-12L);
    ASSERT_GT(reported.size(), 20u);
    for (const auto& l : reported) {
        std::string lower;
        for (char c : l)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(lower.find("nan"), std::string::npos) << l;
        EXPECT_EQ(lower.find("inf"), std::string::npos) << l;
    }
}

TEST(Initialize, LargeSystemGuard) {
    auto balls = [](int n) {
        std::vector<std::string> lines;
        for (int i = 0; i < n; ++i)
            lines.push_back("Bb A " + std::to_string(i % 25) + " " + std::to_string(i / 25) +
                            " 0 0 0 0 0.1 1");
        lines.push_back(".V A 100");
        return lines;
    };
    System exact;
    exact.init(balls(500));
    EXPECT_FALSE(exact.said("The calculations with 500 spheres may take some time..."));
    EXPECT_TRUE(exact.ev().forces_valid);

    System skipped;
    const auto r = skipped.init(balls(501));
    EXPECT_FALSE(r.charges_computed);
    EXPECT_TRUE(skipped.said("The calculations with 501 spheres may take some time..."));
    EXPECT_EQ(skipped.sink.lines.back(),
              "Check the option of always calculate charges and initialize to calculate.");
    EXPECT_FALSE(skipped.ev().forces_valid);
    EXPECT_EQ(skipped.Q(1), 0);
    for (const auto& l : skipped.sink.lines)
        EXPECT_NE(l.rfind("Total capacitance", 0), 0u);

    System always;
    always.options().set(Option::AlwaysCalculate, true);
    always.init(balls(501));
    EXPECT_TRUE(always.said("The calculations with 501 spheres may take some time..."));
    EXPECT_FALSE(always.said("Check the option of always calculate charges and initialize to calculate."));
    EXPECT_TRUE(always.ev().forces_valid);
    EXPECT_GT(always.Q(1), 0);
}

TEST(Initialize, EmptyDescriptionAndFlags) {
    System sys;
    sys.init({});
    EXPECT_EQ(sys.sink.lines,
              (std::vector<std::string>{"Reading 0 lines of input", "Total capacitance =  0.000000000 pF"}));
    EXPECT_TRUE(sys.session.system_initialized);
    EXPECT_EQ(ambrel::FOUR_PI_E0, FOUR_PI_E0);
}

} // namespace
} // namespace ambrel
