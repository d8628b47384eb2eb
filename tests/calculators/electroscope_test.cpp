// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope.h"
#include "calculators/four_balls_pentagon.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ambrel {
namespace {

// The number that follows the last ": " of a report line.
long double line_value(const std::string& line) {
    const auto pos = line.rfind(": ");
    EXPECT_NE(pos, std::string::npos) << line;
    return std::stold(line.substr(pos + 2));
}

std::vector<std::string> report(const ElectroscopeFields& fields, Status* result = nullptr) {
    VectorSink sink;
    const Status r = electroscope_report(fields, sink);
    if (result)
        *result = r;
    else
        EXPECT_TRUE(r.ok()) << r.message();
    return sink.lines;
}

std::string fixed15(const char* number) {
    std::string text(number);
    return std::string(15 - text.size(), ' ') + text;
}

TEST(Electroscope, DefaultReport) {
    const std::vector<std::string> lines = report(ElectroscopeFields{});
    const std::vector<const char*> two_balls = {
        "4.46084370", "306.12734533", "4.61392328", "1.29503418", "1.28382699", "1.29213601", "7.12556214",
        "7.18776489", "7.14154429",   "4.89357757", "7.55744927", "7.62342218", "7.57440010", "7.78968543",
        "5.04395445", "7.18776489",   "4.61392328", "7.57339756", "4.89292986"};
    const std::vector<std::vector<const char*>> polygons = {
        {"5.28453954", "1.56466414", "3.81735652", "7.31918708"},
        {"6.66885708", "1.84200163", "4.08259884", "8.86557051"},
        {"8.20487295", "2.11710703", "4.54811812", "10.74135143"}};
    ASSERT_EQ(lines.size(), 2u + 19u + 3 * 5u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Two balls:");
    EXPECT_EQ(lines[2], "Angle with vertical (A2):      4.46084370 degrees");
    for (std::size_t i = 0; i < two_balls.size(); ++i)
        EXPECT_NE(lines[2 + i].find(": " + fixed15(two_balls[i]) + " "), std::string::npos) << lines[2 + i];
    EXPECT_EQ(lines[14], "Voltage Vp2=2Q1/C2:      7.57440010 kV <- Best");
    EXPECT_EQ(lines[19], "Approximate voltage directly from energy derivative, using C2 (Russel) (Vc2): "
                         "     7.57339756 kV <-Best");
    const char* titles[] = {"Three balls:", "Four balls:", "Five balls:"};
    for (std::size_t n = 0; n < 3; ++n) {
        const std::size_t first = 21 + 5 * n;
        EXPECT_EQ(lines[first], titles[n]);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_NE(lines[first + 1 + i].find(": " + fixed15(polygons[n][i]) + " "), std::string::npos)
                << lines[first + 1 + i];
    }
    EXPECT_EQ(lines[22], "Angle with vertical for 3 balls:      5.28453954 degrees");
    EXPECT_EQ(lines[35], "Ap. voltage on the 5 balls V5:     10.74135143 kV");
}

// Lines 8 and 16 are V1 = 2Q/C1 and Vc1, lines 3 and 17 are Q and C1 Vc1 / 2: the same
// quantities computed two ways, for any input.
TEST(Electroscope, PointChargeVoltageAndChargeAgreeBothWays) {
    const struct {
        Real Emb, Emf, EL, Ed, Er, Ex;
    } cases[] = {{0.4L, 0, 13.5L, 0.2L, 0.75L, 1},  {0.1L, 0.05L, 30, 0, 0.3L, 2.5L},
                 {2, 0.3L, 8, 1, 1.2L, 0.02L},      {0.05L, 0, 100, 0.5L, 0.4L, 7},
                 {1e-3L, 0, 13.5L, 0.2L, 0.75L, 0}, {5, 1, 20, 0.1L, 2, 10}};
    for (const auto& c : cases) {
        ElectroscopeFields f;
        f.Emb = c.Emb;
        f.Emf = c.Emf;
        f.EL = c.EL;
        f.Ed = c.Ed;
        f.Er = c.Er;
        f.Ex = c.Ex;
        const auto lines = report(f);
        ASSERT_GE(lines.size(), 21u);
        ASSERT_EQ(lines[1], "Two balls:");
        // One unit of the last printed digit.
        EXPECT_NEAR(line_value(lines[9]), line_value(lines[17]), 1.01e-8) << lines[9] << '\n' << lines[17];
        EXPECT_NEAR(line_value(lines[4]), line_value(lines[18]), 1.01e-8) << lines[4] << '\n' << lines[18];
    }
}

// A ball hangs with its own mass and half the wire's: a wire of w grams reads as a ball w/2
// grams heavier, in every line of the report, and the string angle follows from that mass.
TEST(Electroscope, HalfTheWireMassAddsToTheBall) {
    ElectroscopeFields wired;
    wired.Emb = 0.25L;
    wired.Emf = 0.3L;
    wired.Ex = 1.3L;
    wired.Ed = 0.1L;
    ElectroscopeFields heavier = wired;
    heavier.Emb = 0.4L;
    heavier.Emf = 0;
    const auto lines = report(wired);
    ASSERT_EQ(lines.size(), 36u);
    EXPECT_EQ(lines, report(heavier));
    ElectroscopeFields bare = wired;
    bare.Emf = 0;
    EXPECT_NE(lines, report(bare));

    // Offset of a ball from its support h = x/2 + r - d, tan A = h / sqrt(L^2 - h^2), and the
    // force that holds it F = m g tan A with m = 0.25 g + 0.15 g.
    const long double h = 0.0065L + 0.0075L - 0.001L, L = 0.135L;
    const long double t = h / std::sqrt(L * L - h * h);
    EXPECT_NEAR(line_value(lines[2]), std::atan(t) * 180 / 3.14159265358979323846L, 2e-8);
    EXPECT_NEAR(line_value(lines[3]), 0.4e-3L * 9.81L * t * 1e6L, 2e-8);
    // Four balls at the corners of a square of side 2r + x: offset (2r + x)/sqrt 2 - d.
    const long double h4 = (0.015L + 0.013L) / std::sqrt(2.0L) - 0.001L;
    EXPECT_EQ(lines[26], "Four balls:");
    EXPECT_NEAR(line_value(lines[27]),
                std::atan(h4 / std::sqrt(L * L - h4 * h4)) * 180 / 3.14159265358979323846L, 2e-8);
}

TEST(Electroscope, AlmostTouchingLinesBelowATenthOfTheRadius) {
    ElectroscopeFields f;
    f.Ex = 0.05L;
    auto lines = report(f);
    ASSERT_EQ(lines.size(), 2u + 19u + 3u + 15u);
    EXPECT_EQ(lines[21].rfind("Exact capacitance when the balls are almost touching: ", 0), 0u);
    EXPECT_EQ(lines[22].rfind("Exact charge when the balls are almost touching: ", 0), 0u);
    EXPECT_EQ(lines[23].rfind("Exact voltage when the balls are almost touching: ", 0), 0u);
    // Two touching spheres: C = 2 ln 2 4 pi e0 r, charge C V / 2 on each.
    const long double Ct = 2 * std::log(2.0L) * 1.1126500560535694421e-10L * 0.0075L * 1e12L;
    EXPECT_NEAR(line_value(lines[21]), Ct, 1e-8);
    EXPECT_NEAR(line_value(lines[22]), Ct * line_value(lines[23]) / 2, 1e-6);
    EXPECT_EQ(lines[24], "Three balls:");

    f.Ex = 0.1L;
    lines = report(f);
    EXPECT_EQ(lines.size(), 2u + 19u + 15u);
    EXPECT_EQ(lines[21], "Three balls:");
}

TEST(Electroscope, TooFarAndTooClose) {
    ElectroscopeFields f;
    f.Ex = 30;
    EXPECT_EQ(report(f), (std::vector<std::string>{"", "The balls are too far."}));

    f = ElectroscopeFields{};
    f.Ex = 0;
    f.Ed = 0.8L;
    const auto lines = report(f);
    ASSERT_EQ(lines.size(), 2u + 15u);
    EXPECT_EQ(lines[1], "The balls are too close for 2 balls");
    EXPECT_EQ(lines[2], "Three balls:");
    EXPECT_EQ(lines[12], "Five balls:");
    EXPECT_GT(line_value(lines[3]), 0); // offsets of the polygons still positive
}

TEST(Electroscope, CheckBoxesChooseThePolygonSections) {
    ElectroscopeFields f;
    f.CB3 = f.CB4 = f.CB5 = false;
    EXPECT_EQ(report(f).size(), 21u);

    f.CB4 = true;
    auto lines = report(f);
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[21], "Four balls:");

    f.CB4 = false;
    f.CB3 = f.CB5 = true;
    lines = report(f);
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[21], "Three balls:");
    EXPECT_EQ(lines[26], "Five balls:");
}

TEST(Electroscope, FiveBallSectionReproducesThePentagonCalculator) {
    ElectroscopeFields f;
    f.Er = 0.5L;
    f.Ex = 1.7L;
    f.EL = 20;
    f.Emb = 0.3L;
    f.Ed = 0.4L;
    const auto lines = report(f);
    ASSERT_EQ(lines.size(), 36u);

    ExtraFields e;
    e.NE5r = 0.5L;
    e.NE5x = 1.7L;
    e.NE5L = 20;
    e.NE5m = 0.3L;
    e.NE5d = 0.4L;
    VectorSink sink;
    ASSERT_TRUE(pentagon_report(e, sink).ok());
    // Pentagon lines: "Tangent: t (t2) Angle: A", "Voltage: V1 V (V2 V)", "Charge: Q1 nC (...)".
    EXPECT_NEAR(line_value(lines[32]), line_value(sink.lines[2]), 1e-8);
    EXPECT_NEAR(line_value(lines[33]), line_value(sink.lines[1]), 1e-8);
    EXPECT_NEAR(line_value(lines[34]), std::stold(sink.lines[4].substr(8)), 1e-8);
    EXPECT_NEAR(line_value(lines[35]) * 1000, std::stold(sink.lines[3].substr(9)), 1e-5);
}

TEST(Electroscope, FloatingPointFaultsStopTheReport) {
    ElectroscopeFields f;
    f.EL = 1.6L; // reaches two, three and four balls, but is shorter than the five-ball offset
    Status result = Status::success();
    auto lines = report(f, &result);
    EXPECT_EQ(result.message(), "Invalid floating point operation");
    ASSERT_EQ(lines.size(), 2u + 19u + 10u + 1u);
    EXPECT_EQ(lines.back(), "Five balls:");

    // Fields outside their physical ranges are refused by name before anything is written (a
    // radius of 0 divided by zero after a half-written "Two balls:", a line of 1e311 cm overflowed).
    const std::pair<Real ElectroscopeFields::*, Real> out_of_range[] = {
        {&ElectroscopeFields::Er, 0}, {&ElectroscopeFields::EL, 1e311L}, {&ElectroscopeFields::Emb, -1}};
    const std::string messages[] = {
        "Ball radius r (cm): '0' is out of range (above 0, up to 1000)",
        "Suspension line length (cm): '1E311' is out of range (above 0, up to 10000)",
        "Ball mass (g): '-1' is out of range (above 0, up to 10000)"};
    for (std::size_t k = 0; k < std::size(out_of_range); ++k) {
        f = ElectroscopeFields{};
        f.*(out_of_range[k].first) = out_of_range[k].second;
        lines = report(f, &result);
        EXPECT_EQ(result.message(), messages[k]);
        EXPECT_TRUE(lines.empty()) << messages[k];
    }
}

} // namespace
} // namespace ambrel
