// Helpers of the window tests: scripted answers to the prompts and file dialogs, the ways a
// test moves the input focus like a user, and the wait for a command of the worker thread.
#pragma once

#include "ui/dialog_provider.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QStringList>
#include <QTest>
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
    std::deque<QString> save_answers;

    QStringList questions;
    QStringList open_proposals;
    QStringList save_proposals;
    std::vector<int> save_filters;
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
    QString save_file_name(QWidget*, const QString& proposed, int filter) override {
        save_proposals << proposed;
        save_filters.push_back(filter);
        return take(save_answers);
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
