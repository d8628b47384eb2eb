// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmark files of ambrel-bench share with its main program.
#pragma once

namespace ambrel::bench {

// Name of the benchmark every figure is divided by.
inline constexpr const char* YARDSTICK = "Yardstick/dpotrf 2000";

// Registers the Gauss-Jordan reference solve, which quick runs leave out.
void register_reference_benchmark();

} // namespace ambrel::bench
