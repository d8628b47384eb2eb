// Physical constants of the closed-form calculators, as extended-precision literals.
#pragma once

#include "model/types.h"

namespace ambrel::calc {

inline constexpr Real CALC_PI = 3.1415926535897932385L;
inline constexpr Real EPSILON_0 = 8.85418781762e-12L; // F/m
inline constexpr Real FOUR_PI_E0 = 1.1126500560535694421e-10L;
inline constexpr Real EIGHT_PI_E0 = 2.2253001121071388842e-10L;
inline constexpr Real TWELVE_PI_E0 = 3.337950168160708326296e-10L;
inline constexpr Real SIXTEEN_PI_E0 = 4.450600224214277768311e-10L;
inline constexpr Real ONE_OVER_FOUR_PI_E0 = 8987551787.3685721224L;
inline constexpr Real TWO_OVER_FOUR_PI_E0 = 17975103574.737144245L;
inline constexpr Real GRAVITY = 9.81L; // m/s^2
inline constexpr Real DEGREES_PER_RADIAN = 57.29577951308232087664L;

} // namespace ambrel::calc
