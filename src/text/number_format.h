// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// All number text of the program: the general "%g" format, fixed-point text and the
// lenient parser of description fields. Independent of the C locale: "." is always the
// decimal point.
#pragma once

#include "model/types.h"

#include <string>
#include <string_view>

namespace ambrel {

// "%g" with 15 significant digits, no trailing zeros, no trailing point: fixed notation for
// 0.0001 <= |v| < 1e15 (and 0), else d.dddE[-]xxx with at least three exponent digits
// ("1.5E-006", "2E015").
std::string format_g(Real value);

// Fixed-point text with exactly `decimals` digits after the point, right-aligned with
// blanks to `width`; a longer result is not cut.
std::string real_to_fixed_text(Real value, int width, int decimals);

// Scientific notation with `decimals` digits after the point and a capital E with a sign
// and at least three exponent digits ("1.0000E-004"), right-aligned to `width`.
std::string real_to_exponent_text(Real value, int width, int decimals);

// The shortest text that reads back as the same extended value: digits, an optional "." and
// fraction, and "e" with a sign and two or more exponent digits when that is shorter ("12000",
// "0.3", "1e-05", "3.3509698571428571429"), for tables that other programs read.
std::string format_shortest(Real value);

// A measured value and its error: the error rounded up to one significant digit and the value to
// the same decimal place ("-29.68123 +- 7e-05" is written "-29.68123" and "0.00007"). Fixed text
// while that place lies between 1e-6 and 1e5 (for a value of 1e-4 or more, down to 1e-12), else
// d.ddde-XX with the digits down to it. The
// place is error_place(error); a zero or non-finite error gives a place of -18.
int error_place(Real error);
std::string error_text(Real error);
std::string value_at_place_text(Real value, int place);

// The number in a description field: optional sign, digits with an optional "." and
// fraction, optional exponent. A malformed field gives the value of its longest valid
// prefix, or 0. Never throws.
Real parse_real(std::string_view text);

// Right-aligns text with blanks to width (no cutting).
std::string pad_left(std::string text, int width);

} // namespace ambrel
