// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Basic numeric types and the fixed capacities of the system model.
#pragma once

#include <complex>
#include <cstddef>
#include <limits>

namespace ambrel {

// Every physical quantity is an 80-bit extended real in SI units.
using Real = long double;
// The hi/lo split into two doubles, the rounding shifter of the number text and the uniform generator
// all assume the x87 80-bit format.
static_assert(std::numeric_limits<Real>::digits == 64, "Real must have a 64-bit mantissa");

// An eigenvalue of the motion, in the same precision.
using Complex = std::complex<Real>;

inline constexpr int MAX_SPHERES = 2000;
inline constexpr int MAX_CONDUCTORS = 2000;

// Names in the tables are short texts; a description line is used up to 255 characters.
inline constexpr std::size_t NAME_LENGTH = 12;
inline constexpr std::size_t LINE_LENGTH = 255;

} // namespace ambrel
