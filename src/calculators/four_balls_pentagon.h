// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The two calculators of the "Extra" window, in the point-charge model (each ball a point
// charge at its centre with its own potential coefficient 1/(4 pi e0 r)):
// - four balls hung from one point at two angles: capacitance, charges, forces and weight;
// - five balls in a regular pentagon: capacitance, string angle, and the voltage and charge
//   that hold it, each computed two equivalent ways side by side.
// Reports go line by line to the sink; a floating-point fault stops a report after the
// lines already written and is returned as the error text.
#pragma once

#include "calculators/calculator_fields.h"
#include "model/output_sink.h"
#include "model/status.h"

namespace ambrel {

Status four_balls_report(const ExtraFields& fields, OutputSink& sink);
Status pentagon_report(const ExtraFields& fields, OutputSink& sink);

} // namespace ambrel
