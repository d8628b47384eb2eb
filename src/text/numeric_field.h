// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion rules of the numeric entry field, in plain C++: how the text typed into a
// field becomes the stored real or integer, how a stored value is shown, and the state of a
// field (text, stored values, type) as the window's control keeps it. The decimal point is
// always ".", whatever the locale.
#pragma once

#include "model/status.h"
#include "model/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ambrel {

// Which stored value the text of a field stands for; a text field is never converted.
enum class tipo_campo { real_field = 0, int_field = 1, text_field = 2 };

// Appended to the field's text to form the message of a failed conversion.
inline constexpr std::string_view INVALID_NUMBER_SUFFIX = " is not a valid number";

// The message for a text that is not a number: the text as typed followed by the suffix.
std::string invalid_number_message(std::string_view text);

// How a message that names its field shows the field's text: between single quotes, so that
// blanks and an empty text show, and a text of more than 40 bytes cut to its first 36 (never
// inside a UTF-8 character) and "...", so that the message stays whole in its box.
std::string quoted_field_text(std::string_view text);

// The message of a named field whose text is not a number of its type, in the one form every
// window uses: "Time step: 'abc' is not a valid number", "Steps: '1e3' is not a valid whole
// number", "Steps: an empty field is not a valid number".
std::string named_invalid_number_message(std::string_view label, std::string_view text, tipo_campo type);

// The range of a number field: above `low` (or from it, when `from_low`) and up to `high`. A
// value that is not a number lies in no range.
struct ValueRange {
    Real low = 0;
    bool from_low = false;
    Real high = 0;

    bool contains(Real value) const { return (from_low ? value >= low : value > low) && value <= high; }
    // "above 0, up to 1000"; "from 0, up to 90".
    std::string describe() const;
};

// The refusal of a named field whose number is out of its range, in the form of the message
// above: "Time step: '0' is out of range (above 0, up to 1e+06)". `value_text` is the text as
// typed, or the formatted value where no text was typed.
std::string out_of_range_message(std::string_view label, std::string_view value_text,
                                 const ValueRange& range);

// A real: leading blanks, optional sign, digits, optional "." and fraction digits, optional
// exponent (E or e, optional sign, at least one digit). The digits before and after the
// point may both be missing (".", "e5" read as 0). Empty text, any other character (trailing
// blanks too) or a value beyond the extended range gives nullopt.
std::optional<Real> parse_field_real(std::string_view text);

// A signed 32-bit integer: leading blanks, optional sign, then decimal digits or hexadecimal
// digits introduced by "$", "x", "X", "0x" or "0X". Anything else, or a value that does not
// fit in 32 signed bits, gives nullopt.
std::optional<std::int32_t> parse_field_int(std::string_view text);

// Whether the text has a digit before its exponent: ".", "e5" or "-" have none, and the grammar
// above reads them as 0.
bool mantissa_has_digit(std::string_view text);

// The value a real or integer field stores for text as typed, or the message of the
// invalid-number error box. A real field refuses a text whose mantissa has no digit.
Result<Real> read_field_real(std::string_view text);
Result<std::int32_t> read_field_int(std::string_view text);

// The text a real field shows for its value: the general 15-digit format.
std::string field_real_text(Real value);

// The text an integer field shows for its value: decimal digits, "-" when negative.
std::string field_int_text(std::int32_t value);

// A numeric entry field: the text being edited, the two stored values and the field type.
// Only the value of the current type is tied to the text; setting a value of another type
// leaves the text alone.
class NumericField {
  public:
    const std::string& text() const { return text_; }
    // What the user types: stored as is, converted only by commit_text().
    void set_text(std::string text) { text_ = std::move(text); }

    Real panel_real() const { return panel_real_; }
    std::int32_t panel_int() const { return panel_int_; }
    tipo_campo field_type() const { return field_type_; }

    void set_panel_real(Real value);
    void set_panel_int(std::int32_t value);
    void set_field_type(tipo_campo type);

    // Leaving the field: converts the text and stores the number of the field's type. On
    // failure nothing is stored and the status carries the message for the error box. The
    // text stays exactly as typed either way; a text field always succeeds.
    Status commit_text();

  private:
    std::string text_ = "0";
    Real panel_real_ = 0;
    std::int32_t panel_int_ = 0;
    tipo_campo field_type_ = tipo_campo::real_field;
};

} // namespace ambrel
