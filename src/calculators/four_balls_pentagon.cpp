// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/four_balls_pentagon.h"

#include "calculators/calculator_constants.h"
#include "calculators/checked_real.h"
#include "model/units.h"
#include "text/number_format.h"

#include <string>
#include <string_view>

namespace ambrel {

using namespace calc;

namespace {

// Fixed point, 9 decimals, right-aligned in 12 characters.
std::string number_text(CReal value) {
    return real_to_fixed_text(value.value(), 12, 9);
}

void add_line(OutputSink& sink, std::string_view label, CReal value, std::string_view unit) {
    std::string line(label);
    line += number_text(value);
    line += unit;
    sink.add_output_line(line);
}

} // namespace

Status four_balls_report(const ExtraFields& fields, OutputSink& sink) {
    if (Status refused = check_calculator_fields(fields, {"NEr", "NEL", "NEa1", "NEa2", "NEV", "NEm"});
        !refused)
        return refused;
    return run_checked([&] {
        sink.add_output_line("Four suspended balls with two angles:");
        const CReal r = cm_to_m(fields.NEr);
        const CReal L = cm_to_m(fields.NEL);
        // Degrees to radians in checked steps: a huge angle is an overflow, not a bad value.
        const CReal a1 = CReal(fields.NEa1) * PI / 180;
        const CReal a2 = CReal(fields.NEa2) * PI / 180;
        const CReal V = fields.NEV;
        const CReal m = g_to_kg(fields.NEm);

        // Balls 1 and 3 are d1 apart, balls 2 and 4 d2 apart, and each ball of one pair is d
        // from each ball of the other.
        const CReal d1 = 2 * L * sin(a1);
        const CReal d2 = 2 * L * sin(a2);
        const CReal d = sqrt(CReal(2)) * L * sqrt(1 - cos(a1) * cos(a2));
        const CReal d_2 = sqr(d);

        // Solution of 4 pi e0 V = Q1 (1/r + 1/d1) + 2 Q2 / d and its mirror for Q2.
        const CReal N = d_2 * r * (d2 + r) + (d_2 * r + (d_2 - 4 * sqr(r)) * d2) * d1;
        const CReal C = EIGHT_PI_E0 * d * r * (((d - 2 * r) * 2 * d2 + d * r) * d1 + d2 * d * r) / N;
        const CReal Q1 = FOUR_PI_E0_20_DIGITS * d1 * d * r * ((d - 2 * r) * d2 + d * r) / N * V;
        const CReal Q2 = FOUR_PI_E0_20_DIGITS * d2 * d * r * ((d - 2 * r) * d1 + d * r) / N * V;

        // Horizontal outward force on a ball of each pair, vertical force between the pairs.
        const CReal d_3 = power(d, 3);
        const CReal F1 = (sqr(Q1) / sqr(d1) + Q1 * Q2 * d1 / d_3) * ONE_OVER_FOUR_PI_E0;
        const CReal F2 = (sqr(Q2) / sqr(d2) + Q1 * Q2 * d2 / d_3) * ONE_OVER_FOUR_PI_E0;
        const CReal Fz = TWO_OVER_FOUR_PI_E0 * Q1 * Q2 * L * (cos(a1) - cos(a2)) / d_3;
        const CReal Fg = m * GRAVITY;

        add_line(sink, "Capacitance: ", C * 1e12L, " pF");
        add_line(sink, "Charge Q1: ", Q1 * 1e9L, " nC");
        add_line(sink, "Charge Q2: ", Q2 * 1e9L, " nC");
        add_line(sink, "Force F1: ", F1 * 1e6L, " uN");
        add_line(sink, "Force F2: ", F2 * 1e6L, " uN");
        add_line(sink, "Force Fz: ", Fz * 1e6L, " uN");
        add_line(sink, "Gravity force: ", Fg * 1e6L, " uN");
    });
}

Status pentagon_report(const ExtraFields& fields, OutputSink& sink) {
    if (Status refused = check_calculator_fields(fields, {"NE5r", "NE5x", "NE5L", "NE5m", "NE5d"}); !refused)
        return refused;
    return run_checked([&] {
        sink.add_output_line("Five balls in a pentagon (comparing alternative calculations):");
        const CReal r = cm_to_m(fields.NE5r);
        const CReal x = cm_to_m(fields.NE5x);
        const CReal L = cm_to_m(fields.NE5L);
        const CReal m = g_to_kg(fields.NE5m);
        const CReal s = cm_to_m(fields.NE5d);
        const CReal a = 2 * r + x; // side of the pentagon
        const CReal sqrt5 = sqrt(CReal(5));

        const CReal C =
            5 * FOUR_PI_E0_20_DIGITS * a * r * (sqrt5 + 1) / ((sqrt5 + 3) * 2 * r + (sqrt5 + 1) * a);
        add_line(sink, "Capacitance: ", C * 1e12L, " pF");

        // Circumradius two ways, and the tangent of the string angle from each.
        const CReal R1 = a / (2 * cos(CReal(0.3L) * PI));
        const CReal R2 = 2 * a / sqrt(10 - 2 * sqrt5);
        const CReal t1 = (R1 - s) / sqrt(sqr(L) - sqr(R1 - s));
        const CReal t2 = (R2 - s) / sqrt(sqr(L) - sqr(R2 - s));
        const CReal A = rad_to_deg(arctan(t1).value());
        sink.add_output_line("Tangent: " + number_text(t1) + " (" + number_text(t2) +
                             ") Angle: " + number_text(A));

        const CReal weight_tangent = m * GRAVITY * t1;
        const CReal P = ((4 * sqrt5 + 8) * r + (sqrt5 + 1) * x) / r;
        const CReal V1 =
            P * sqrt(weight_tangent / (FOUR_PI_E0_20_DIGITS * ((4 * sqrt5 + 12) * sin(CReal(0.2L) * PI) +
                                                               8 * cos(CReal(0.1L) * PI))));
        const CReal V2 = P * sqrt(weight_tangent / (EIGHT_PI_E0 * sqrt(50 + 22 * sqrt5)));
        sink.add_output_line("Voltage: " + number_text(V1) + " V (" + number_text(V2) + " V)");

        const CReal Q1 = C * V1 / 5;
        const CReal Q2 = a * sqrt(4 * sqrt(CReal(0.5L) - sqrt5 / 10) * PI * EPSILON_0 * weight_tangent);
        sink.add_output_line("Charge: " + number_text(Q1 * 1e9L) + " nC (" + number_text(Q2 * 1e9L) + " nC)");

        // Outward force from the two neighbours (side a) and the two far balls (diagonal b).
        const CReal b = (sqrt5 + 1) * a / 2;
        const CReal F = sqr(Q1) * ONE_OVER_FOUR_PI_E0 *
                        (2 * cos(CReal(0.3L) * PI) / sqr(a) + 2 * cos(CReal(0.1L) * PI) / sqr(b));
        add_line(sink, "Force: ", F * 1e6L, " uN");
    });
}

} // namespace ambrel
