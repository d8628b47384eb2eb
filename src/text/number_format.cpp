#include "text/number_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

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

Real parse_real(std::string_view text) {
    // Find the longest prefix that is a valid decimal number.
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissa_start = i;
    std::size_t int_digits = 0, frac_digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++int_digits;
    }
    std::size_t end = i;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++frac_digits;
        }
        if (int_digits + frac_digits > 0)
            end = i;
    }
    if (int_digits + frac_digits == 0)
        return 0;
    // The exponent counts only when at least one digit follows "E", "e" and its sign.
    if (end < n && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t j = end + 1;
        if (j < n && (text[j] == '+' || text[j] == '-'))
            ++j;
        const std::size_t exp_digits_start = j;
        while (j < n && text[j] >= '0' && text[j] <= '9')
            ++j;
        if (j > exp_digits_start)
            end = j;
    }
    const std::string_view number = text.substr(mantissa_start, end - mantissa_start);
    Real value = 0;
    auto res =
        std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Decide overflow or underflow from the decimal exponent of the text.
        long exponent10 = static_cast<long>(int_digits) - 1;
        const auto e_pos = number.find_first_of("eE");
        if (e_pos != std::string_view::npos) {
            long e = 0;
            const char* first = number.data() + e_pos + 1;
            if (*first == '+')
                ++first;
            auto r = std::from_chars(first, number.data() + number.size(), e);
            if (r.ec == std::errc::result_out_of_range)
                e = (*first == '-') ? -100000 : 100000;
            exponent10 += e;
        }
        value = exponent10 > 0 ? std::numeric_limits<Real>::max() : 0;
    } else if (res.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

} // namespace ambrel
