// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/number_format.h"

#include "text/number_scan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

namespace ambrel {

namespace {

// Text of a non-finite value: the reports never should meet one, but formatting must not fail.
std::string non_finite_text(Real value) {
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

std::string exponent_text(int exponent, bool force_sign) {
    std::string text;
    if (exponent < 0)
        text += '-';
    else if (force_sign)
        text += '+';
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    return text + digits;
}

} // namespace

std::string pad_left(std::string text, int width) {
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string format_g(Real value) {
    if (!std::isfinite(value))
        return non_finite_text(value);
    if (value == 0)
        return "0";
    constexpr int precision = 15;
    // Round once to 15 significant digits in scientific form; the exponent after rounding
    // decides between fixed and scientific notation, as "%g" does.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    const auto e_pos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, e_pos))
        if (c != '.')
            digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + e_pos + 1 + (sci[e_pos + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                    exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -4 && exponent < precision) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else if (static_cast<int>(digits.size()) <= exponent + 1) {
            out += digits;
            out.append(static_cast<std::size_t>(exponent + 1) - digits.size(), '0');
        } else {
            out += digits.substr(0, static_cast<std::size_t>(exponent + 1));
            out += '.';
            out += digits.substr(static_cast<std::size_t>(exponent + 1));
        }
    } else {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += exponent_text(exponent, false);
    }
    return out;
}

std::string real_to_fixed_text(Real value, int width, int decimals) {
    if (!std::isfinite(value))
        return pad_left(non_finite_text(value), width);
    // Large enough for the widest extended value in fixed notation.
    char buf[5000];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return pad_left(format_g(value), width);
    return pad_left(std::string(buf, res.ptr), width);
}

std::string real_to_exponent_text(Real value, int width, int decimals) {
    if (!std::isfinite(value))
        return pad_left(non_finite_text(value), width);
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, decimals);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const auto e_pos = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + e_pos + 1 + (sci[e_pos + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                    exponent);
    std::string out(sci.substr(0, e_pos));
    out += 'E';
    out += exponent_text(exponent, true);
    return pad_left(out, width);
}

std::string format_shortest(Real value) {
    if (!std::isfinite(value))
        return non_finite_text(value);
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

namespace {

Real pow10_real(int exponent) {
    return std::pow(10.0L, static_cast<Real>(exponent));
}

// The error's leading digit rounded up, and its place; (0, -18) for no error.
std::pair<int, int> error_digit(Real error) {
    if (!(error > 0) || !std::isfinite(error))
        return {0, -18};
    int place = static_cast<int>(std::floor(std::log10(error)));
    // The relative slack keeps 7e-5, stored a little above, at 7e-5 and not 8e-5.
    int digit = static_cast<int>(std::ceil(error / pow10_real(place) * (1 - 1e-12L)));
    if (digit >= 10) { // 9.5e-5 is 1e-4, a place higher
        digit = 1;
        ++place;
    }
    if (place < -18)
        return {1, -18};
    return {std::max(digit, 1), place};
}

bool fixed_place(int place) {
    return place >= -6 && place <= 5;
}

std::string fixed_at_place(Real value, int place) {
    char buf[80];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, std::max(0, -place));
    return std::string(buf, res.ptr);
}

} // namespace

int error_place(Real error) {
    return error_digit(error).second;
}

std::string error_text(Real error) {
    const auto [digit, place] = error_digit(error);
    const Real rounded = digit * pow10_real(place);
    if (fixed_place(place))
        return fixed_at_place(rounded, place);
    char buf[80];
    const auto res = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::scientific, 0);
    return std::string(buf, res.ptr);
}

std::string value_at_place_text(Real value, int place) {
    if (!std::isfinite(value))
        return non_finite_text(value);
    const Real unit = pow10_real(place);
    Real rounded = std::round(value / unit) * unit + 0; // + 0: never "-0"
    if (rounded == 0)
        rounded = 0;
    // Fixed text also for finer places while the value is not small: -0.29244114, not
    // -2.9244114e-01.
    if (std::fabs(rounded) < 1e15L &&
        (fixed_place(place) || (place >= -12 && (std::fabs(rounded) >= 1e-4L || rounded == 0))))
        return fixed_at_place(rounded, place);
    const int leading = rounded == 0 ? place : static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
    const int decimals = std::clamp(leading - place, 0, 19);
    char buf[80];
    const auto res = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::scientific, decimals);
    return std::string(buf, res.ptr);
}

Real parse_real(std::string_view text) {
    // The longest valid prefix; a value beyond the extended range reads as the largest one.
    const ScannedNumber number = scan_number(text);
    if (!number.has_digits())
        return 0;
    const Real value = scanned_magnitude(number).value_or(std::numeric_limits<Real>::max());
    return number.negative ? -value : value;
}

} // namespace ambrel
