// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope_values.h"

#include "calculators/calculator_constants.h"
#include "model/units.h"

namespace ambrel::calc {

namespace {

// Interpolation constants of C: exact for touching balls (x = 0) and for x = 2r.
constexpr Real K1 = 2.50092L;
constexpr Real K2 = 3.60806L;

CReal held(CReal value) {
    return hold_double(value);
}

// Tangent of the string angle for a horizontal offset h of the ball from its support.
CReal string_tangent(const ElectroscopeInputs& in, CReal h) {
    return held(h / sqrt(sqr(in.L) - sqr(h)));
}

} // namespace

CReal field_metres(Real centimetres) {
    return held(cm_to_m(centimetres));
}

ElectroscopeInputs electroscope_inputs(const ElectroscopeFields& fields) {
    ElectroscopeInputs in;
    const CReal grams = CReal(fields.Emf) / 2 + fields.Emb;
    in.m = held(g_to_kg(grams.value()));
    in.L = field_metres(fields.EL);
    in.d = field_metres(fields.Ed);
    in.r = field_metres(fields.Er);
    return in;
}

CReal two_ball_offset(const ElectroscopeInputs& in, CReal x) {
    return held(x / 2 + in.r - in.d);
}

TwoBallValues two_ball_values(const ElectroscopeInputs& in, CReal x) {
    const CReal r = in.r;
    const CReal m = in.m;
    const CReal D = held(2 * r + x);
    TwoBallValues v;
    v.t = string_tangent(in, two_ball_offset(in, x));
    const CReal t = v.t;
    v.A2 = held(arctan(t) * DEGREES_PER_RADIAN);
    v.F = held(GRAVITY * m * t);
    v.Q = held(sqrt(sqr(D) * FOUR_PI_E0_20_DIGITS * m * GRAVITY * t));
    v.C = held(EIGHT_PI_E0 * r * (K1 * r + x) / (K2 * r + x));
    v.C1 = held(FOUR_PI_E0_20_DIGITS * 2 * r * D / (3 * r + x));

    // Series solution for two equal spheres, u = D / r. c11 and c12 are the self and mutual
    // capacitance coefficients in units of 4 pi e0 r; the force between the balls is
    // 4 pi e0 fd V^2 at common voltage V, and hq Q^2 / (4 pi e0 D^2) with charge Q on each.
    const CReal u = held(D / r);
    const CReal u2 = sqr(u);
    const CReal u3 = power(u, 3);
    const CReal W = held(sqr(u3 + u) - sqr(2 * u2 + 1));
    const CReal c11 = held((2 * u2 + 1) / W + (1 / u2 + 1) - 1 / power(u, 8));
    const CReal c12 = held(-((u3 + u) / W + 1 / u));
    const CReal fd = held(4 * (2 * u2 - u + 6) / power(u, 11) + 1 / (u2 + 2 * u) - 1 / power(u, 4) -
                          sqr(1 - u) / power(u, 8));
    const CReal hq = held(54 / power(u, 8) + 1 - 4 / u3 - 2 * (u - 1) * (3 * u - 4) / power(u, 7) -
                          50 / (power(u + 1, 3) * power(u, 6)));
    v.C2 = held(FOUR_PI_E0_20_DIGITS * r * (2 * c11 + 2 * c12));
    v.Qp = held(sqrt(sqr(D) * FOUR_PI_E0_20_DIGITS * m * GRAVITY * t / hq));

    // Voltages from the derivative of the energy with each capacitance model.
    v.Vc = held(sqrt(GRAVITY * m * t / ((K2 - K1) * FOUR_PI_E0_20_DIGITS)) * (K2 * r + x) / r);
    v.Vc1 = held(sqrt(GRAVITY * m * t / FOUR_PI_E0_20_DIGITS) * (3 * r + x) / r);
    v.Vc2 = held(sqrt(GRAVITY * m * t / (FOUR_PI_E0_20_DIGITS * fd)));
    return v;
}

std::array<Real, 19> two_ball_display_values(const TwoBallValues& v) {
    const CReal Q2 = 2 * v.Q;
    const CReal Qp2 = 2 * v.Qp;
    return {
        v.A2.value(),
        (v.F * 1e6L).value(),
        (v.Q * 1e9L).value(),
        (v.C * 1e12L).value(),
        (v.C1 * 1e12L).value(),
        (v.C2 * 1e12L).value(),
        (Q2 / v.C / 1000).value(),
        (Q2 / v.C1 / 1000).value(),
        (Q2 / v.C2 / 1000).value(),
        (v.Qp * 1e9L).value(),
        (Qp2 / v.C / 1000).value(),
        (Qp2 / v.C1 / 1000).value(),
        (Qp2 / v.C2 / 1000).value(),
        (v.Vc / 1000).value(),
        (v.C * v.Vc / 2 * 1e9L).value(),
        (v.Vc1 / 1000).value(),
        (v.C1 * v.Vc1 / 2 * 1e9L).value(),
        (v.Vc2 / 1000).value(),
        (v.C2 * v.Vc2 / 2 * 1e9L).value(),
    };
}

TouchingValues touching_values(const ElectroscopeInputs& in, const TwoBallValues& v) {
    // Force between touching balls at voltage V: 4 pi e0 G V^2.
    const CReal ln2 = ln(CReal(2));
    const CReal G = held((ln2 - CReal(0.25L)) / 6);
    TouchingValues tv;
    tv.Vt = held(sqrt(GRAVITY * in.m * v.t / (FOUR_PI_E0_20_DIGITS * G)));
    tv.Ct = held(ln2 * EIGHT_PI_E0 * in.r);
    tv.Qt = held(tv.Ct * tv.Vt / 2);
    return tv;
}

CReal polygon_offset(const ElectroscopeInputs& in, CReal x, int n) {
    const CReal D = held(2 * in.r + x);
    switch (n) {
    case 3:
        return held(D / sqrt(CReal(3)) - in.d);
    case 4:
        return held(D / sqrt(CReal(2)) - in.d);
    default:
        return held(D / (2 * cos(CReal(0.3L) * PI)) - in.d);
    }
}

PolygonValues polygon_values(const ElectroscopeInputs& in, CReal x, int n) {
    const CReal r = in.r;
    const CReal m = in.m;
    const CReal D = held(2 * r + x);
    const CReal t = string_tangent(in, polygon_offset(in, x, n));
    PolygonValues v;
    v.An = held(arctan(t) * DEGREES_PER_RADIAN);
    // Pn: voltage factor; kn: divisor of the outward force coefficient.
    CReal P = 0;
    CReal k = 0;
    switch (n) {
    case 3: {
        const CReal sqrt3 = sqrt(CReal(3));
        P = (4 * r + x) / r;
        k = sqrt3;
        v.Cn = held(TWELVE_PI_E0 * r * D / (4 * r + x));
        v.Qn = held(D * sqrt(FOUR_PI_E0_20_DIGITS / sqrt3 * m * GRAVITY * t));
        break;
    }
    case 4: {
        const CReal sqrt2 = sqrt(CReal(2));
        P = ((1 / sqrt2 + 4) * r + x) / r;
        k = sqrt2 + CReal(0.5L);
        v.Cn = held(SIXTEEN_PI_E0 * r * D / ((1 / sqrt2 + 4) * r + x));
        v.Qn = held(D * sqrt(FOUR_PI_E0_20_DIGITS / (sqrt2 + CReal(0.5L)) * m * GRAVITY * t));
        break;
    }
    default: {
        const CReal sqrt5 = sqrt(CReal(5));
        P = ((4 * sqrt5 + 8) * r + (sqrt5 + 1) * x) / r;
        k = cos(CReal(0.3L) * PI) * (4 * sqrt5 + 12) + 8 * cos(CReal(0.1L) * PI);
        v.Cn = held((5 * sqrt5 + 5) * FOUR_PI_E0_20_DIGITS * r * D / ((4 * sqrt5 + 8) * r + (sqrt5 + 1) * x));
        break;
    }
    }
    v.Vn = held(sqrt(GRAVITY * m * t / FOUR_PI_E0_20_DIGITS / k) * P);
    if (n == 5)
        v.Qn = held(v.Cn * v.Vn / 5);
    return v;
}

std::array<Real, 4> polygon_display_values(const PolygonValues& v) {
    return {v.An.value(), (v.Cn * 1e12L).value(), (v.Qn * 1e9L).value(), (v.Vn / 1000).value()};
}

} // namespace ambrel::calc
