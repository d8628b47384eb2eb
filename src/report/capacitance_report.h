// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The capacitances between conductors: the sphere capacitance matrix condensed into the
// Maxwell coefficients CC[a][b] = sum of C[j][l] over the spheres j of conductor a and l of b,
// the two-terminal capacitances -CC[a][b], each conductor's capacitance to infinity (its row
// sum) and, for two conductors, the capacitance seen with balanced voltages. Values in pF.
#pragma once

#include "model/output_sink.h"
#include "model/system_model.h"
#include "physics/evaluation.h"

namespace ambrel {

// Forms the full capacitance matrix from the workspace's last build when it is not formed yet
// (the costly part: a full inverse), then writes the report.
void report_capacitances(const SystemModel& model, EvaluationWorkspace& ws, OutputSink& out);

} // namespace ambrel
