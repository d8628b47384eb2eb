// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The long commands on the worker thread, as the user meets them: the window keeps answering
// while they run, Stop ends them promptly, the commands that touch the model wait for them and
// come back after them (also after a failure), and the report lines arrive as ambrel-batch
// prints them.
#include "app/batch.h"
#include "ui/charts.h"
#include "ui/jacobian_window.h"
#include "ui/main_window.h"
#include "ui/nedit.h"
#include "ui/view_surface.h"
#include "ui_test_support.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel::ui::test {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Which commands the user can reach, by name.
using CommandStates = std::map<std::string, bool>;

class RunThreadTest : public ::testing::Test {
  protected:
    RunThreadTest() : window(std::make_unique<MainWindow>(&dialogs)) {}

    QAction* action(const char* name) const { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    QPushButton* jacobian_calculate() const { return window->jacobian_window()->Button3; }
    QStringList output() const { return window->Memo2->toPlainText().split(QLatin1Char('\n')); }
    QString status() const { return window->statusBar()->currentMessage(); }

    CommandStates states() const {
        CommandStates s;
        s["Inicialize"] = window->Button1->isEnabled();
        s["Calculate"] = window->Bcalculate->isEnabled();
        s["Stop"] = window->Button3->isEnabled();
        for (const char* name : {"Open1", "Examples1Item", "Reset1", "Usesquares", "List1", "Capacitances1"})
            s[name] = action(name)->isEnabled();
        s["Jacobian Calculate"] = jacobian_calculate()->isEnabled();
        return s;
    }
    static CommandStates all(bool commands, bool stop) {
        CommandStates s;
        for (const char* name : {"Inicialize", "Calculate", "Open1", "Examples1Item", "Reset1", "Usesquares",
                                 "List1", "Capacitances1", "Jacobian Calculate"})
            s[name] = commands;
        s["Stop"] = stop;
        return s;
    }

    // The commands a user could still try by other ways (shortcuts, a click that was on its
    // way): called during a run, none may start anything.
    void try_every_model_command() const {
        window->Button1Click();
        window->BcalculateClick();
        window->Open1Click();
        window->ExampleClick(QStringLiteral(AMBREL_TEST_DATA "/../../examples/four_balls.bal"));
        window->Reset1Click();
        window->List1Click();
        window->Capacitances1Click();
        window->jacobian_window()->Button3Click();
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

// `plates` square plates of 10 x 10 spheres side by side on 10 cm strings, 2 cm apart.
QString plates_description(int plates) {
    QStringList lines{"* square plates side by side"};
    for (int k = 0; k < plates; ++k)
        lines << QString("Qp%1 all %2 0 0 10 0 0 2 1").arg(k + 1).arg(2 * k - plates + 1);
    lines << ".V all 3000";
    return lines.join(QLatin1Char('\n'));
}

TEST_F(RunThreadTest, WindowAnswersDuringALargeJacobianAndStopEndsItWithinAnEvaluation) {
    window->Memo1->setPlainText(plates_description(20));
    action("Alwayscalculate1")->setChecked(true);

    // When the window's event loop ran a 10 ms timer, from the click on Inicialize to the end of
    // the Jacobian, and the status texts seen meanwhile.
    std::vector<Clock::time_point> ticks;
    QStringList statuses;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ticks.push_back(Clock::now());
        if (statuses.isEmpty() || statuses.last() != status())
            statuses << status();
    });
    timer.start();
    QTest::qWait(30);

    click_and_wait(*window, window->Button1);
    ASSERT_EQ(window->session().model.sphere_count, 2000);
    ASSERT_TRUE(window->session().evaluation.forces_valid) << "the charges were computed";

    std::mutex mutex;
    std::vector<std::pair<int, Clock::time_point>> reports; // (evaluation, when it began)
    window->set_progress_hook([&](int object, int) {
        std::lock_guard lock(mutex);
        reports.emplace_back(object, Clock::now());
    });
    auto reported = [&] {
        std::lock_guard lock(mutex);
        return reports.size();
    };
    const Clock::time_point clicked = Clock::now();
    jacobian_calculate()->click();
    ASSERT_TRUE(window->run_in_progress());
    // Stop during the second evaluation.
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported() >= 2; }, 60000));
    const Clock::time_point stop = Clock::now();
    window->Button3->click();
    ASSERT_TRUE(wait_for_idle(*window, 60000));
    const Clock::time_point ended = Clock::now();
    QTest::qWait(30);
    timer.stop();

    std::lock_guard lock(mutex);
    const double evaluation = seconds_between(reports[0].second, reports[1].second);
    int reports_after_stop = 0;
    for (const auto& [object, when] : reports)
        reports_after_stop += when > stop ? 1 : 0;
    EXPECT_LE(reports_after_stop, 1);
    // What is left of the evaluation under way and the workspace built again for the state the
    // command found, each about one evaluation; a loaded machine's pace varies from one
    // evaluation to the next by a few times, while the rest of the Jacobian is 78 more.
    EXPECT_LT(seconds_between(stop, ended), 10 * evaluation) << "one evaluation takes " << evaluation << " s";
    // The window answers while the worker computes: its event loop ran during the first
    // evaluation, measured against the worker's own pace rather than the clock, which a loaded
    // machine stretches for both. A window that waited for the worker (a blocking call, a lock
    // held across an evaluation) would not run between the two reports at all.
    const auto ticks_between = [&](Clock::time_point from, Clock::time_point to) {
        return std::count_if(ticks.begin(), ticks.end(),
                             [&](Clock::time_point t) { return t > from && t < to; });
    };
    EXPECT_GE(ticks_between(reports[0].second, reports[1].second), 2)
        << "the window did not answer during an evaluation of " << evaluation << " s";
    // Nor did it stop answering for as long as an evaluation at any time of the command.
    double largest_gap = 0;
    for (std::size_t k = 1; k < ticks.size(); ++k)
        if (ticks[k - 1] >= clicked && ticks[k] <= ended)
            largest_gap = std::max(largest_gap, seconds_between(ticks[k - 1], ticks[k]));
    EXPECT_LT(largest_gap, evaluation) << "the window did not answer for " << largest_gap << " s";

    EXPECT_TRUE(statuses.contains("Jacobian: evaluation 1 of 80 - press Stop (Esc) to stop"))
        << statuses.join(" | ").toStdString();
    EXPECT_EQ(status(), "Stopped");
    EXPECT_EQ(output().last(), "Jacobian matrix stopped before its end: nothing to show.");
    EXPECT_EQ(states(), all(true, false));
}

TEST_F(RunThreadTest, CommandsThatTouchTheModelWaitForARunAndComeBackAfterIt) {
    click_and_wait(*window, window->Button1);
    EXPECT_EQ(states(), all(true, false));
    const qsizetype lines_before = output().size();

    // Calculate, seen at the end of its first step.
    window->NEtol->set_panel_real(0); // never converges
    window->NEtentativas->set_panel_int(100000);
    CommandStates during_calculate;
    qsizetype lines_after_tries = 0, lines_before_tries = 0;
    window->set_step_hook([&](int step) {
        if (step != 1)
            return;
        on_window_thread(*window, [&] {
            during_calculate = states();
            lines_before_tries = output().size();
            try_every_model_command();
            lines_after_tries = output().size();
            window->Button3->click();
        });
    });
    click_and_wait(*window, window->Bcalculate);
    EXPECT_EQ(during_calculate, all(false, true));
    EXPECT_EQ(lines_after_tries, lines_before_tries) << "a command ran during the run";
    EXPECT_TRUE(dialogs.open_proposals.isEmpty());
    EXPECT_EQ(window->last_run().end, RunEnd::Stopped);
    EXPECT_EQ(states(), all(true, false));
    EXPECT_GT(output().size(), lines_before);

    // The Jacobian, seen as it begins its first object, stopped by Esc in its own window.
    JacobianWindow* jacobian = window->jacobian_window();
    jacobian->show();
    jacobian->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(jacobian));
    CommandStates during_jacobian;
    window->set_progress_hook([&](int object, int) {
        if (object != 1)
            return;
        on_window_thread(*window, [&] {
            during_jacobian = states();
            QTest::keyClick(jacobian, Qt::Key_Escape);
        });
    });
    click_and_wait(*window, jacobian_calculate());
    EXPECT_EQ(during_jacobian, all(false, true));
    EXPECT_EQ(output().last(), "Jacobian matrix stopped before its end: nothing to show.");
    EXPECT_EQ(status(), "Stopped");
    EXPECT_EQ(states(), all(true, false));
    EXPECT_TRUE(dialogs.errors.isEmpty());

    // Run to its end, the Jacobian no longer says "Stopped".
    window->set_progress_hook({});
    click_and_wait(*window, jacobian_calculate());
    const QString verdict = output().last();
    EXPECT_TRUE(verdict.startsWith("Stable") || verdict.startsWith("Unstable") ||
                verdict.startsWith("Undecided") || verdict.startsWith("Not an equilibrium"))
        << verdict.toStdString();
    EXPECT_EQ(status(), "Ready");
}

// After Stop the status says the run is stopping, not "press Stop", until the run has ended.
TEST_F(RunThreadTest, AfterStopTheStatusSaysStoppingUntilTheEnd) {
    click_and_wait(*window, window->Button1);
    window->NEtol->set_panel_real(0); // never converges
    window->NEtentativas->set_panel_int(100000);
    QString status_after_stop, status_later;
    window->set_step_hook([&](int step) {
        if (step == 2)
            on_window_thread(*window, [&] {
                window->Button3->click();
                status_after_stop = status();
            });
        else if (step == 3)
            on_window_thread(*window, [&] { status_later = status(); });
    });
    click_and_wait(*window, window->Bcalculate);
    EXPECT_EQ(window->last_run().end, RunEnd::Stopped);
    EXPECT_EQ(status_after_stop, "Stopping...");
    EXPECT_TRUE(status_later.isEmpty() || status_later == "Stopping...") << status_later.toStdString();
    EXPECT_EQ(status(), "Stopped");
    window->set_step_hook({});
}

TEST_F(RunThreadTest, CommandsComeBackAfterAFailureOnTheWorker) {
    window->set_step_hook([](int step) {
        if (step == 2)
            throw std::runtime_error("simulated failure in a step");
    });
    click_and_wait(*window, window->Bcalculate);
    EXPECT_EQ(dialogs.errors, QStringList({"simulated failure in a step"}));
    EXPECT_EQ(status(), "Calculation failed");
    EXPECT_EQ(states(), all(true, false));

    window->set_step_hook({});
    window->set_progress_hook([](int object, int) {
        if (object == 2)
            throw std::runtime_error("simulated failure in the Jacobian");
    });
    const QString status_before = status();
    click_and_wait(*window, jacobian_calculate());
    EXPECT_EQ(dialogs.errors.value(1), "simulated failure in the Jacobian");
    EXPECT_EQ(status(), status_before);
    EXPECT_EQ(states(), all(true, false));

    // And the window works as before.
    window->set_progress_hook({});
    window->NEtentativas->set_panel_int(3);
    click_and_wait(*window, window->Bcalculate);
    EXPECT_EQ(window->last_run().steps, 3);
    EXPECT_EQ(output().last(), "Steps=3");
    EXPECT_EQ(dialogs.errors.size(), 2);
}

TEST_F(RunThreadTest, DestroyingTheWindowDuringARunStopsTheRunFirst) {
    window->NEtol->set_panel_real(0); // never converges
    window->NEtentativas->set_panel_int(100000);
    std::atomic<int> last_step{0};
    window->set_step_hook([&](int step) { last_step = step; });
    window->Bcalculate->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return last_step >= 2; }, 60000));
    const int steps_before = last_step;
    window.reset(); // the session goes with it: the worker must be gone first
    const int steps = last_step;
    EXPECT_LT(steps - steps_before, 100) << "the run went on";
    QTest::qWait(50);
    EXPECT_EQ(last_step, steps);
}

// The batch tool's standard output for the given arguments, line by line.
QStringList batch_lines(const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(run_batch(args, out, err), 0);
    std::rewind(out);
    QByteArray bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(out);
    std::fclose(err);
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // after the last line end
    return lines;
}

TEST_F(RunThreadTest, ReportLinesOfARunArriveInTheOrderOfTheBatchTool) {
    // Every step writes its error, and the final reports the forces as well.
    action("Showforces2")->setChecked(true);
    click_and_wait(*window, window->Button1);
    click_and_wait(*window, window->Bcalculate);
    ASSERT_EQ(window->last_run().end, RunEnd::Converged);

    const QStringList expected = batch_lines({"--on", "show-forces", "--calculate"});
    ASSERT_GT(expected.size(), 50);
    const QStringList panel = output().mid(command_summary_lines().size());
    EXPECT_EQ(panel, expected);
    EXPECT_TRUE(panel.contains("Calculating..."));
}

// A switch turned while Calculate reads the description (the system was never read) applies to
// the next command: the reading and the run work with the switches as the command began.
TEST_F(RunThreadTest, ASwitchTurnedWhileTheDescriptionIsReadAppliesToTheNextCommand) {
    // The lines of the command; the first one, written by the reading, can turn the switch.
    struct TurningSink : OutputSink {
        std::function<void()> at_first_line;
        std::vector<std::string> lines;

      protected:
        void emit_line(std::string_view line) override {
            if (lines.empty() && at_first_line)
                at_first_line();
            lines.emplace_back(line);
        }
    };
    // "Show errors" writes a line at every step of the run, and none while reading.
    auto calculate = [&](bool errors_at_start, bool turn_while_reading) {
        MainWindow fresh(&dialogs);
        QAction* errors = fresh.option_action(Option::ShowErrors);
        errors->setChecked(errors_at_start);
        TurningSink sink;
        if (turn_while_reading)
            sink.at_first_line = [&] {
                on_window_thread(fresh, [&] { errors->setChecked(!errors_at_start); });
            };
        fresh.session().set_sink(sink);
        EXPECT_FALSE(fresh.session().system_initialized);
        click_and_wait(fresh, fresh.Bcalculate);
        EXPECT_EQ(fresh.session().options[Option::ShowErrors], turn_while_reading != errors_at_start);
        EXPECT_EQ(fresh.last_run().end, RunEnd::Converged);
        return sink.lines;
    };
    for (const bool errors : {false, true}) {
        const std::vector<std::string> as_begun = calculate(errors, false);
        EXPECT_NE(as_begun, calculate(!errors, false)); // the switch shows in the run's lines
        EXPECT_EQ(calculate(errors, true), as_begun);
    }
}

// Esc stops the run wherever the user is: in the description, on the view after turning it, in
// the convergence chart's own window, on the menu bar after a menu was opened and closed. Alt
// with a letter that is no mnemonic types nothing into the description.
TEST_F(RunThreadTest, EscStopsTheRunFromEveryWindowAndControl) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    click_and_wait(*window, window->Button1);
    window->NEtol->set_panel_real(0); // never converges (within 5000 steps, if Esc were lost)
    window->NEtentativas->set_panel_int(5000);
    ConvergenceWindow* chart = window->convergence_window();
    // Each place is made ready before the run (the window active, the drag done, the menu
    // closed); Esc is pressed there at the run's second step.
    auto main_active = [&] {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    };
    const std::vector<std::pair<const char*, std::function<QWidget*()>>> places = {
        {"editor",
         [&]() -> QWidget* {
             main_active();
             window->Memo1->setFocus();
             return window->Memo1;
         }},
        {"view after a drag",
         [&]() -> QWidget* {
             main_active();
             QTest::mousePress(window->PaintBox1, Qt::LeftButton, {}, QPoint(100, 100));
             QTest::mouseMove(window->PaintBox1, QPoint(140, 120));
             QTest::mouseRelease(window->PaintBox1, Qt::LeftButton, {}, QPoint(140, 120));
             return window->PaintBox1;
         }},
        {"convergence chart",
         [&]() -> QWidget* {
             chart->show();
             chart->activateWindow();
             EXPECT_TRUE(QTest::qWaitForWindowActive(chart));
             return chart;
         }},
        {"menu bar after a menu",
         [&]() -> QWidget* {
             main_active();
             window->File1->popup(window->mapToGlobal(QPoint(10, 10)));
             window->File1->close();
             return window->menuBar();
         }},
    };
    for (const auto& [name, ready] : places) {
        SCOPED_TRACE(name);
        QWidget* target = ready();
        window->set_step_hook([&](int step) {
            if (step == 2)
                on_window_thread(*window, [&] { QTest::keyClick(target, Qt::Key_Escape); });
        });
        click_and_wait(*window, window->Bcalculate);
        EXPECT_EQ(window->last_run().end, RunEnd::Stopped);
        EXPECT_EQ(status(), "Stopped");
    }
    window->set_step_hook({});

    // F9 in the chart's window calculates, as in the main window.
    chart->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(chart));
    window->NEtentativas->set_panel_int(3);
    const QString before = window->Memo2->toPlainText();
    QTest::keyClick(chart, Qt::Key_F9);
    QTRY_VERIFY(!window->Button3->isEnabled() && window->Bcalculate->isEnabled());
    EXPECT_NE(window->Memo2->toPlainText(), before);

    main_active();
    window->Memo1->setFocus();
    const QString text = window->Memo1->toPlainText();
    ASSERT_TRUE(window->view_notes().out_of_date.isEmpty());
    QTest::keyClick(window->Memo1, Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(window->Memo1->toPlainText(), text);
    EXPECT_TRUE(window->view_notes().out_of_date.isEmpty()) << "no changed banner";
    EXPECT_FALSE(window->windowTitle().startsWith(QLatin1Char('*')));
    QTest::keyClick(window->Memo1, Qt::Key_X);
    EXPECT_EQ(window->Memo1->toPlainText().size(), text.size() + 1) << "a plain letter is typed";
}

} // namespace
} // namespace ambrel::ui::test
