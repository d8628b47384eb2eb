#include "text/numeric_field.h"

#include "text/number_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace ambrel {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view skip_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    return text.substr(i);
}

// Exponents beyond this only say "overflow" or "underflow"; saturating keeps the arithmetic
// on the decimal exponent safe.
constexpr long EXPONENT_LIMIT = 100000;

} // namespace

std::string invalid_number_message(std::string_view text) {
    std::string message(text);
    message += INVALID_NUMBER_SUFFIX;
    return message;
}

std::optional<Real> parse_field_real(std::string_view text) {
    const std::string_view s = skip_blanks(text);
    if (s.empty())
        return std::nullopt;
    std::size_t i = 0;
    const std::size_t n = s.size();
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i] == '-';
        ++i;
    }
    const std::size_t int_start = i;
    while (i < n && is_digit(s[i]))
        ++i;
    const std::string_view int_digits = s.substr(int_start, i - int_start);
    std::string_view frac_digits;
    if (i < n && s[i] == '.') {
        const std::size_t frac_start = ++i;
        while (i < n && is_digit(s[i]))
            ++i;
        frac_digits = s.substr(frac_start, i - frac_start);
    }
    long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool exponent_negative = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) {
            exponent_negative = s[i] == '-';
            ++i;
        }
        const std::size_t exp_start = i;
        while (i < n && is_digit(s[i])) {
            if (exponent < EXPONENT_LIMIT)
                exponent = exponent * 10 + (s[i] - '0');
            ++i;
        }
        if (i == exp_start)
            return std::nullopt;
        if (exponent_negative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;

    // Position of the first significant digit relative to the point decides overflow.
    long leading_exponent = 0;
    bool all_zero = true;
    std::size_t int_significant = int_digits.find_first_not_of('0');
    if (int_significant != std::string_view::npos) {
        all_zero = false;
        leading_exponent = static_cast<long>(int_digits.size() - int_significant) - 1;
    } else {
        std::size_t frac_significant = frac_digits.find_first_not_of('0');
        if (frac_significant != std::string_view::npos) {
            all_zero = false;
            leading_exponent = -static_cast<long>(frac_significant) - 1;
        }
    }
    if (all_zero)
        return Real(0);

    std::string normalized = int_digits.empty() ? std::string("0") : std::string(int_digits);
    if (!frac_digits.empty()) {
        normalized += '.';
        normalized += frac_digits;
    }
    normalized += 'e';
    normalized += std::to_string(exponent);
    Real value = 0;
    const auto res = std::from_chars(normalized.data(), normalized.data() + normalized.size(), value,
                                     std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        if (leading_exponent + exponent > 0)
            return std::nullopt; // beyond the extended range
        value = 0;               // below the smallest extended value
    } else if (res.ec != std::errc() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
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
        const int digit = base == 16 ? hex_digit_value(s[i]) : (is_digit(s[i]) ? s[i] - '0' : -1);
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

std::optional<std::string> NumericField::commit_text() {
    switch (field_type_) {
    case tipo_campo::text_field:
        return std::nullopt;
    case tipo_campo::real_field:
        if (const auto value = parse_field_real(text_)) {
            panel_real_ = *value;
            return std::nullopt;
        }
        break;
    case tipo_campo::int_field:
        if (const auto value = parse_field_int(text_)) {
            panel_int_ = *value;
            return std::nullopt;
        }
        break;
    }
    return invalid_number_message(text_);
}

} // namespace ambrel
