// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Physical constants of the closed-form calculators, as extended-precision literals. Pi and
// standard gravity are the program's own (model/units.h); the rest are the calculators'.
#pragma once

#include "model/types.h"
#include "model/units.h"

namespace ambrel::calc {

// The calculators' formulas hold these values of pi and g to the last bit of the extended
// type: the program's constants must be exactly them, or every table would move.
static_assert(PI == 3.1415926535897932385L);
static_assert(GRAVITY == 9.81L);

inline constexpr Real EPSILON_0 = 8.85418781762e-12L; // F/m
// 4 pi e0 to all 20 digits of the extended type. The program's FOUR_PI_E0 is written to 18
// digits and differs from it in the last bits, which would move the calculators' results.
inline constexpr Real FOUR_PI_E0_20_DIGITS = 1.1126500560535694421e-10L;
static_assert(FOUR_PI_E0_20_DIGITS == 4 * PI * EPSILON_0);
static_assert(FOUR_PI_E0_20_DIGITS != FOUR_PI_E0);
inline constexpr Real EIGHT_PI_E0 = 2.2253001121071388842e-10L;
inline constexpr Real TWELVE_PI_E0 = 3.337950168160708326296e-10L;
inline constexpr Real SIXTEEN_PI_E0 = 4.450600224214277768311e-10L;
inline constexpr Real ONE_OVER_FOUR_PI_E0 = 8987551787.3685721224L;
inline constexpr Real TWO_OVER_FOUR_PI_E0 = 17975103574.737144245L;
inline constexpr Real DEGREES_PER_RADIAN = 57.29577951308232087664L;

} // namespace ambrel::calc
