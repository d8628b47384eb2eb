// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The text reports of an evaluation: charges (nC), forces (uN), angles (degrees), rotational
// forces (uN), distances between objects (cm), surface fields (kV/cm), the total capacitance
// (pF) and what the charge computation has to say (spheres left uncharged, aligned plates, a
// singular matrix). Each writes its lines to a sink; none computes anything but the text.
#pragma once

#include "model/output_sink.h"
#include "model/system_model.h"
#include "physics/evaluation.h"

#include <string>

namespace ambrel {

// "[i]" for a single ball, "[first-last]" for a composite object ending at sphere i.
std::string object_label(const SystemModel& model, int i);

// The lines of the charge computation, in the order it meets them: the spheres left uncharged
// (only when `name_uncharged`: once per reading, not at every step of a run), the aligned
// plates, the singular pivot.
void report_charge_diagnostics(const ChargeDiagnostics& diagnostics, const SystemModel& model,
                               bool name_uncharged, OutputSink& out);

void report_charges(const SystemModel& model, const Evaluation& ev, OutputSink& out);
void report_forces(const SystemModel& model, const Evaluation& ev, OutputSink& out);
void report_angles(const SystemModel& model, OutputSink& out);
void report_rotational_forces(const SystemModel& model, const Evaluation& ev, OutputSink& out);
void report_center_distances(const SystemModel& model, OutputSink& out);
void report_surface_distances(const SystemModel& model, OutputSink& out);
void report_fields(const SystemModel& model, const Evaluation& ev, OutputSink& out);
// "Total capacitance = " with the value in pF.
void report_total_capacitance(const Evaluation& ev, OutputSink& out);
// The potential each isolated conductor floats at, one line each, in conductor order.
void report_floating_potentials(const SystemModel& model, const Evaluation& ev, OutputSink& out);

} // namespace ambrel
