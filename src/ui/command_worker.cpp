// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_worker.h"

#include "ui/dialog_provider.h"

#include <exception>

namespace ambrel::ui {

void RunFeed::put_snapshot(std::shared_ptr<const SceneSnapshot> snapshot) {
    // An older snapshot not drawn yet is dropped.
    pending_.put([&](Update& u) { u.snapshot = std::move(snapshot); }, [this] { emit updated(); });
}

void RunFeed::put_status(const QString& text) {
    pending_.put([&](Update& u) { u.status = text; }, [this] { emit updated(); });
}

void RunFeed::put_step(RunStep step) {
    pending_.put([&](Update& u) { u.steps.push_back(step); }, [this] { emit updated(); });
}

RunFeed::Update RunFeed::take() {
    return pending_.take();
}

CommandWorker::CommandWorker(QObject* parent) : QObject(parent) {}

CommandWorker::~CommandWorker() {
    wait();
}

void CommandWorker::wait() {
    if (thread_.joinable())
        thread_.join();
}

bool CommandWorker::start(std::function<void()> job) {
    if (busy_)
        return false;
    wait(); // the thread of the last job has ended already
    busy_ = true;
    thread_ = std::thread([this, job = std::move(job)] {
        bool failed = false;
        QString failure;
        try {
            job();
        } catch (const std::exception& error) {
            failed = true;
            failure = error_text(error);
        } catch (...) {
            failed = true;
            failure = QStringLiteral("Unexpected error");
        }
        // Queued behind everything the job has sent; dropped if the worker is gone by then.
        QMetaObject::invokeMethod(
            this, [this, failed, failure] { job_ended(failed, failure); }, Qt::QueuedConnection);
    });
    return true;
}

void CommandWorker::job_ended(bool failed, const QString& failure) {
    wait();
    busy_ = false;
    emit finished(failed, failure);
}

} // namespace ambrel::ui
