// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The pith-ball electroscope report: from the observed gap between two equal charged balls
// hung on strings, the string angle, the force, the charge and the voltage, with several
// capacitance models side by side (point charges, an interpolation exact at two gaps, a
// series for two spheres), the limit of almost touching balls, and the same question for
// 3, 4 and 5 balls at the corners of a regular polygon.
#pragma once

#include "calculators/calculator_fields.h"
#include "model/output_sink.h"
#include "model/status.h"

namespace ambrel {

// Writes the report for the gap in Ex, with the polygon sections chosen by CB3, CB4, CB5. A
// floating-point fault stops it after the lines already written and is returned.
Status electroscope_report(const ElectroscopeFields& fields, OutputSink& sink);

} // namespace ambrel
