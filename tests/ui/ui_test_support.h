// Helpers of the window tests: scripted answers to the prompts and file dialogs, and the
// ways a test moves the input focus like a user.
#pragma once

#include "ui/dialog_provider.h"

#include <QApplication>
#include <QFocusEvent>
#include <QStringList>
#include <QWidget>

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

} // namespace ambrel::ui::test
