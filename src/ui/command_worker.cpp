#include "ui/command_worker.h"

#include "ui/dialog_provider.h"

#include <exception>

namespace ambrel::ui {

void RunFeed::put_snapshot(std::shared_ptr<const SceneSnapshot> snapshot) {
    std::unique_lock lock(mutex_);
    pending_.snapshot = std::move(snapshot); // an older one not drawn yet is dropped
    notify(lock);
}

void RunFeed::put_status(const QString& text) {
    std::unique_lock lock(mutex_);
    pending_.status = text;
    notify(lock);
}

void RunFeed::put_step(RunStep step) {
    std::unique_lock lock(mutex_);
    pending_.steps.push_back(step);
    notify(lock);
}

void RunFeed::notify(std::unique_lock<std::mutex>& lock) {
    if (notified_)
        return;
    notified_ = true;
    lock.unlock();
    emit updated();
}

RunFeed::Update RunFeed::take() {
    std::lock_guard lock(mutex_);
    Update taken = std::move(pending_);
    pending_ = Update{};
    notified_ = false;
    return taken;
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
