// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/utf8.h"

namespace ambrel {

namespace {

// Length of the UTF-8 sequence that starts at text[i], or 0 when it is not a valid one.
std::size_t sequence_length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80)
        return 1;
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0)
            low = 0xA0; // no overlong form
        else if (b0 == 0xED)
            high = 0x9F; // no surrogate
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0)
            low = 0x90;
        else if (b0 == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return n;
}

} // namespace

bool is_valid_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sequence_length(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string_view cut_characters(std::string_view text, std::size_t max_chars) {
    if (text.size() <= max_chars)
        return text; // even as bytes it is short enough
    if (!is_valid_utf8(text))
        return text.substr(0, max_chars);
    std::size_t i = 0;
    for (std::size_t chars = 0; chars < max_chars && i < text.size(); ++chars)
        i += sequence_length(text, i);
    return text.substr(0, i);
}

} // namespace ambrel
