// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The quantities of the pith-ball electroscope, shared by its report and its table file.
// Two equal balls of radius r hang on strings of length L (support to centre) from supports
// 2d apart; x is the gap between their surfaces, D = 2r + x the distance of the centres.
// The same question is answered for 3, 4 and 5 balls at the corners of a regular polygon of
// side D. Every quantity is held in double precision, the arithmetic between them is
// extended; each operation is checked (see checked_real.h).
#pragma once

#include "calculators/calculator_fields.h"
#include "calculators/checked_real.h"

#include <array>

namespace ambrel::calc {

// The fields in SI units: effective mass of one ball (the ball and half its wire, kg),
// string length, support distance from the centre and radius (m).
struct ElectroscopeInputs {
    CReal m = 0;
    CReal L = 0;
    CReal d = 0;
    CReal r = 0;
};

ElectroscopeInputs electroscope_inputs(const ElectroscopeFields& fields);

// A length field in cm as metres, held in double precision.
CReal field_metres(Real centimetres);

// Two balls, gap x.
struct TwoBallValues {
    CReal t = 0;  // tangent of the string angle
    CReal A2 = 0; // string angle, degrees
    CReal F = 0;  // horizontal force on a ball, N
    CReal Q = 0;  // charge of a ball, point charges, C
    CReal C = 0;  // capacitance of both balls, interpolation exact at x = 0 and x = 2r, F
    CReal C1 = 0; // capacitance of both balls, point charges, F
    CReal C2 = 0; // capacitance of both balls, series for two spheres, F
    CReal Qp = 0; // charge of a ball from the series force coefficient, C
    CReal Vc = 0; // voltages from the energy derivative with C, C1 and C2, V
    CReal Vc1 = 0;
    CReal Vc2 = 0;
};

// Horizontal offset of a ball centre from its support: x / 2 + r - d.
CReal two_ball_offset(const ElectroscopeInputs& in, CReal x);
TwoBallValues two_ball_values(const ElectroscopeInputs& in, CReal x);

// The 19 numbers of the two-ball report, in report order and display units (degrees, uN,
// nC, pF, kV).
std::array<Real, 19> two_ball_display_values(const TwoBallValues& v);

// Balls touching or almost touching (x < 0.1 r): exact limit of two touching spheres.
struct TouchingValues {
    CReal Ct = 0; // F
    CReal Qt = 0; // C
    CReal Vt = 0; // V
};
TouchingValues touching_values(const ElectroscopeInputs& in, const TwoBallValues& v);

// n = 3, 4 or 5 balls at the corners of a regular polygon of side 2r + x.
struct PolygonValues {
    CReal An = 0; // string angle, degrees
    CReal Cn = 0; // capacitance of the group, F
    CReal Qn = 0; // charge per ball, C
    CReal Vn = 0; // voltage, V
};

// Horizontal offset of a ball centre from its support for n balls.
CReal polygon_offset(const ElectroscopeInputs& in, CReal x, int n);
PolygonValues polygon_values(const ElectroscopeInputs& in, CReal x, int n);

// Angle, capacitance, charge and voltage in display units (degrees, pF, nC, kV).
std::array<Real, 4> polygon_display_values(const PolygonValues& v);

} // namespace ambrel::calc
