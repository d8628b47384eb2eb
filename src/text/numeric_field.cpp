// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/numeric_field.h"

#include "text/number_format.h"
#include "text/number_scan.h"

namespace ambrel {

namespace {

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string invalid_number_message(std::string_view text) {
    std::string message(text);
    message += INVALID_NUMBER_SUFFIX;
    return message;
}

std::string quoted_field_text(std::string_view text) {
    constexpr std::size_t WHOLE = 40, KEPT = 36;
    std::string quoted = "'";
    if (text.size() <= WHOLE) {
        quoted += text;
    } else {
        std::size_t cut = KEPT;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // text[cut] continues a UTF-8 character: cut before the character
        quoted += text.substr(0, cut);
        quoted += "...";
    }
    quoted += "'";
    return quoted;
}

std::string named_invalid_number_message(std::string_view label, std::string_view text, tipo_campo type) {
    std::string message(label);
    message += ": ";
    if (text.empty())
        return message + "an empty field is not a valid number";
    message += quoted_field_text(text);
    message += type == tipo_campo::int_field ? " is not a valid whole number" : " is not a valid number";
    return message;
}

std::string ValueRange::describe() const {
    return (from_low ? "from " : "above ") + format_g(low) + ", up to " + format_g(high);
}

std::string out_of_range_message(std::string_view label, std::string_view value_text,
                                 const ValueRange& range) {
    return std::string(label) + ": " + quoted_field_text(value_text) + " is out of range (" +
           range.describe() + ")";
}

std::optional<Real> parse_field_real(std::string_view text) {
    const std::string_view s = skip_blanks(text);
    if (s.empty())
        return std::nullopt;
    const ScannedNumber number = scan_number(s);
    if (!number.whole)
        return std::nullopt;
    // A zero mantissa is stored as 0 whatever its sign ("-0", "-.0e3").
    if (number.is_zero())
        return Real(0);
    const std::optional<Real> value = scanned_magnitude(number);
    if (!value)
        return std::nullopt; // beyond the extended range
    return number.negative ? -*value : *value;
}

std::optional<std::int32_t> parse_field_int(std::string_view text) {
    const std::string_view s = skip_blanks(text);
    std::size_t i = 0;
    const std::size_t n = s.size();
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return std::nullopt;
    // The magnitude may reach 2^31 only for a negative number.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit = base == 16 ? hex_digit_value(s[i]) : (is_decimal_digit(s[i]) ? s[i] - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::string field_real_text(Real value) {
    return format_g(value);
}

std::string field_int_text(std::int32_t value) {
    return std::to_string(value);
}

void NumericField::set_panel_real(Real value) {
    panel_real_ = value;
    if (field_type_ == tipo_campo::real_field)
        text_ = field_real_text(value);
}

void NumericField::set_panel_int(std::int32_t value) {
    panel_int_ = value;
    if (field_type_ == tipo_campo::int_field)
        text_ = field_int_text(value);
}

void NumericField::set_field_type(tipo_campo type) {
    field_type_ = type;
    if (type == tipo_campo::real_field)
        text_ = field_real_text(panel_real_);
    else if (type == tipo_campo::int_field)
        text_ = field_int_text(panel_int_);
}

bool mantissa_has_digit(std::string_view text) {
    const std::string_view mantissa = text.substr(0, text.find_first_of("eE"));
    return mantissa.find_first_of("0123456789") != std::string_view::npos;
}

Result<Real> read_field_real(std::string_view text) {
    // The grammar reads a text without a digit before its exponent (".", "e5", "-") as 0; typed
    // into a field, it names no number at all and is refused as such.
    if (const auto value = parse_field_real(text); value && mantissa_has_digit(text))
        return *value;
    return Result<Real>::failure(invalid_number_message(text));
}

Result<std::int32_t> read_field_int(std::string_view text) {
    if (const auto value = parse_field_int(text))
        return *value;
    return Result<std::int32_t>::failure(invalid_number_message(text));
}

Status NumericField::commit_text() {
    switch (field_type_) {
    case tipo_campo::text_field:
        break;
    case tipo_campo::real_field: {
        const Result<Real> value = read_field_real(text_);
        if (!value)
            return value.status();
        panel_real_ = *value;
        break;
    }
    case tipo_campo::int_field: {
        const Result<std::int32_t> value = read_field_int(text_);
        if (!value)
            return value.status();
        panel_int_ = *value;
        break;
    }
    }
    return Status::success();
}

} // namespace ambrel
