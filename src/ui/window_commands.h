// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands as the user meets them; ui/command_controller.h runs them on the
// worker. Each command starts with the run settings of the window's fields and the description's
// lines, from a button, a key, the view's menu or a tool window (the Jacobian window's Calculate,
// the Sweep window's Run). While it runs, the main window and the tool windows show it: the
// commands that read or rebuild the model are disabled, Stop is enabled where it applies, the
// status bar says what is under way. As it ends: the status bar's words of its end, the ends of
// the convergence chart, the Jacobian window and the Sweep window, an error box over the window
// the command came from, and the view of the session as the command left it.
#pragma once

#include "ui/command_controller.h"

#include <QObject>
#include <QString>

#include <functional>

class QMainWindow;
class QStatusBar;

namespace ambrel::ui {

class DescriptionDocument;
class DescriptionMarks;
class DialogProvider;
struct MainForm;
class SystemView;
struct ToolWindows;

// The main window as its commands see it: the window and its controls, and the parts it is made
// of. The window owns them all; the commands keep references.
struct WindowParts {
    QMainWindow* window;
    MainForm& form;
    CommandController& commands;
    ToolWindows& tools;
    SystemView& view;
    DescriptionDocument& document;
    DescriptionMarks& marks;
    DialogProvider& dialogs;
};

class WindowCommands : public QObject {
    Q_OBJECT

  public:
    // Takes the controller's signals and becomes the host of the Jacobian and Sweep windows.
    explicit WindowCommands(const WindowParts& parts, QObject* parent = nullptr);

    // Inicialize (F5), Calculate (F9) and Find equilibrium (F10).
    void initialize();
    void calculate();
    void find_equilibrium();
    // The Jacobian window's Calculate and the Sweep window's Run: false when it did not start (a
    // command is under way, a field holds no number or one out of its range).
    bool start_jacobian(const JacobianSettings& settings, const JacobianPrint& print);
    bool start_sweep(const SweepRequest& request);
    // The view's menu: Reset (the camera back to its default view as Initialize reads), List,
    // Capacitances and Save capacitance matrix.
    void reset();
    void list();
    void capacitances();
    void save_capacitance_matrix();
    // Stop (Esc), asked in any window: the command stops after its present evaluation.
    void stop();

    // Initialize of a description just loaded from a file: the view frames it whole, and the names
    // of a large system are not drawn over it.
    void initialize_opened_file();
    // The description panel was left: when its text was edited since the last reading, the next
    // command reads it again (after the command under way, which may be reading it).
    void description_left();
    // The Sweep window offers the conductors of the model (unless a command runs).
    void offer_conductors();
    // The window closes once the command under way has ended: stops it.
    void close_after_run();
    bool closing_after_run() const { return close_after_run_; }

  signals:
    // A command has ended and the windows are restored (any error box has been shown).
    void finished();

  private:
    using Command = CommandController::Command;

    // The controller's signals.
    void starting(Command command, bool stoppable, const QString& status, bool reads_description);
    void ended(Command command, bool failed, const QString& failure);
    // The controls of every window while a command runs, and after.
    void set_running(bool running, bool stoppable);
    // Runs a command on the window's thread and shows an unexpected failure in an error box.
    void guarded(const std::function<void()>& command);
    QStatusBar* status_bar() const;

    QMainWindow* window_;
    MainForm& form_;
    CommandController& commands_;
    ToolWindows& tools_;
    SystemView& view_;
    DescriptionDocument& document_;
    DialogProvider& dialogs_;
    QString status_before_;                // the status text the command replaced
    bool description_left_in_run_ = false; // the description panel was left while a command ran
    bool opened_file_ = false;             // the Initialize under way reads a file just opened
    bool close_after_run_ = false;
};

} // namespace ambrel::ui
