// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The one scanner of decimal numbers in text, shared by the lenient reader of description
// fields (parse_real) and the strict reader of the numeric entry fields (parse_field_real):
// it finds the parts of a number and how much of the text they cover, and one locale-free
// conversion turns the parts into a value. The two readers differ only in what they make of
// a text that is not wholly a number and of a value beyond the extended range.
#pragma once

#include "model/types.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace ambrel {

// Blanks that may come before a number: space and tab.
bool is_blank(char c);
bool is_decimal_digit(char c);

// The text from its first character that is not a blank.
std::string_view skip_blanks(std::string_view text);

// The parts of the number at the start of a text: optional sign, integer digits, optional
// "." and fraction digits, optional exponent (E or e, optional sign, at least one digit).
// An "E" without digits after it is not part of the number. The digits of the mantissa may
// be missing altogether (".", "e5", "-").
struct ScannedNumber {
    bool negative = false;
    std::string_view int_digits;
    std::string_view frac_digits;
    // The exponent as written; beyond +-EXPONENT_LIMIT it only says "overflow" or
    // "underflow", so it stops growing there.
    long exponent = 0;
    // Characters of the text the number covers, and whether that is the whole text.
    std::size_t length = 0;
    bool whole = false;

    bool has_digits() const { return !int_digits.empty() || !frac_digits.empty(); }
    // No digit of the mantissa other than 0 (also when it has no digits).
    bool is_zero() const {
        return int_digits.find_first_not_of('0') == std::string_view::npos &&
               frac_digits.find_first_not_of('0') == std::string_view::npos;
    }
};

inline constexpr long EXPONENT_LIMIT = 100000;

// Scans from the first character (no blanks are skipped).
ScannedNumber scan_number(std::string_view text);

// The magnitude of a scanned number, correctly rounded and independent of the C locale; 0
// below the smallest extended value, nullopt beyond the largest.
std::optional<Real> scanned_magnitude(const ScannedNumber& number);

} // namespace ambrel
