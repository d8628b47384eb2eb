// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The argument of ambrel-batch's --sweep: CONDUCTOR=START:STOP:STEP. The Sweep window has a field
// for each number instead and needs none of this.
#pragma once

#include "model/status.h"
#include "solver/sweep.h"

#include <string_view>

namespace ambrel {

// "START:STOP:STEP", three numbers as the numeric fields read them (parse_field_real), checked
// by sweep_point_count; the message names what is wrong.
Result<SweepRange> parse_sweep_range(std::string_view text);
// "CONDUCTOR=START:STOP:STEP"; the name is the text before the last "=".
Result<SweepRequest> parse_sweep_request(std::string_view text);

} // namespace ambrel
