// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/calculator_fields.h"

#include "text/number_format.h"
#include "text/numeric_field.h"

#include <variant>

namespace ambrel {

namespace {

using Target = std::variant<Real ExtraFields::*, Real ElectroscopeFields::*, bool ElectroscopeFields::*>;

// Where a field's value may lie: above `low` (from it when `from_low`), up to `high`.
// Lengths and distances in cm, masses in g, angles in degrees, voltages in V.
constexpr ValueRange POSITIVE_LENGTH{0, false, 10000}; // up to 100 m
constexpr ValueRange RADIUS{0, false, 1000};           // up to 10 m
constexpr ValueRange DISTANCE{0, true, 10000};         // 0 allowed
constexpr ValueRange POSITIVE_MASS{0, false, 10000};   // up to 10 kg
constexpr ValueRange MASS{0, true, 10000};             // 0 allowed
constexpr ValueRange ANGLE{0, false, 90};              // from the vertical, up to horizontal
constexpr ValueRange VOLTAGE{-1e9L, true, 1e9L};       // a gigavolt either way
constexpr ValueRange TABLE_X{-10000, true, 10000};     // the table's own checks do the rest
constexpr ValueRange ANY{-1e300L, true, 1e300L};       // checked where it is used

struct FieldEntry {
    CalculatorFieldInfo info;
    Target target;
    ValueRange range = ANY;
};

constexpr std::string_view EXTRA = "Extra";
constexpr std::string_view ELECTROSCOPE = "Pith-balls electroscope";

const std::vector<FieldEntry>& field_table() {
    static const std::vector<FieldEntry> table = {
        {{"NEr", EXTRA, "Radius (cm)", "0.75", false}, &ExtraFields::NEr, RADIUS},
        {{"NEL", EXTRA, "Line length (cm, to ball center)", "13.5", false},
         &ExtraFields::NEL,
         POSITIVE_LENGTH},
        {{"NEa1", EXTRA, "Angle 1", "20", false}, &ExtraFields::NEa1, ANGLE},
        {{"NEa2", EXTRA, "Angle 2", "20", false}, &ExtraFields::NEa2, ANGLE},
        {{"NEV", EXTRA, "Voltage", "20000", false}, &ExtraFields::NEV, VOLTAGE},
        {{"NEm", EXTRA, "Mass (g)", "0.4", false}, &ExtraFields::NEm, POSITIVE_MASS},
        {{"NE5r", EXTRA, "Radius (cm)", "0.75", false}, &ExtraFields::NE5r, RADIUS},
        {{"NE5x", EXTRA, "Separation b. surfaces (cm)", "1", false}, &ExtraFields::NE5x, DISTANCE},
        {{"NE5L", EXTRA, "Line length (cm)", "13.5", false}, &ExtraFields::NE5L, POSITIVE_LENGTH},
        {{"NE5m", EXTRA, "Mass (g)", "0.4", false}, &ExtraFields::NE5m, POSITIVE_MASS},
        {{"NE5d", EXTRA, "Dist. of support to center (cm)", "0.2", false}, &ExtraFields::NE5d, DISTANCE},
        {{"Emb", ELECTROSCOPE, "Ball mass (g)", "0.4", false}, &ElectroscopeFields::Emb, POSITIVE_MASS},
        {{"Emf", ELECTROSCOPE, "Wire mass (g)", "0", false}, &ElectroscopeFields::Emf, MASS},
        {{"EL", ELECTROSCOPE, "Suspension line length (cm)", "13.5", false},
         &ElectroscopeFields::EL,
         POSITIVE_LENGTH},
        {{"Ed", ELECTROSCOPE, "Support dist. from center (cm)", "0.2", false},
         &ElectroscopeFields::Ed,
         DISTANCE},
        {{"Er", ELECTROSCOPE, "Ball radius r (cm)", "0.75", false}, &ElectroscopeFields::Er, RADIUS},
        {{"Ex", ELECTROSCOPE, "Ball separation x (cm)", "1", false}, &ElectroscopeFields::Ex, TABLE_X},
        {{"Ex1", ELECTROSCOPE, "Starting x", "0", false}, &ElectroscopeFields::Ex1, TABLE_X},
        {{"Ex2", ELECTROSCOPE, "Final x", "4", false}, &ElectroscopeFields::Ex2, TABLE_X},
        {{"Edx", ELECTROSCOPE, "delta x", "0.1", false}, &ElectroscopeFields::Edx},
        {{"CB3", ELECTROSCOPE, "3 balls", "1", true}, &ElectroscopeFields::CB3},
        {{"CB4", ELECTROSCOPE, "4 balls", "1", true}, &ElectroscopeFields::CB4},
        {{"CB5", ELECTROSCOPE, "5 balls", "1", true}, &ElectroscopeFields::CB5},
    };
    return table;
}

const FieldEntry* find_field(std::string_view name) {
    for (const auto& entry : field_table())
        if (entry.info.name == name)
            return &entry;
    return nullptr;
}

// The first of `names` whose value lies outside its range, as a failure that names its label.
template <class Fields>
Status check_ranges(const Fields& fields, std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) {
        const FieldEntry* entry = find_field(name);
        const auto* member = entry ? std::get_if<Real Fields::*>(&entry->target) : nullptr;
        if (!member)
            return Status::failure("Unknown calculator field \"" + std::string(name) + "\"");
        const Real value = fields.*(*member);
        const ValueRange& range = entry->range;
        if (!range.contains(value))
            return Status::failure(out_of_range_message(entry->info.label, format_g(value), range));
    }
    return Status::success();
}

Status unknown_field(std::string_view name) {
    return Status::failure("Unknown calculator field \"" + std::string(name) + "\"");
}

// Sets the field through the one struct that holds it; a null struct pointer means that the
// caller's struct does not have the field.
Status set_field(ExtraFields* extra, ElectroscopeFields* electroscope, std::string_view name,
                 std::string_view value_text) {
    const FieldEntry* entry = find_field(name);
    if (!entry)
        return unknown_field(name);
    if (const auto* member = std::get_if<bool ElectroscopeFields::*>(&entry->target)) {
        if (!electroscope)
            return unknown_field(name);
        const auto value = parse_field_int(value_text);
        if (!value || (*value != 0 && *value != 1))
            return Status::failure(std::string(name) + ": \"" + std::string(value_text) + "\" is not 0 or 1");
        electroscope->*(*member) = *value == 1;
        return Status::success();
    }
    const Result<Real> value = read_field_real(value_text);
    if (const auto* member = std::get_if<Real ExtraFields::*>(&entry->target)) {
        if (!extra)
            return unknown_field(name);
        if (!value)
            return value.status();
        extra->*(*member) = *value;
        return Status::success();
    }
    const auto member = std::get<Real ElectroscopeFields::*>(entry->target);
    if (!electroscope)
        return unknown_field(name);
    if (!value)
        return value.status();
    electroscope->*member = *value;
    return Status::success();
}

} // namespace

Status check_calculator_fields(const ExtraFields& fields, std::initializer_list<std::string_view> names) {
    return check_ranges(fields, names);
}

Status check_calculator_fields(const ElectroscopeFields& fields,
                               std::initializer_list<std::string_view> names) {
    return check_ranges(fields, names);
}

const std::vector<CalculatorFieldInfo>& calculator_fields() {
    static const std::vector<CalculatorFieldInfo> infos = [] {
        std::vector<CalculatorFieldInfo> list;
        for (const auto& entry : field_table())
            list.push_back(entry.info);
        return list;
    }();
    return infos;
}

std::vector<std::string> calculator_field_names() {
    std::vector<std::string> names;
    for (const auto& entry : field_table())
        names.emplace_back(entry.info.name);
    return names;
}

Status set_calculator_field(CalculatorFields& fields, std::string_view name, std::string_view value_text) {
    return set_field(&fields.extra, &fields.electroscope, name, value_text);
}

Status set_calculator_field(ExtraFields& fields, std::string_view name, std::string_view value_text) {
    return set_field(&fields, nullptr, name, value_text);
}

Status set_calculator_field(ElectroscopeFields& fields, std::string_view name, std::string_view value_text) {
    return set_field(nullptr, &fields, name, value_text);
}

} // namespace ambrel
