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

// The number in a description field: optional sign, digits with an optional "." and
// fraction, optional exponent. A malformed field gives the value of its longest valid
// prefix, or 0. Never throws.
Real parse_real(std::string_view text);

// Right-aligns text with blanks to width (no cutting).
std::string pad_left(std::string text, int width);

} // namespace ambrel
