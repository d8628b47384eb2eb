// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The exit statuses of ambrel-batch (and of its study workers, whose statuses the parent reads).
#pragma once

namespace ambrel {

inline constexpr int DONE_STATUS = 0;      // every action done
inline constexpr int FAILED_STATUS = 1;    // the reader stopped on an error, or an action failed
                                           // (Too large angles, a failed point, ...)
inline constexpr int USAGE_STATUS = 2;     // a usage error, or a file that cannot be read or written
inline constexpr int STOPPED_STATUS = 130; // an interrupt stopped the command under way

} // namespace ambrel
