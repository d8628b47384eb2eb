// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What a worker thread hands to the window: values put on any thread and taken together on the
// window's thread, with one notification for each batch. The first put after a take notifies
// (outside the lock, so a notification that runs at once may take); later puts only add to what
// waits. The window is never flooded with one event per value, and nothing put is lost.
#pragma once

#include <mutex>
#include <utility>

namespace ambrel::ui {

template <class Pending> class CoalescingMailbox {
  public:
    // change(pending) under the lock; then notify() if nothing has been notified since the last
    // take. Any thread.
    template <class Change, class Notify> void put(Change&& change, Notify&& notify) {
        std::unique_lock lock(mutex_);
        change(pending_);
        if (notified_)
            return;
        notified_ = true;
        lock.unlock();
        notify();
    }

    // Everything put since the last take, which starts afresh.
    Pending take() {
        std::lock_guard lock(mutex_);
        Pending taken = std::move(pending_);
        pending_ = Pending{};
        notified_ = false;
        return taken;
    }

  private:
    std::mutex mutex_;
    Pending pending_{};
    bool notified_ = false;
};

} // namespace ambrel::ui
