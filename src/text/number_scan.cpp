// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/number_scan.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace ambrel {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool is_decimal_digit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view skip_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    return text.substr(i);
}

ScannedNumber scan_number(std::string_view text) {
    ScannedNumber number;
    const std::size_t n = text.size();
    std::size_t i = 0;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        ++i;
    }
    std::size_t start = i;
    while (i < n && is_decimal_digit(text[i]))
        ++i;
    number.int_digits = text.substr(start, i - start);
    if (i < n && text[i] == '.') {
        start = ++i;
        while (i < n && is_decimal_digit(text[i]))
            ++i;
        number.frac_digits = text.substr(start, i - start);
    }
    // The exponent belongs to the number only when at least one digit follows "E", "e" and
    // its sign.
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponent_negative = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            exponent_negative = text[j] == '-';
            ++j;
        }
        const std::size_t digits_start = j;
        long exponent = 0;
        for (; j < n && is_decimal_digit(text[j]); ++j)
            if (exponent < EXPONENT_LIMIT)
                exponent = exponent * 10 + (text[j] - '0');
        if (j > digits_start) {
            number.exponent = exponent_negative ? -exponent : exponent;
            i = j;
        }
    }
    number.length = i;
    number.whole = i == n;
    return number;
}

std::optional<Real> scanned_magnitude(const ScannedNumber& number) {
    // The decimal exponent of the first significant digit tells an overflow from an
    // underflow when the conversion leaves the extended range.
    long leading_exponent = 0;
    const std::string_view int_digits = number.int_digits;
    const std::string_view frac_digits = number.frac_digits;
    if (const auto p = int_digits.find_first_not_of('0'); p != std::string_view::npos)
        leading_exponent = static_cast<long>(int_digits.size() - p) - 1;
    else if (const auto q = frac_digits.find_first_not_of('0'); q != std::string_view::npos)
        leading_exponent = -static_cast<long>(q) - 1;
    else
        return Real(0);

    // from_chars never looks at the C locale: "." is the decimal point on every desktop.
    std::string normalized = int_digits.empty() ? std::string("0") : std::string(int_digits);
    if (!frac_digits.empty()) {
        normalized += '.';
        normalized += frac_digits;
    }
    normalized += 'e';
    normalized += std::to_string(number.exponent);
    Real value = 0;
    const auto res = std::from_chars(normalized.data(), normalized.data() + normalized.size(), value,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        if (leading_exponent + number.exponent > 0)
            return std::nullopt;
        return Real(0);
    }
    if (res.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace ambrel
