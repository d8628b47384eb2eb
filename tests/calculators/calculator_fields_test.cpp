// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/calculator_fields.h"
#include "calculators/checked_real.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

namespace ambrel {
namespace {

// Setting every field to its listed default text leaves the default structs unchanged, and
// every listed name reaches a field.
TEST(CalculatorFields, ListedDefaultsAreTheStructDefaults) {
    const auto& infos = calculator_fields();
    ASSERT_EQ(infos.size(), 23u);
    CalculatorFields fields;
    for (const auto& info : infos) {
        EXPECT_TRUE(set_calculator_field(fields, info.name, info.default_text).ok()) << info.name;
        CalculatorFields changed;
        EXPECT_TRUE(set_calculator_field(changed, info.name, info.check_box ? "0" : "12345").ok());
        EXPECT_FALSE(changed.extra == ExtraFields{} && changed.electroscope == ElectroscopeFields{})
            << info.name;
    }
    EXPECT_EQ(fields.extra, ExtraFields{});
    EXPECT_EQ(fields.electroscope, ElectroscopeFields{});
    const auto names = calculator_field_names();
    EXPECT_NE(std::find(names.begin(), names.end(), "NEa1"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "CB5"), names.end());
}

TEST(CalculatorFields, SetByNameFromTypedText) {
    CalculatorFields fields;
    EXPECT_TRUE(set_calculator_field(fields, "NEr", "1.5").ok());
    EXPECT_EQ(fields.extra.NEr, 1.5L);
    EXPECT_TRUE(set_calculator_field(fields, "Ex", " -2e-1").ok());
    EXPECT_EQ(fields.electroscope.Ex, -0.2L);
    EXPECT_TRUE(set_calculator_field(fields, "CB4", "0").ok());
    EXPECT_FALSE(fields.electroscope.CB4);
    EXPECT_TRUE(set_calculator_field(fields, "CB4", "1").ok());
    EXPECT_TRUE(fields.electroscope.CB4);

    const CalculatorFields before = fields;
    EXPECT_FALSE(set_calculator_field(fields, "NEL", "abc").ok());
    EXPECT_FALSE(set_calculator_field(fields, "CB5", "1.0").ok());
    EXPECT_EQ(set_calculator_field(fields, "NEr", "1,5").message(), "1,5 is not a valid number");
    EXPECT_EQ(set_calculator_field(fields, "Ex", "12 ").message(), "12  is not a valid number");
    EXPECT_EQ(set_calculator_field(fields, "CB3", "2").message(), "CB3: \"2\" is not 0 or 1");
    EXPECT_EQ(set_calculator_field(fields, "ner", "1").message(), "Unknown calculator field \"ner\"");
    EXPECT_EQ(fields.extra, before.extra);
    EXPECT_EQ(fields.electroscope, before.electroscope);

    // Each window's struct knows only its own fields.
    ExtraFields extra;
    EXPECT_EQ(set_calculator_field(extra, "Emb", "1").message(), "Unknown calculator field \"Emb\"");
    EXPECT_TRUE(set_calculator_field(extra, "NE5x", "2").ok());
    EXPECT_EQ(extra.NE5x, 2);
    ElectroscopeFields electroscope;
    EXPECT_EQ(set_calculator_field(electroscope, "NEV", "1").message(), "Unknown calculator field \"NEV\"");
    EXPECT_TRUE(set_calculator_field(electroscope, "CB5", "0").ok());
    EXPECT_FALSE(electroscope.CB5);
}

calc::FloatingPointFault fault_of(void (*operation)()) {
    try {
        operation();
    } catch (const calc::FloatingPointFault& fault) {
        return fault;
    }
    return {"none"};
}

TEST(CheckedReal, EachFaultHasItsText) {
    using calc::CReal;
    EXPECT_EQ(fault_of([] { CReal(0) / CReal(0); }).message, "Invalid floating point operation");
    EXPECT_EQ(fault_of([] { CReal(-1) / CReal(0); }).message, "Floating point division by zero");
    EXPECT_EQ(fault_of([] { sqrt(CReal(-1e-30L)); }).message, "Invalid floating point operation");
    EXPECT_EQ(fault_of([] { CReal(1e3000L) * CReal(1e3000L); }).message, "Floating point overflow");
    EXPECT_EQ(fault_of([] { hold_double(CReal(1e309L)); }).message, "Floating point overflow");
    EXPECT_EQ(fault_of([] { calc::ln(CReal(0)); }).message, "Floating point division by zero");
    EXPECT_EQ(fault_of([] { CReal{std::numeric_limits<Real>::quiet_NaN()}; }).message,
              "Invalid floating point operation");
    EXPECT_EQ(fault_of([] { sqrt(CReal(-0.0L)) / CReal(1); }).message, "none");
    EXPECT_EQ(hold_double(CReal(0.1L)).value(), static_cast<Real>(0.1));
}

} // namespace
} // namespace ambrel
