// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Initialize: the one pipeline that turns the description into a ready model, with the
// computation that follows it; its lines go through the session's reporter (the notes on a large
// system or a Stop, then `initialized`, the reports of the state read).
#pragma once

#include "description/reader.h"
#include "session/session.h"
#include "solver/run_observer.h"

#include <optional>
#include <string>
#include <vector>

namespace ambrel {

// Above this many spheres the charges are computed only with "Always calculate charges".
inline constexpr int LARGE_SYSTEM = 500;

struct InitializeResult {
    // The reading's outcome: a failure carries the line that stopped it.
    Status read_status = Status::success();
    // What the reader noticed in the lines it read (nothing it changed): the hosts show them.
    std::vector<ReadWarning> warnings;
    // False when a large system stopped before the charges (they are all 0).
    bool charges_computed = true;
    // The host's Stop ended it after the reading, before the charges.
    bool stopped = false;
};

InitializeResult initialize_system(Session& session, const std::vector<std::string>& description);

// The one reading a command may need before it runs: when the system is not initialised,
// Initialize reads `description`, observer.initialized hears of it (the host takes the new system
// into its camera) and its result is returned; an initialised system is left as it is and nothing
// is returned. The command then runs on whatever the reading gave, as after Initialize, also when
// the reader stopped at an error; a Stop during the reading is still requested when the command
// first looks at it.
// The last evaluation of a command, whose state its final reports show: at the positions as they
// stand (not recomputed), the forces said to the reporter (sphere_forces) before the rotational
// forces share them.
void final_evaluation(Session& session);

std::optional<InitializeResult> read_if_needed(Session& session, const std::vector<std::string>& description,
                                               const RunObserver& observer = {});

} // namespace ambrel
