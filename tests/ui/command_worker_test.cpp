// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_worker.h"
#include "ui/panel_sink.h"

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>

namespace ambrel::ui::test {
namespace {

QStringList panel_lines(const QPlainTextEdit& panel) {
    return panel.toPlainText().split(QLatin1Char('\n'));
}

QStringList numbered(const QString& prefix, int from, int to) {
    QStringList lines;
    for (int k = from; k <= to; ++k)
        lines << prefix + QString::number(k);
    return lines;
}

TEST(PanelSink, LinesFromTheWorkerKeepTheirOrderAmongTheWindowsOwn) {
    QPlainTextEdit panel;
    PanelSink sink;
    sink.set_panel(&panel);
    sink.add_output_line("first");
    std::thread worker([&] {
        for (int k = 1; k <= 500; ++k)
            sink.add_output_line(QStringLiteral("w%1").arg(k).toStdString());
    });
    worker.join();
    // Nothing has run the event loop yet: a line of the window's thread still comes after them.
    sink.add_output_line("last");
    QStringList expected{"first"};
    expected << numbered("w", 1, 500) << "last";
    EXPECT_EQ(panel_lines(panel), expected);

    // Left to the event loop, the worker's lines arrive in order, an empty line included.
    std::thread again([&] {
        sink.add_output_line("x1");
        sink.add_output_line("");
        sink.add_output_line(std::string(300, 'y')); // cut to 255 as always
    });
    again.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel_lines(panel).size() == 505; }, 5000));
    EXPECT_EQ(panel_lines(panel).mid(502), QStringList({"x1", "", QString(255, QLatin1Char('y'))}));
}

std::shared_ptr<const SceneSnapshot> snapshot_with_spheres(int count) {
    auto snapshot = std::make_shared<SceneSnapshot>();
    snapshot->model.sphere_count = count;
    return snapshot;
}

TEST(RunFeed, KeepsOnlyTheNewestAndCallsTheWindowOnceUntilItTakes) {
    RunFeed feed;
    QSignalSpy updated(&feed, &RunFeed::updated);
    std::thread worker([&] {
        for (int k = 1; k <= 200; ++k) {
            feed.put_snapshot(snapshot_with_spheres(k));
            feed.put_status(QString::number(k));
        }
    });
    worker.join();
    EXPECT_EQ(updated.count(), 1);
    RunFeed::Update update = feed.take();
    ASSERT_TRUE(update.snapshot);
    EXPECT_EQ(update.snapshot->model.sphere_count, 200);
    EXPECT_EQ(update.status, QStringLiteral("200"));

    // Taken: nothing left, and the next piece calls again.
    update = feed.take();
    EXPECT_FALSE(update.snapshot);
    EXPECT_FALSE(update.status);
    feed.put_status(QStringLiteral("next"));
    EXPECT_EQ(updated.count(), 2);
    update = feed.take();
    EXPECT_FALSE(update.snapshot);
    EXPECT_EQ(update.status, QStringLiteral("next"));
}

TEST(CommandWorker, RunsOneJobAtATimeAndReportsItsEndOnTheWindowThread) {
    CommandWorker worker;
    QSignalSpy finished(&worker, &CommandWorker::finished);
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
    Qt::HANDLE job_thread = nullptr;
    ASSERT_TRUE(worker.start([&] {
        job_thread = QThread::currentThreadId();
        ++runs;
        while (!release)
            std::this_thread::yield();
    }));
    EXPECT_TRUE(worker.busy());
    EXPECT_FALSE(worker.start([&] { ++runs; })); // refused, never run
    release = true;
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(worker.busy());
    EXPECT_EQ(runs, 1);
    EXPECT_NE(job_thread, QThread::currentThreadId());
    EXPECT_EQ(finished.at(0).at(0).toBool(), false);

    // The next job may start from the handler of the last one's end.
    ASSERT_TRUE(worker.start([&] { ++runs; }));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(runs, 2);
}

TEST(CommandWorker, AnExceptionEndsTheJobAsAFailureWithItsText) {
    CommandWorker worker;
    QSignalSpy finished(&worker, &CommandWorker::finished);
    const std::function<void()> jobs[] = {[] { throw std::runtime_error("the matrix is singular"); },
                                          [] { throw std::bad_alloc(); }, [] { throw 42; }};
    for (const auto& job : jobs) {
        ASSERT_TRUE(worker.start(job));
        ASSERT_TRUE(finished.wait(5000));
    }
    ASSERT_EQ(finished.count(), 3);
    const QString texts[] = {"the matrix is singular", "Out of memory", "Unexpected error"};
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(finished.at(k).at(0).toBool());
        EXPECT_EQ(finished.at(k).at(1).toString(), texts[k]);
    }
}

TEST(CommandWorker, DestroyedWhileAJobRunsItWaitsForTheJob) {
    std::atomic<bool> ended{false};
    {
        CommandWorker worker;
        ASSERT_TRUE(worker.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ended = true;
        }));
    }
    EXPECT_TRUE(ended);
    QTest::qWait(20); // its end, queued to a worker that is gone, is dropped
}

} // namespace
} // namespace ambrel::ui::test
