// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/number_format.h"
#include "text/number_scan.h"
#include "text/numeric_field.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace ambrel {
namespace {

TEST(ScanNumber, PartsLengthAndWholeness) {
    const ScannedNumber n = scan_number("-12.50e+3 cm");
    EXPECT_TRUE(n.negative);
    EXPECT_EQ(n.int_digits, "12");
    EXPECT_EQ(n.frac_digits, "50");
    EXPECT_EQ(n.exponent, 3);
    EXPECT_EQ(n.length, 9u);
    EXPECT_FALSE(n.whole);

    EXPECT_TRUE(scan_number("7").whole);
    EXPECT_TRUE(scan_number("").whole);
    // An exponent without digits is left out of the number.
    EXPECT_EQ(scan_number("1e").length, 1u);
    EXPECT_EQ(scan_number("2.5E-").length, 3u);
    EXPECT_EQ(scan_number("3e-7").exponent, -7);
    // A mantissa without digits still scans, as far as it goes.
    const ScannedNumber bare = scan_number("+.e5");
    EXPECT_FALSE(bare.has_digits());
    EXPECT_TRUE(bare.whole);
    EXPECT_EQ(scan_number(" 1").length, 0u);
    EXPECT_EQ(scan_number("1.5.2").length, 3u);
}

TEST(ScanNumber, ExponentStopsGrowingBeyondItsLimit) {
    EXPECT_GE(scan_number("1e99999999999999999999").exponent, EXPONENT_LIMIT);
    EXPECT_LE(scan_number("1e-99999999999999999999").exponent, -EXPONENT_LIMIT);
    EXPECT_EQ(scan_number("1e0000000000000000000012").exponent, 12);
}

TEST(ScanNumber, MagnitudeDecidesOverflowFromTheFirstSignificantDigit) {
    EXPECT_EQ(scanned_magnitude(scan_number("0.0001e4936")), 1e4932L);
    EXPECT_EQ(scanned_magnitude(scan_number("0.0001e4937")), std::nullopt);
    EXPECT_EQ(scanned_magnitude(scan_number("000000001e4933")), std::nullopt);
    EXPECT_EQ(scanned_magnitude(scan_number("10000e-4970")), 0.0L);
    EXPECT_EQ(scanned_magnitude(scan_number("0.000e99999")), 0.0L);
    // Many leading zeros before the point do not make a tiny number huge.
    const std::string zeros = std::string(6000, '0') + "1e-5000";
    EXPECT_EQ(scanned_magnitude(scan_number(zeros)), 0.0L);
    EXPECT_EQ(parse_real(zeros), 0.0L);
}

TEST(ScanNumber, BlanksAreSpacesAndTabs) {
    EXPECT_EQ(skip_blanks(" \t 1 "), "1 ");
    EXPECT_EQ(skip_blanks("\n1"), "\n1");
    EXPECT_EQ(parse_field_real("\n1"), std::nullopt);
    EXPECT_EQ(parse_real(" 1"), 0); // the description reader skips no blanks itself
}

// Whatever the mode, a text that is wholly a number reads as the same value.
TEST(NumberModes, AgreeOnWholeNumbers) {
    for (const char* text :
         {"0", "1", "-135", ".5", "13.", "+2E-2", "8.62512649e3", "0.1", "1e-4950",
          "-3.3333333333333333333333", "1.18973149535723176502e4932", "123456789012345678901234"}) {
        const auto strict = parse_field_real(text);
        ASSERT_TRUE(strict.has_value()) << text;
        EXPECT_EQ(*strict, parse_real(text)) << text;
    }
}

TEST(NumberModes, DifferOnlyWhereTheirRulesSay) {
    // Beyond the range: the field refuses, the description reads the largest value.
    EXPECT_EQ(parse_field_real("-2e4932"), std::nullopt);
    EXPECT_EQ(parse_real("-2e4932"), -std::numeric_limits<Real>::max());
    // Below the range both read 0, with the sign of the text.
    EXPECT_TRUE(std::signbit(*parse_field_real("-1e-5000")));
    EXPECT_TRUE(std::signbit(parse_real("-1e-5000")));
    // A zero mantissa: the field stores 0, the description keeps the sign.
    EXPECT_FALSE(std::signbit(*parse_field_real("-0")));
    EXPECT_FALSE(std::signbit(*parse_field_real("-.0e3")));
    EXPECT_TRUE(std::signbit(parse_real("-0")));
    // No digits at all: the field accepts them as 0, the description reads 0 too.
    EXPECT_EQ(parse_field_real("-"), 0.0L);
    EXPECT_EQ(parse_real("-e5"), 0.0L);
    EXPECT_FALSE(std::signbit(parse_real("-e5")));
}

} // namespace
} // namespace ambrel
