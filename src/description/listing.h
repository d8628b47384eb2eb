// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The updated system written back in the description language: one element line per object
// with its current angles, ready to paste into the description panel, and a .Q line for each
// isolated conductor.
#pragma once

#include "model/output_sink.h"
#include "model/system_model.h"

namespace ambrel {

void list_updated_system(const SystemModel& model, OutputSink& out);

} // namespace ambrel
