// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope.h"

#include "calculators/electroscope_values.h"
#include "text/number_format.h"

#include <array>
#include <string>
#include <string_view>

namespace ambrel {

using namespace calc;

namespace {

struct LineFormat {
    std::string_view label;
    std::string_view unit;
};

constexpr std::array<LineFormat, 19> TWO_BALL_LINES = {{
    {"Angle with vertical (A2): ", " degrees"},
    {"Force (F): ", " uN"},
    {"Approximate charge in a ball, considering point charges (Q): ", " nC"},
    {"Approximate capacitance of both balls, exact for x=0 and x=2r (C): ", " pF"},
    {"Approximate capacitance of both balls, considering point charges (C1): ", " pF"},
    {"More precise capacitance of both balls (Russel) (C2): ", " pF"},
    {"Voltage V=2Q/C  : ", " kV"},
    {"Voltage V1=2Q/C1: ", " kV"},
    {"Voltage V2=2Q/C2: ", " kV"},
    {"Precise charge (Russel) (Qp): ", " nC"},
    {"Voltage Vp=2Q1/C  : ", " kV"},
    {"Voltage Vp1=2Q1/C1: ", " kV"},
    {"Voltage Vp2=2Q1/C2: ", " kV <- Best"},
    {"Approximate voltage directly from energy derivative, using C (Vc): ", " kV"},
    {"Approximate charge from Q=CV/2 (Qc): ", " nC"},
    {"Approximate voltage directly from energy derivative, using C1 (Vc1): ", " kV"},
    {"Approximate charge from Q=C1V/2 (Vc2): ", " nC"},
    {"Approximate voltage directly from energy derivative, using C2 (Russel) (Vc2): ", " kV <-Best"},
    {"Approximate charge from Q=C2V/2: ", " nC"},
}};

struct PolygonSection {
    int n;
    std::string_view title;
    std::array<LineFormat, 4> lines;
};

constexpr std::array<PolygonSection, 3> POLYGON_SECTIONS = {{
    {3,
     "Three balls:",
     {{{"Angle with vertical for 3 balls: ", " degrees"},
       {"Ap. capacitance of 3 balls C3: ", " pF"},
       {"Ap. charge on each of the 3 balls Q3: ", " nC"},
       {"Ap. voltage on the 3 balls V3: ", " kV"}}}},
    {4,
     "Four balls:",
     {{{"Angle with vertical for 4 balls: ", " degrees"},
       {"Ap. capacitance of 4 balls C4: ", " pF"},
       {"Ap. charge on each of the 4 balls Q4: ", " nC"},
       {"Ap. voltage on the 4 balls V4: ", " kV"}}}},
    {5,
     "Five balls:",
     {{{"Angle with vertical for 5 balls: ", " degrees"},
       {"Ap. capacitance of 5 balls C5: ", " pF"},
       {"Ap. charge on each of the 5 balls Q5: ", " nC"},
       {"Ap. voltage on the 5 balls V5: ", " kV"}}}},
}};

void add_line(OutputSink& sink, const LineFormat& format, Real value) {
    std::string line(format.label);
    line += real_to_fixed_text(value, 15, 8);
    line += format.unit;
    sink.add_output_line(line);
}

bool section_checked(const ElectroscopeFields& fields, int n) {
    return n == 3 ? fields.CB3 : n == 4 ? fields.CB4 : fields.CB5;
}

} // namespace

Status electroscope_report(const ElectroscopeFields& fields, OutputSink& sink) {
    if (Status refused = check_calculator_fields(fields, {"Emb", "Emf", "EL", "Ed", "Er", "Ex"}); !refused)
        return refused;
    return run_checked([&] {
        sink.add_output_line("");
        const ElectroscopeInputs in = electroscope_inputs(fields);
        const CReal x = field_metres(fields.Ex);

        if (x / 2 >= in.L + in.d - in.r) {
            sink.add_output_line("The balls are too far.");
            return;
        }
        if ((2 * in.r + x) / 2 < in.d) {
            sink.add_output_line("The balls are too close for 2 balls");
        } else {
            sink.add_output_line("Two balls:");
            const TwoBallValues v = two_ball_values(in, x);
            const auto values = two_ball_display_values(v);
            for (std::size_t i = 0; i < TWO_BALL_LINES.size(); ++i)
                add_line(sink, TWO_BALL_LINES[i], values[i]);
            if (x < CReal(0.1L) * in.r) {
                const TouchingValues tv = touching_values(in, v);
                add_line(sink, {"Exact capacitance when the balls are almost touching: ", " pF"},
                         (tv.Ct * 1e12L).value());
                add_line(sink, {"Exact charge when the balls are almost touching: ", " nC"},
                         (tv.Qt * 1e9L).value());
                add_line(sink, {"Exact voltage when the balls are almost touching: ", " kV"},
                         (tv.Vt / 1000).value());
            }
        }

        for (const PolygonSection& section : POLYGON_SECTIONS) {
            if (!section_checked(fields, section.n))
                continue;
            sink.add_output_line(section.title);
            const auto values = polygon_display_values(polygon_values(in, x, section.n));
            for (std::size_t i = 0; i < section.lines.size(); ++i)
                add_line(sink, section.lines[i], values[i]);
        }
    });
}

} // namespace ambrel
