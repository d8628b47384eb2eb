// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Keys that mean the same in every window of the application, whichever control has the focus:
// Esc stops the run under way (a window shortcut is lost once the focus is in another top-level
// window, such as the convergence chart, or in a control that keeps keys for itself); the command
// keys of the main window also work from the convergence chart that follows its runs; and Alt
// with a letter that is no mnemonic types nothing into a text field or the editor (it is a
// missed menu key, not text).
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace ambrel::ui {

struct ApplicationKeyHost {
    std::function<bool(const QWidget* window)> owns;           // a top-level window of this main window
    std::function<bool()> stoppable;                           // a run is under way that Stop ends
    std::function<void()> stop;                                // Stop, as its button does
    std::function<bool(const QWidget* window)> takes_commands; // F5, F9, F10 there act on the main window
    std::function<void(int key)> command;                      // the main window's command of that key
};

class ApplicationKeys : public QObject {
  public:
    // Watches the key events of the whole application from now on, until destroyed.
    ApplicationKeys(ApplicationKeyHost host, QObject* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Whether the key event sent to `target` is one of ours; `key` is its key.
    bool handles(const QWidget* target, int key, Qt::KeyboardModifiers modifiers) const;

    ApplicationKeyHost host_;
};

} // namespace ambrel::ui
