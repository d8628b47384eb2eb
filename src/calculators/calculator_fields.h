// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs of the closed-form calculators: every field of the "Extra" window (four balls
// from one point, five balls in a pentagon) and of the pith-ball electroscope window, with
// the windows' defaults, settable by component name from text as typed. Values are kept in
// the units of the fields (cm, degrees, g, V); the calculators convert them to SI.
#pragma once

#include "model/status.h"
#include "model/types.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// The "Extra" window (TForm3).
struct ExtraFields {
    // Four balls suspended from a single point with two angles.
    Real NEr = 0.75L; // radius, cm
    Real NEL = 13.5L; // string length to the ball centre, cm
    Real NEa1 = 20;   // angle of balls 1 and 3 from the vertical, degrees
    Real NEa2 = 20;   // angle of balls 2 and 4 from the vertical, degrees
    Real NEV = 20000; // voltage, V
    Real NEm = 0.4L;  // mass of one ball, g
    // Five balls in a pentagon.
    Real NE5r = 0.75L; // radius, cm
    Real NE5x = 1;     // separation between neighbouring surfaces, cm
    Real NE5L = 13.5L; // string length, cm
    Real NE5m = 0.4L;  // mass of one ball, g
    Real NE5d = 0.2L;  // horizontal distance of each support from the centre, cm

    bool operator==(const ExtraFields&) const = default;
};

// The pith-ball electroscope window (TForm7).
struct ElectroscopeFields {
    Real Emb = 0.4L; // ball mass, g
    Real Emf = 0;    // wire mass, g
    Real EL = 13.5L; // suspension line length to the ball centre, cm
    Real Ed = 0.2L;  // support distance from the centre, cm
    Real Er = 0.75L; // ball radius, cm
    Real Ex = 1;     // separation between the ball surfaces for the report, cm
    Real Ex1 = 0;    // table: starting x, cm
    Real Ex2 = 4;    // table: final x, cm
    Real Edx = 0.1L; // table: step of x, cm
    bool CB3 = true; // report the three-ball polygon
    bool CB4 = true; // report the four-ball polygon
    bool CB5 = true; // report the five-ball polygon

    bool operator==(const ElectroscopeFields&) const = default;
};

// Both windows, for a front end that addresses every field by name.
struct CalculatorFields {
    ExtraFields extra;
    ElectroscopeFields electroscope;
};

// One field: its component name, the label of its window and its default text.
struct CalculatorFieldInfo {
    std::string_view name;
    std::string_view window; // "Extra" or "Pith-balls electroscope"
    std::string_view label;
    std::string_view default_text;
    bool check_box;
};

// Every field of both windows, in window order.
const std::vector<CalculatorFieldInfo>& calculator_fields();
std::vector<std::string> calculator_field_names();

// The physical range of each number field, which a calculator checks before it computes: lengths,
// radii and masses positive (a wire's mass, a support's distance and a separation may be 0), angles
// from the vertical between 0 and 90 degrees, and bounds far beyond any use that keep every number
// the reports print finite and of a sensible width (a mass of 1e308 g printed forces of 250 digits).
// A failure names the first field out of range by its label, with its value and the range:
// "Radius (cm): -1 is out of range (above 0, up to 1000)". `names` are component names.
Status check_calculator_fields(const ExtraFields& fields, std::initializer_list<std::string_view> names);
Status check_calculator_fields(const ElectroscopeFields& fields,
                               std::initializer_list<std::string_view> names);

// Sets the field with the given component name from text as typed into the window: a
// number by the rules of the numeric entry field, "0" or "1" for a check box. Fails with
// the error text for an unknown name or an invalid value; nothing is changed then.
Status set_calculator_field(CalculatorFields& fields, std::string_view name, std::string_view value_text);
Status set_calculator_field(ExtraFields& fields, std::string_view name, std::string_view value_text);
Status set_calculator_field(ElectroscopeFields& fields, std::string_view name, std::string_view value_text);

} // namespace ambrel
