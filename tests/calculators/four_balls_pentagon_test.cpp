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
    // Balls of the first pair hang higher when a1 > a2: the second pair pushes them down.
    EXPECT_LT(number_after(sink.lines[6], "Force Fz: "), 0);
}

TEST(FourBalls, FloatingPointFaultsStopTheReport) {
    ExtraFields f;
    f.NEa1 = 0;
    f.NEa2 = 0; // all distances zero: 0/0
    VectorSink sink;
    Status result = four_balls_report(f, sink);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    EXPECT_EQ(sink.lines, std::vector<std::string>{"Four suspended balls with two angles:"});

    f = ExtraFields{};
    f.NEV = 1e4900L; // the square of the charge exceeds the extended range
    sink.lines.clear();
    result = four_balls_report(f, sink);
    EXPECT_EQ(result.message(), "Floating point overflow");
    EXPECT_EQ(sink.lines.size(), 1u);
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

TEST(Pentagon, FloatingPointFaultsStopAfterTheLinesBefore) {
    ExtraFields f;
    f.NE5d = 3; // support beyond the circumradius: negative tangent, then a negative root
    VectorSink sink;
    Status result = pentagon_report(f, sink);
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    ASSERT_EQ(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines[2].rfind("Tangent: -", 0), 0u) << sink.lines[2];

    f = ExtraFields{};
    f.NE5r = 0; // the voltage factor divides by the radius
    sink.lines.clear();
    result = pentagon_report(f, sink);
    EXPECT_EQ(result.message(), "Floating point division by zero");
    EXPECT_EQ(sink.lines.size(), 3u);

    f = ExtraFields{};
    f.NE5L = 1; // string shorter than the offset of the ball
    sink.lines.clear();
    result = pentagon_report(f, sink);
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    EXPECT_EQ(sink.lines.size(), 2u);
}

} // namespace
} // namespace ambrel
