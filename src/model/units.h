// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The physical constants and unit conversions of the program, in one place. Every quantity
// inside the program is in SI units (m, kg, rad, C, N, V); centimetres, grams and degrees
// exist only at the edges: the description reader, the reports, the listing and the
// calculators' fields.
#pragma once

#include "model/types.h"

namespace ambrel {

inline constexpr Real PI = 3.14159265358979323846L;
// 4 pi epsilon_0 in F/m: the Coulomb force between charges q1, q2 at distance d is
// q1 q2 / (FOUR_PI_E0 d^2).
inline constexpr Real FOUR_PI_E0 = 1.11265005605356944e-10L;
// The program's gravity, m/s^2: standard gravity (9.80665) to three digits, the value every
// report, stored transcript and calculator table is computed with.
inline constexpr Real GRAVITY = 9.81L;

// Conversions as the reader and the reports write them (the order of the operations is part
// of the result at 80 bits: keep it).
inline constexpr Real cm_to_m(Real cm) {
    return cm / 100;
}
inline constexpr Real m_to_cm(Real m) {
    return m * 100;
}
inline constexpr Real g_to_kg(Real g) {
    return g / 1000;
}
inline constexpr Real kg_to_g(Real kg) {
    return kg * 1000;
}
inline constexpr Real nC_to_C(Real nC) {
    return nC / 1e9L;
}
inline constexpr Real C_to_nC(Real C) {
    return C * 1e9L;
}
inline constexpr Real deg_to_rad(Real deg) {
    return deg * PI / 180;
}
inline constexpr Real rad_to_deg(Real rad) {
    return rad * 180 / PI;
}

} // namespace ambrel
