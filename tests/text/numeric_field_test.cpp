// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/numeric_field.h"

#include <gtest/gtest.h>

namespace ambrel {
namespace {

TEST(NumericField, RealFieldStoresTypedValueAndKeepsText) {
    NumericField field;
    field.set_panel_real(2);
    field.set_text("0.5");
    EXPECT_TRUE(field.commit_text().ok());
    EXPECT_EQ(field.panel_real(), 0.5L);
    EXPECT_EQ(field.text(), "0.5");

    field.set_text("  -2.5E-3");
    EXPECT_TRUE(field.commit_text().ok());
    EXPECT_EQ(field.panel_real(), -2.5e-3L);
    EXPECT_EQ(field.text(), "  -2.5E-3");
}

TEST(NumericField, InvalidTextReportsMessageAndKeepsOldValue) {
    NumericField field;
    field.set_panel_real(0.75L);
    field.set_text("1,5");
    EXPECT_EQ(field.commit_text().message(), "1,5 is not a valid number");
    EXPECT_EQ(field.panel_real(), 0.75L);
    EXPECT_EQ(field.text(), "1,5");

    field.set_text("12a");
    EXPECT_EQ(field.commit_text().message(), "12a is not a valid number");

    NumericField integer;
    integer.set_field_type(tipo_campo::int_field);
    integer.set_panel_int(7);
    integer.set_text("");
    EXPECT_EQ(integer.commit_text().message(), " is not a valid number");
    integer.set_text("12 ");
    EXPECT_EQ(integer.commit_text().message(), "12  is not a valid number");
    EXPECT_EQ(integer.panel_int(), 7);

    // A window that names its fields quotes the text, cut so that the message stays whole and
    // valid UTF-8: a cut that would split the two bytes of a "µ" goes before it.
    EXPECT_EQ(named_invalid_number_message("Steps", "12 ", tipo_campo::int_field),
              "Steps: '12 ' is not a valid whole number");
    const std::string long_text = std::string(35, '1') + "\u00b5" + std::string(20, 'F');
    EXPECT_EQ(named_invalid_number_message("Time step", long_text, tipo_campo::real_field),
              "Time step: '" + std::string(35, '1') + "...' is not a valid number");
}

TEST(NumericField, IntegerFieldReadsHexadecimal) {
    NumericField field;
    field.set_field_type(tipo_campo::int_field);
    field.set_text("$10");
    EXPECT_TRUE(field.commit_text().ok());
    EXPECT_EQ(field.panel_int(), 16);
    EXPECT_EQ(field.text(), "$10");
}

TEST(NumericField, SettersRewriteOnlyTheTextOfTheirType) {
    NumericField field; // a real field
    field.set_panel_real(0.05L);
    EXPECT_EQ(field.text(), "0.05");
    field.set_panel_int(42);
    EXPECT_EQ(field.text(), "0.05");
    field.set_field_type(tipo_campo::int_field);
    EXPECT_EQ(field.text(), "42");
    field.set_panel_real(1000);
    EXPECT_EQ(field.text(), "42");
    field.set_field_type(tipo_campo::real_field);
    EXPECT_EQ(field.text(), "1000");
    field.set_panel_real(0.0001L);
    EXPECT_EQ(field.text(), "0.0001");

    field.set_field_type(tipo_campo::text_field);
    field.set_text("anything");
    EXPECT_TRUE(field.commit_text().ok());
    EXPECT_EQ(field.panel_real(), 0.0001L);
    field.set_panel_real(3);
    EXPECT_EQ(field.text(), "anything");
}

// The same rules serve every front end that takes a field's text: the window's field, the
// calculators' fields and the command line.
TEST(ReadField, ValueOrTheInvalidNumberMessage) {
    const Result<Real> real = read_field_real(" 2.5e-1");
    ASSERT_TRUE(real.ok());
    EXPECT_EQ(*real, 0.25L);
    const Result<Real> bad_real = read_field_real("2,5");
    EXPECT_FALSE(bad_real.ok());
    EXPECT_EQ(bad_real.message(), "2,5 is not a valid number");
    EXPECT_EQ(read_field_real("1e99999").message(), "1e99999 is not a valid number");
    // Texts the grammar reads as 0 for want of any digit name no number in a field.
    for (const char* none : {".", "e5", "-", "+.E-"})
        EXPECT_EQ(read_field_real(none).message(), std::string(none) + " is not a valid number");
    EXPECT_EQ(*read_field_real("-.0e5"), 0);

    const Result<std::int32_t> hex = read_field_int("0x1f");
    ASSERT_TRUE(hex.ok());
    EXPECT_EQ(*hex, 31);
    EXPECT_FALSE(read_field_int("1.0").ok());
    EXPECT_EQ(read_field_int("1.0").message(), "1.0 is not a valid number");
}

TEST(NumericField, CommitFailsOnlyForAnInvalidNumberOfTheFieldsType) {
    NumericField field;
    field.set_text("7");
    EXPECT_TRUE(field.commit_text().ok());
    field.set_text("7.5x");
    const Status failed = field.commit_text();
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(field.panel_real(), 7);

    // "2.5" is a real but not an integer.
    field.set_field_type(tipo_campo::int_field);
    field.set_text("2.5");
    EXPECT_FALSE(field.commit_text().ok());
    EXPECT_EQ(field.panel_int(), 0);
    EXPECT_EQ(field.panel_real(), 7);
    field.set_text("-$ff");
    EXPECT_TRUE(field.commit_text().ok());
    EXPECT_EQ(field.panel_int(), -255);
    EXPECT_EQ(field.panel_real(), 7);
}

TEST(ParseFieldReal, Grammar) {
    EXPECT_EQ(parse_field_real("."), 0.0L);
    EXPECT_EQ(parse_field_real("e5"), 0.0L);
    EXPECT_EQ(parse_field_real("+.5e1"), 5.0L);
    EXPECT_EQ(parse_field_real("3."), 3.0L);
    EXPECT_EQ(parse_field_real("\t 1E-3"), 0.001L);
    EXPECT_EQ(parse_field_real("1e-5000"), 0.0L);
    for (const char* bad :
         {"", "  ", "1e", "1e+", "1.5.2", "1 ", "0x10", "1,5", "--1", "1e5000", "1e99999999999"})
        EXPECT_EQ(parse_field_real(bad), std::nullopt) << '"' << bad << '"';
}

TEST(ParseFieldInt, DecimalHexAndRange) {
    EXPECT_EQ(parse_field_int(" -12"), -12);
    EXPECT_EQ(parse_field_int("x1F"), 31);
    EXPECT_EQ(parse_field_int("X1f"), 31);
    EXPECT_EQ(parse_field_int("0x10"), 16);
    EXPECT_EQ(parse_field_int("0X10"), 16);
    EXPECT_EQ(parse_field_int("-$10"), -16);
    EXPECT_EQ(parse_field_int("2147483647"), 2147483647);
    EXPECT_EQ(parse_field_int("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parse_field_int("$7FFFFFFF"), 2147483647);
    for (const char* bad : {"", "-", "$", "0x", "$G", "1.5", "12 ", "2147483648", "-2147483649", "$80000000",
                            "99999999999999999999"})
        EXPECT_EQ(parse_field_int(bad), std::nullopt) << '"' << bad << '"';
}

} // namespace
} // namespace ambrel
