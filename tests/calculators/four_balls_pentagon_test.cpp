// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/calculator_constants.h"
#include "calculators/four_balls_pentagon.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ambrel {
namespace {

// The number that follows the label in a report line.
long double number_after(const std::string& line, const std::string& label) {
    const auto pos = line.find(label);
    EXPECT_NE(pos, std::string::npos) << line;
    return std::stold(line.substr(pos + label.size()));
}

// The calculators' multiples of 4 pi e0 are literals of their own: each must be the multiple
// it is named after, to the last digits of the extended type.
TEST(CalculatorConstants, MultiplesOfFourPiE0) {
    using namespace calc;
    const Real four_pi_e0 = 4 * PI * EPSILON_0;
    // Relative to the extended type's precision: gtest's EXPECT_NEAR would round to double.
    const auto near = [](Real value, Real expected) { return std::fabs(value / expected - 1) < 1e-18L; };
    EXPECT_TRUE(near(EIGHT_PI_E0, 2 * four_pi_e0));
    EXPECT_TRUE(near(TWELVE_PI_E0, 3 * four_pi_e0));
    EXPECT_TRUE(near(SIXTEEN_PI_E0, 4 * four_pi_e0));
    EXPECT_TRUE(near(ONE_OVER_FOUR_PI_E0, 1 / four_pi_e0));
    EXPECT_TRUE(near(TWO_OVER_FOUR_PI_E0, 2 / four_pi_e0));
    EXPECT_TRUE(near(DEGREES_PER_RADIAN, 180 / PI));
}

TEST(FourBalls, DefaultReport) {
    VectorSink sink;
    const Status result = four_balls_report(ExtraFields{}, sink);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(sink.lines, (std::vector<std::string>{
                              "Four suspended balls with two angles:",
                              "Capacitance:  2.546240956 pF",
                              "Charge Q1: 12.731204778 nC",
                              "Charge Q2: 12.731204778 nC",
                              "Force F1: 653.988181761 uN",
                              "Force F2: 653.988181761 uN",
                              "Force Fz:  0.000000000 uN",
                              "Gravity force: 3924.000000000 uN",
                          }));
}

// The closed forms against the two potential equations of the point-charge model, solved here
// directly: 4 pi e0 V = Q1 (1/r + 1/d1) + 2 Q2 / d and the same with 1 and 2 exchanged.
TEST(FourBalls, ChargesSolveThePotentialEquations) {
    ExtraFields f;
    f.NEa1 = 35;
    f.NEa2 = 12;
    f.NEr = 0.5L;
    VectorSink sink;
    ASSERT_TRUE(four_balls_report(f, sink).ok());
    ASSERT_EQ(sink.lines.size(), 8u);

    const long double k = 1.1126500560535694421e-10L, pi = 3.1415926535897932385L;
    const long double r = 0.005L, L = 0.135L, a1 = 35 * pi / 180, a2 = 12 * pi / 180, V = 20000;
    const long double d1 = 2 * L * std::sin(a1), d2 = 2 * L * std::sin(a2);
    const long double d = std::sqrt(2.0L) * L * std::sqrt(1 - std::cos(a1) * std::cos(a2));
    const long double a = 1 / r + 1 / d1, b = 2 / d, c = 2 / d, e = 1 / r + 1 / d2;
    const long double det = a * e - b * c;
    const long double Q1 = k * V * (e - b) / det, Q2 = k * V * (a - c) / det;

    EXPECT_NEAR(number_after(sink.lines[1], "Capacitance: "), 2 * (Q1 + Q2) / V * 1e12L, 1e-9);
    EXPECT_NEAR(number_after(sink.lines[2], "Charge Q1: "), Q1 * 1e9L, 1e-9);
    EXPECT_NEAR(number_after(sink.lines[3], "Charge Q2: "), Q2 * 1e9L, 1e-9);
    // Coulomb forces of the three other balls on ball 1, outward along its own plane.
    const long double F1 = (Q1 * Q1 / (d1 * d1) + Q1 * Q2 * d1 / (d * d * d)) / k;
    EXPECT_NEAR(number_after(sink.lines[4], "Force F1: "), F1 * 1e6L, 1e-8);
    // Balls of the first pair hang higher when a1 > a2: they push the second pair down.
    EXPECT_LT(number_after(sink.lines[6], "Force Fz: "), 0);
}

// Balls 1 and 3 hang at a1 in the x-z plane, balls 2 and 4 at a2 in the y-z plane, all from one
// point: the forces of the report are the Coulomb sums on ball 1 (F1, outward) and on ball 2
// (F2 outward, Fz upward), from the charges of the two potential equations.
TEST(FourBalls, ForcesAreTheCoulombSumsOnABallOfEachPair) {
    ExtraFields f;
    f.NEa1 = 14;
    f.NEa2 = 31;
    f.NEr = 0.6L;
    f.NEL = 16;
    f.NEV = 15000;
    f.NEm = 0.35L;
    VectorSink sink;
    ASSERT_TRUE(four_balls_report(f, sink).ok());
    ASSERT_EQ(sink.lines.size(), 8u);

    const long double k = 1.1126500560535694421e-10L, pi = 3.1415926535897932385L;
    const long double r = 0.006L, L = 0.16L, a1 = 14 * pi / 180, a2 = 31 * pi / 180, V = 15000;
    struct P {
        long double x, y, z;
    };
    const P ball[4] = {{L * std::sin(a1), 0, -L * std::cos(a1)},
                       {0, L * std::sin(a2), -L * std::cos(a2)},
                       {-L * std::sin(a1), 0, -L * std::cos(a1)},
                       {0, -L * std::sin(a2), -L * std::cos(a2)}};
    const auto dist = [&](int i, int j) {
        return std::sqrt((ball[i].x - ball[j].x) * (ball[i].x - ball[j].x) +
                         (ball[i].y - ball[j].y) * (ball[i].y - ball[j].y) +
                         (ball[i].z - ball[j].z) * (ball[i].z - ball[j].z));
    };
    // Potential of ball 1 and of ball 2: Q_i / r plus Q_j / d_ij of the three others.
    const long double a = 1 / r + 1 / dist(0, 2), b = 1 / dist(0, 1) + 1 / dist(0, 3);
    const long double c = 1 / dist(1, 0) + 1 / dist(1, 2), e = 1 / r + 1 / dist(1, 3);
    const long double det = a * e - b * c;
    const long double Q1 = k * V * (e - b) / det, Q2 = k * V * (a - c) / det;
    const long double Q[4] = {Q1, Q2, Q1, Q2};
    const auto force_on = [&](int i) {
        P total{0, 0, 0};
        for (int j = 0; j < 4; ++j) {
            if (j == i)
                continue;
            const long double d = dist(i, j), s = Q[i] * Q[j] / (k * d * d * d);
            total.x += s * (ball[i].x - ball[j].x);
            total.y += s * (ball[i].y - ball[j].y);
            total.z += s * (ball[i].z - ball[j].z);
        }
        return total;
    };
    const P on1 = force_on(0), on2 = force_on(1);
    EXPECT_NEAR(number_after(sink.lines[2], "Charge Q1: "), Q1 * 1e9L, 1e-9);
    EXPECT_NEAR(number_after(sink.lines[3], "Charge Q2: "), Q2 * 1e9L, 1e-9);
    EXPECT_NEAR(number_after(sink.lines[4], "Force F1: "), on1.x * 1e6L, 1e-8);
    EXPECT_NEAR(number_after(sink.lines[5], "Force F2: "), on2.y * 1e6L, 1e-8);
    EXPECT_NEAR(number_after(sink.lines[6], "Force Fz: "), on2.z * 1e6L, 1e-8);
    EXPECT_NEAR(on1.z, -on2.z, 1e-12L * std::fabs(on2.z)); // what pushes one pair up pulls the other down
    EXPECT_GT(std::fabs(on2.z) * 1e6L, 1);
    EXPECT_NEAR(number_after(sink.lines[7], "Gravity force: "), 0.35e-3L * 9.81L * 1e6L, 1e-9);
    EXPECT_NEAR(number_after(sink.lines[1], "Capacitance: "), 2 * (Q1 + Q2) / V * 1e12L, 1e-9);
}

TEST(FourBalls, FloatingPointFaultsStopTheReport) {
    ExtraFields f;
    f.NEa1 = 1e-4000L;
    f.NEa2 = 1e-4000L; // angles in range whose distances underflow to zero: 0/0
    VectorSink sink;
    Status result = four_balls_report(f, sink);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    EXPECT_EQ(sink.lines, std::vector<std::string>{"Four suspended balls with two angles:"});
}

// A field outside its physical range is refused by its label, with its value and the range, before
// anything is written: no negative capacitance of a negative radius, no forces of 250 digits.
TEST(FourBalls, FieldsOutOfTheirRangesAreRefusedByName) {
    const std::pair<Real ExtraFields::*, Real> cases[] = {
        {&ExtraFields::NEr, -1},     {&ExtraFields::NEL, 0},       {&ExtraFields::NEa1, 0},
        {&ExtraFields::NEa2, 90.5L}, {&ExtraFields::NEV, 1e4900L}, {&ExtraFields::NEm, 1e308L}};
    const std::string messages[] = {
        "Radius (cm): '-1' is out of range (above 0, up to 1000)",
        "Line length (cm, to ball center): '0' is out of range (above 0, up to 10000)",
        "Angle 1: '0' is out of range (above 0, up to 90)",
        "Angle 2: '90.5' is out of range (above 0, up to 90)",
        "Voltage: '1E4900' is out of range (from -1000000000, up to 1000000000)",
        "Mass (g): '1E308' is out of range (above 0, up to 10000)"};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        ExtraFields f;
        f.*(cases[k].first) = cases[k].second;
        VectorSink sink;
        const Status result = four_balls_report(f, sink);
        EXPECT_EQ(result.message(), messages[k]);
        EXPECT_TRUE(sink.lines.empty()) << messages[k];
    }
    // The edges of the ranges are values like any other.
    ExtraFields edges;
    edges.NEa1 = 90;
    edges.NEV = -1e9L;
    VectorSink sink;
    EXPECT_TRUE(four_balls_report(edges, sink).ok());
}

TEST(Pentagon, DefaultReport) {
    VectorSink sink;
    EXPECT_TRUE(pentagon_report(ExtraFields{}, sink).ok());
    EXPECT_EQ(sink.lines, (std::vector<std::string>{
                              "Five balls in a pentagon (comparing alternative calculations):",
                              "Capacitance:  2.117107030 pF",
                              "Tangent:  0.144189017 ( 0.144189017) Angle:  8.204872948",
                              "Voltage: 10741.351427264 V (10741.351427264 V)",
                              "Charge:  4.548118125 nC ( 4.548118125 nC)",
                              "Force: 565.797704558 uN",
                          }));
}

// The outward force on one ball must balance its weight times the tangent of the string angle.
TEST(Pentagon, ForceBalancesWeightAtTheReportedAngle) {
    ExtraFields f;
    f.NE5x = 2.5L;
    f.NE5m = 0.25L;
    VectorSink sink;
    ASSERT_TRUE(pentagon_report(f, sink).ok());
    ASSERT_EQ(sink.lines.size(), 6u);
    const long double t = number_after(sink.lines[2], "Tangent: ");
    const long double F = number_after(sink.lines[5], "Force: ");
    // The tangent is printed with 9 decimals: about 2e-6 uN of uncertainty here.
    EXPECT_NEAR(F, 0.25e-3L * 9.81L * t * 1e6L, 5e-6);
}

// Five point charges at the corners of a regular pentagon of side a = 2r + x, diagonal
// b = a (1 + sqrt 5) / 2, circumradius R = a / (2 sin 36 deg): each ball is at
// V = Q (1/r + 2/a + 2/b) / (4 pi e0) and is pushed outward by its two neighbours (54 degrees
// off the radius) and its two far balls (18 degrees off); that push holds it at tan A m g.
TEST(Pentagon, ReportFollowsThePointChargeBalanceOfFiveBalls) {
    ExtraFields f;
    f.NE5r = 0.6L;
    f.NE5x = 2.2L;
    f.NE5L = 18;
    f.NE5m = 0.3L;
    f.NE5d = 0.5L;
    VectorSink sink;
    ASSERT_TRUE(pentagon_report(f, sink).ok());
    ASSERT_EQ(sink.lines.size(), 6u);

    const long double k = 1.1126500560535694421e-10L, pi = 3.1415926535897932385L;
    const long double r = 0.006L, a = 0.012L + 0.022L, L = 0.18L, m = 0.3e-3L, s = 0.005L;
    const long double b = a * (1 + std::sqrt(5.0L)) / 2;
    const long double R = a / (2 * std::sin(pi / 5));
    const long double t = (R - s) / std::sqrt(L * L - (R - s) * (R - s));
    const long double potential = 1 / r + 2 / a + 2 / b; // per unit charge, times 4 pi e0
    const long double push = 2 * std::cos(0.3L * pi) / (a * a) + 2 * std::cos(0.1L * pi) / (b * b);
    const long double Q = std::sqrt(m * 9.81L * t * k / push);
    const long double V = Q * potential / k;
    const long double C = 5 * k / potential;

    const auto near = [](long double value, long double expected, long double tolerance) {
        return std::fabs(value - expected) <= tolerance * std::fabs(expected);
    };
    EXPECT_TRUE(near(number_after(sink.lines[1], "Capacitance: "), C * 1e12L, 1e-9L)) << sink.lines[1];
    EXPECT_TRUE(near(number_after(sink.lines[2], "Tangent: "), t, 1e-8L)) << sink.lines[2];
    EXPECT_TRUE(near(number_after(sink.lines[2], "("), t, 1e-8L)) << sink.lines[2];
    EXPECT_TRUE(near(number_after(sink.lines[2], "Angle: "), std::atan(t) * 180 / pi, 1e-9L))
        << sink.lines[2];
    EXPECT_TRUE(near(number_after(sink.lines[3], "Voltage: "), V, 1e-12L)) << sink.lines[3];
    EXPECT_TRUE(near(number_after(sink.lines[3], "("), V, 1e-12L)) << sink.lines[3];
    EXPECT_TRUE(near(number_after(sink.lines[4], "Charge: "), Q * 1e9L, 1e-9L)) << sink.lines[4];
    EXPECT_TRUE(near(number_after(sink.lines[4], "("), Q * 1e9L, 1e-9L)) << sink.lines[4];
    EXPECT_TRUE(near(number_after(sink.lines[5], "Force: "), m * 9.81L * t * 1e6L, 1e-9L)) << sink.lines[5];
}

TEST(Pentagon, FloatingPointFaultsStopAfterTheLinesBefore) {
    ExtraFields f;
    f.NE5d = 3; // support beyond the circumradius: negative tangent, then a negative root
    VectorSink sink;
    Status result = pentagon_report(f, sink);
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    ASSERT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines[2].rfind("Tangent: -", 0), 0u) << sink.lines[2];

    f = ExtraFields{};
    f.NE5r = 0; // no ball: refused before anything is written
    sink.lines.clear();
    result = pentagon_report(f, sink);
    EXPECT_EQ(result.message(), "Radius (cm): '0' is out of range (above 0, up to 1000)");
    EXPECT_TRUE(sink.lines.empty());

    f = ExtraFields{};
    f.NE5L = 1; // string shorter than the offset of the ball
    sink.lines.clear();
    result = pentagon_report(f, sink);
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    EXPECT_EQ(sink.lines.size(), 2u);
}

} // namespace
} // namespace ambrel
