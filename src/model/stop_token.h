// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A request to stop a long command, made by its host and read by the command.
//
// The host (the window's Stop button, ambrel-batch on an interrupt) owns a StopSource: it clears
// it before it starts a command, never while one runs, and requests a stop at any moment from any
// thread (a signal handler included: the flag is a lock-free atomic). A command sees only the
// StopToken, which it can read and nothing else, so a Stop that comes while the command still
// reads its description is never erased; the command says in its result that it ended because
// of it.
#pragma once

#include <atomic>

namespace ambrel {

class StopToken {
  public:
    bool requested() const { return flag_.load(std::memory_order_relaxed); }

  protected:
    StopToken() = default;
    std::atomic<bool> flag_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

class StopSource : public StopToken {
  public:
    StopSource() = default;
    StopSource(const StopSource&) = delete;
    StopSource& operator=(const StopSource&) = delete;

    void request() { flag_.store(true, std::memory_order_relaxed); }
    // Only while no command runs.
    void clear() { flag_.store(false, std::memory_order_relaxed); }
    const StopToken& token() const { return *this; }
};

} // namespace ambrel
