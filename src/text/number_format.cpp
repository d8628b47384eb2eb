#include "text/number_format.h"

#include "text/number_scan.h"

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

std::string format_shortest(Real value) {
    if (!std::isfinite(value))
        return non_finite_text(value);
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
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
