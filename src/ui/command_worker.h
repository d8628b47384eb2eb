// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The worker thread of the main window: one long command at a time (Initialize, Calculate, the
// Jacobian, the capacitances) runs on it while the window keeps answering, and what the command
// reports on its way (the newest picture, the newest progress text) comes back to the window
// without ever piling up.
#pragma once

#include "session/snapshot.h"
#include "ui/mailbox.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace ambrel::ui {

// One step of a relaxation run: its number (from 1) and its error, the largest rotational
// force (N).
struct RunStep {
    int step = 0;
    double error = 0;
};

// The newest snapshot and the newest progress text a command has sent, and every step of a run
// since the window last looked. Filled from the worker, emptied by the window; `updated` is
// emitted once until the window takes what is there, so a window that draws slowly skips the
// pictures it had no time for (but no step: the convergence chart has a point for each).
class RunFeed : public QObject {
    Q_OBJECT

  public:
    struct Update {
        std::shared_ptr<const SceneSnapshot> snapshot;
        std::optional<QString> status;
        std::vector<RunStep> steps; // in the order of the run
    };

    // Any thread.
    void put_snapshot(std::shared_ptr<const SceneSnapshot> snapshot);
    void put_status(const QString& text);
    void put_step(RunStep step);
    // What came since the last call; on the window's thread.
    Update take();

  signals:
    // Emitted on the sending thread: connect to it queued (automatic across threads).
    void updated();

  private:
    CoalescingMailbox<Update> pending_;
};

// Runs one job at a time on its own thread. An exception leaving the job is caught on the worker
// and handed to `finished` with the rest, on the window's thread, once the thread has ended.
class CommandWorker : public QObject {
    Q_OBJECT

  public:
    explicit CommandWorker(QObject* parent = nullptr);
    // Waits for a job still running: its owner must have asked it to stop first.
    ~CommandWorker() override;

    // A job is running, or has ended and its `finished` is still to come.
    bool busy() const { return busy_; }
    // Starts the job; false (nothing started) while another one is busy.
    bool start(std::function<void()> job);
    // Waits for the thread of the present job. For the owner's destructor only.
    void wait();

  signals:
    // The job has ended: `failure` is the text of the error box when it failed.
    void finished(bool failed, const QString& failure);

  private:
    void job_ended(bool failed, const QString& failure);

    std::thread thread_;
    bool busy_ = false;
};

} // namespace ambrel::ui
