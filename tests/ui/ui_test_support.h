// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the window tests: scripted answers to the prompts and file dialogs, the ways a
// test moves the input focus or the mouse like a user, the wait for a command of the worker
// thread, and the window's remembered settings (kept in a folder of the test run, see
// qt_environment.cpp).
#pragma once

#include "ui/dialog_provider.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QLayout>
#include <QResizeEvent>
#include <QSettings>
#include <QStringList>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace ambrel::ui::test {

// Answers prompts and dialogs from queues and records what was asked. A question or a dialog
// with no answer left counts as No or Cancel, so no test can wait for a person.
class ScriptedDialogs : public DialogProvider {
  public:
    std::deque<bool> yes_no_answers;
    std::deque<QString> open_answers;
    std::deque<SaveChoice> save_answers; // a name alone chooses the dialog's first file type

    QStringList questions;
    QStringList open_proposals;
    QStringList save_proposals;
    std::vector<SaveKind> save_kinds;
    QStringList errors;

    bool ask_yes_no(QWidget*, const QString& question) override {
        questions << question;
        if (yes_no_answers.empty())
            return false;
        const bool answer = yes_no_answers.front();
        yes_no_answers.pop_front();
        return answer;
    }
    QString open_file_name(QWidget*, const QString& proposed) override {
        open_proposals << proposed;
        return take(open_answers);
    }
    SaveChoice save_file_name(QWidget*, const QString& proposed, SaveKind kind) override {
        save_proposals << proposed;
        save_kinds.push_back(kind);
        if (save_answers.empty())
            return {};
        SaveChoice answer = save_answers.front();
        save_answers.pop_front();
        return answer;
    }
    void show_error(QWidget*, const QString& message) override { errors << message; }

  private:
    static QString take(std::deque<QString>& answers) {
        if (answers.empty())
            return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The focus moves from `widget` to another control of its window, as a Tab does: the focus-out
// event a user causes, delivered whether or not the window is the active one.
inline void leave_control(QWidget* widget, Qt::FocusReason reason = Qt::TabFocusReason) {
    QFocusEvent in(QEvent::FocusIn, reason);
    QApplication::sendEvent(widget, &in);
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(widget, &out);
}

// A turn of the mouse wheel over `widget` at `at`, in notches (positive: away from the user).
inline void turn_wheel(QWidget* widget, QPointF at, int notches) {
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// Gives the window the client area `size` and lays it out at once, as showing it would.
inline void resize_client(MainWindow& window, QSize size) {
    QWidget* client = window.centralWidget();
    window.layout()->activate();
    const QSize before = client->size();
    window.resize(window.size() + size - before);
    window.layout()->invalidate(); // a hidden window has its resize event still to come
    window.layout()->activate();
    QResizeEvent resized(client->size(), before);
    QApplication::sendEvent(client, &resized);
}

// Forgets what the window remembers between runs (its geometry), so that a test starts as a
// first run does.
inline void forget_window_settings() {
    QSettings(QString::fromLatin1(APPLICATION_TITLE), QString::fromLatin1(APPLICATION_TITLE)).clear();
}

// Lets queued work (deferred error boxes, repaints) run.
inline void process_events() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Waits (letting the window's events run) until no command is under way on the worker and the
// window has been restored; false after `timeout_ms`.
[[nodiscard]] inline bool wait_for_idle(const MainWindow& window, int timeout_ms = 120000) {
    return QTest::qWaitFor([&] { return !window.run_in_progress(); }, timeout_ms);
}

// A click or a menu choice that may start a command, and the wait for its end.
inline void click_and_wait(MainWindow& window, QAbstractButton* button) {
    button->click();
    ASSERT_TRUE(wait_for_idle(window)) << button->objectName().toStdString();
}
inline void trigger_and_wait(MainWindow& window, QAction* action) {
    action->trigger();
    ASSERT_TRUE(wait_for_idle(window)) << action->objectName().toStdString();
}

// Runs `call` on the window's thread while the calling worker thread waits for it: a test hook
// looks at the window during a command at a point of the command's own choosing.
template <class Call> void on_window_thread(MainWindow& window, Call call) {
    QMetaObject::invokeMethod(&window, call, Qt::BlockingQueuedConnection);
}

} // namespace ambrel::ui::test
