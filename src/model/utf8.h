// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting text to a number of characters. Descriptions and names are UTF-8 as a rule: they are
// cut by characters, so that a cut never splits one. Text that is not valid UTF-8 (a file in an
// older 8-bit encoding) is cut by bytes, one byte standing for one character.
#pragma once

#include <cstddef>
#include <string_view>

namespace ambrel {

// Valid UTF-8: no stray continuation byte, no overlong form, no surrogate, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);

// The first `max_chars` characters of `text` (code points for valid UTF-8, bytes otherwise).
std::string_view cut_characters(std::string_view text, std::size_t max_chars);

} // namespace ambrel
