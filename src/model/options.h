// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The fifteen on/off options that steer computation, reports and drawing.
// Fourteen are the check items of the Options menu (in menu order); the last is "Identify"
// of the view's pop-up menu. None is stored between runs.
#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace ambrel {

enum class Option {
    DistancesCenters,      // Distancesc1
    DistancesSurfaces,     // Distancesx1
    ShowErrors,            // Showerrors1
    ShowCharges,           // Showcharges1
    ShowForces,            // Showforces2
    ShowEfield,            // Showefield1
    ShowTangentForces,     // Showtangentforces2
    IdentifyByNumbers,     // Identifybynumbers1
    RotateObjects,         // Rotateobjects1
    ShadedBalls,           // Shadedballs1
    AlwaysCalculate,       // Alwayscalculate1
    UseSquares,            // Usesquares
    SpeedSimulation,       // Speedsimulation1
    CorrectRotationForces, // Correctrotationforces1
    Identify,              // Identify1 (pop-up menu)
};

inline constexpr int OPTION_COUNT = 15;

struct OptionInfo {
    std::string_view item_name; // menu item's component name
    std::string_view caption;
    bool at_start;
};

// In menu order; index = static_cast<int>(Option).
const std::array<OptionInfo, OPTION_COUNT>& option_table();
const OptionInfo& option_info(Option o);

// The command-line name of an option: its caption in lower case with blanks as dashes
// ("Show forces" -> "show-forces").
std::string option_cli_name(Option o);
std::optional<Option> option_from_cli_name(std::string_view name);

// The switches may be flipped by the window while a run reads them on its worker thread: each
// is an atomic flag (a run sees a change from its next reading on, as it would between steps).
class Options {
  public:
    Options();
    Options(const Options& other) { *this = other; }
    Options& operator=(const Options& other) {
        for (int i = 0; i < OPTION_COUNT; ++i)
            values_[i].store(other.values_[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
        return *this;
    }
    bool operator[](Option o) const { return values_[static_cast<int>(o)].load(std::memory_order_relaxed); }
    void set(Option o, bool on) { values_[static_cast<int>(o)].store(on, std::memory_order_relaxed); }
    void toggle(Option o) { set(o, !(*this)[o]); }
    void reset_to_defaults();

  private:
    std::array<std::atomic<bool>, OPTION_COUNT> values_{};
};

} // namespace ambrel
