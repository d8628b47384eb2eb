// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/options.h"

namespace ambrel {

const std::array<OptionInfo, OPTION_COUNT>& option_table() {
    static const std::array<OptionInfo, OPTION_COUNT> table{{
        {"Distancesc1", "Distances between centers", false},
        {"Distancesx1", "Distances between surfaces", false},
        {"Showerrors1", "Show errors", true},
        {"Showcharges1", "Show charges", true},
        {"Showforces2", "Show forces", false},
        {"Showefield1", "Show electric fields", false},
        {"Showtangentforces2", "Show tangent forces", true},
        {"Identifybynumbers1", "Identify by numbers", true},
        {"Rotateobjects1", "Rotate objects", true},
        {"Shadedballs1", "Shaded balls", true},
        {"Alwayscalculate1", "Always calculate charges", false},
        {"Usesquares", "Use squares for flat objects", true},
        {"Speedsimulation1", "True time-domain simulation", false},
        {"Correctrotationforces1", "Correct rotation forces", true},
        {"Identify1", "Identify", false},
    }};
    return table;
}

const OptionInfo& option_info(Option o) {
    return option_table()[static_cast<int>(o)];
}

std::string option_cli_name(Option o) {
    std::string name;
    for (char c : option_info(o).caption) {
        if (c == ' ')
            name += '-';
        else if (c >= 'A' && c <= 'Z')
            name += static_cast<char>(c - 'A' + 'a');
        else
            name += c;
    }
    return name;
}

std::optional<Option> option_from_cli_name(std::string_view name) {
    for (int i = 0; i < OPTION_COUNT; ++i) {
        if (option_cli_name(static_cast<Option>(i)) == name)
            return static_cast<Option>(i);
    }
    return std::nullopt;
}

Options::Options() {
    reset_to_defaults();
}

void Options::reset_to_defaults() {
    for (int i = 0; i < OPTION_COUNT; ++i)
        values_[i].store(option_table()[i].at_start, std::memory_order_relaxed);
}

} // namespace ambrel
