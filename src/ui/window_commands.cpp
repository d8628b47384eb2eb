// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_commands.h"

#include "description/listing.h"
#include "ui/charts.h"
#include "ui/description_document.h"
#include "ui/description_marks.h"
#include "ui/dialog_provider.h"
#include "ui/jacobian_window.h"
#include "ui/main_form.h"
#include "ui/sweep_window.h"
#include "ui/system_view.h"
#include "ui/tool_windows.h"
#include "ui/window_texts.h"

#include <QAction>
#include <QFile>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>

#include <exception>
#include <utility>

namespace ambrel::ui {

namespace {

// Above this many spheres the names of a file just opened are not drawn (Identify is turned
// off; the user may turn it on again).
constexpr int MAX_IDENTIFIED_SPHERES = 200;

} // namespace

WindowCommands::WindowCommands(const WindowParts& parts, QObject* parent)
    : QObject(parent), window_(parts.window), form_(parts.form), commands_(parts.commands),
      tools_(parts.tools), view_(parts.view), document_(parts.document), dialogs_(parts.dialogs) {
    CommandController* c = &commands_;
    connect(c, &CommandController::starting, this, &WindowCommands::starting);
    connect(c, &CommandController::ended, this, &WindowCommands::ended);
    connect(c, &CommandController::status, this,
            [this](const QString& text) { status_bar()->showMessage(text); });
    connect(c, &CommandController::steps, tools_.convergence.get(), &ConvergenceWindow::add_steps);
    connect(c, &CommandController::snapshot, &view_, &SystemView::show_snapshot);
    connect(c, &CommandController::new_system, &view_, &SystemView::take_new_system);
    connect(c, &CommandController::read_warnings, &parts.marks, &DescriptionMarks::show_warnings);
    // The final reports cannot be stopped.
    connect(c, &CommandController::final_reports, form_.Button3,
            [this] { form_.Button3->setEnabled(false); });

    tools_.sweep->set_host(SweepHost{
        [this](const SweepRequest& request) { return start_sweep(request); },
        [this] { stop(); },
    });
    tools_.jacobian->set_host(JacobianHost{
        [this](const JacobianSettings& settings, const JacobianPrint& print) {
            start_jacobian(settings, print);
        },
        [this] { stop(); },
        [this] { return commands_.jacobian_result(); },
    });
}

QStatusBar* WindowCommands::status_bar() const {
    return window_->statusBar();
}

void WindowCommands::initialize() {
    commands_.initialize(document_.lines());
}

void WindowCommands::calculate() {
    if (commands_.busy() || form_.run_fields_refused(dialogs_, window_))
        return;
    const RelaxationSettings settings = form_.run_settings();
    tools_.convergence->begin_run(static_cast<double>(settings.force_error_uN), QStringLiteral("Step"),
                                  QStringLiteral("Calculating..."));
    commands_.calculate(settings, document_.lines());
}

void WindowCommands::find_equilibrium() {
    if (commands_.busy() || form_.run_fields_refused(dialogs_, window_))
        return;
    const EquilibriumSettings settings = equilibrium_settings(form_.run_settings());
    tools_.convergence->begin_run(static_cast<double>(settings.force_error_uN), QStringLiteral("Iteration"),
                                  QStringLiteral("Finding the equilibrium..."));
    commands_.find_equilibrium(settings, document_.lines());
}

bool WindowCommands::start_sweep(const SweepRequest& request) {
    if (commands_.busy() || form_.run_fields_refused(dialogs_, tools_.sweep.get()))
        return false;
    SweepObserver observer;
    observer.began = [this](const SweepResult& columns) { tools_.sweep->post_columns(columns); };
    observer.point_done = [this](const SweepPoint& point, int done, int count) {
        tools_.sweep->post_point(point, done, count);
    };
    return commands_.sweep(request, form_.run_settings(), std::move(observer), document_.lines());
}

bool WindowCommands::start_jacobian(const JacobianSettings& asked, const JacobianPrint& print) {
    if (commands_.busy() || form_.run_fields_refused(dialogs_, tools_.jacobian.get(), asked.angle_variation,
                                                     tools_.jacobian->angle_variation_caption()))
        return false;
    // The run's settings are the fields', as for Calculate and the sweep: the update law's time
    // step, and the force error below which the state is an equilibrium.
    const RelaxationSettings run = form_.run_settings();
    JacobianSettings settings = asked;
    settings.time_step = run.time_step;
    settings.force_error_uN = run.force_error_uN;
    return commands_.jacobian(settings, print, document_.lines());
}

void WindowCommands::reset() {
    if (commands_.busy())
        return;
    view_.request_reset();
    commands_.initialize(document_.lines());
}

void WindowCommands::list() {
    // On the window's thread, while no command runs: the listing reads the model as it stands and
    // no switch (no CommandScope), and never the description.
    if (!commands_.busy())
        guarded([this] { list_updated_system(commands_.session().model, commands_.session().sink()); });
}

void WindowCommands::capacitances() {
    commands_.capacitances();
}

void WindowCommands::save_capacitance_matrix() {
    if (commands_.busy())
        return;
    const SaveChoice choice =
        dialogs_.save_file_name(window_, QStringLiteral("capacitances.csv"), SaveKind::Csv);
    if (!choice.cancelled())
        commands_.save_capacitance_matrix(QFile::encodeName(choice.name).toStdString());
}

void WindowCommands::stop() {
    if (commands_.busy() && form_.Button3->isEnabled())
        status_bar()->showMessage(QStringLiteral("Stopping..."));
    commands_.request_stop();
    form_.Button3->setEnabled(false);
    tools_.sweep->stop_asked(); // one Stop, wherever it was asked for
}

void WindowCommands::initialize_opened_file() {
    opened_file_ = true;
    view_.fit_next_system();
    commands_.initialize(document_.lines());
}

void WindowCommands::description_left() {
    // A click in and out of the description, or edits undone, change nothing: the system read
    // (and relaxed) stays.
    if (!document_.out_of_date())
        return;
    if (commands_.busy()) {
        // The command may be reading the flag: it is cleared when the command ends.
        description_left_in_run_ = true;
        return;
    }
    // The next Calculate reads the description again; until Initialize the view is frozen.
    commands_.session().system_initialized = false;
    view_.update();
}

void WindowCommands::offer_conductors() {
    if (commands_.busy())
        return;
    const SystemModel& model = commands_.session().model;
    std::vector<std::string> names;
    for (int c = 1; c <= model.conductor_count; ++c)
        names.push_back(model.conductors[c].name);
    tools_.sweep->set_conductors(names);
}

void WindowCommands::close_after_run() {
    close_after_run_ = true;
    stop();
}

void WindowCommands::guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        dialogs_.show_error(window_, error_text(error));
    } catch (...) {
        dialogs_.show_error(window_, QStringLiteral("Unexpected error"));
    }
}

void WindowCommands::set_running(bool running, bool stoppable) {
    form_.set_controls_running(running, stoppable);
    tools_.jacobian->set_running(running);
    tools_.sweep->set_running(running, stoppable && commands_.command() == Command::Sweep);
}

void WindowCommands::starting(Command command, bool stoppable, const QString& status,
                              bool reads_description) {
    if (reads_description) {
        // The camera takes a pending reset before the reading clears it; the view is no longer out
        // of date.
        view_.prepare_for_initialize();
        document_.mark_read();
    }
    if (command == Command::Jacobian)
        tools_.jacobian->set_saveable(false);
    status_before_ = status_bar()->currentMessage();
    status_bar()->showMessage(status);
    set_running(true, stoppable);
}

void WindowCommands::ended(Command command, bool failed, const QString& failure) {
    if (std::exchange(description_left_in_run_, false))
        description_left();
    QWidget* error_parent = window_;
    if (command == Command::Initialize && !failed) {
        // A file just opened is framed whole, and the names of a large system would cover it.
        if (std::exchange(opened_file_, false) &&
            commands_.session().model.sphere_count > MAX_IDENTIFIED_SPHERES)
            form_.Identify1->setChecked(false);
        view_.take_new_system();
        view_.fit_if_pending();
    }
    if (command == Command::Jacobian) {
        error_parent = tools_.jacobian.get();
        tools_.jacobian->set_saveable(!failed && commands_.jacobian_result()->computed);
    }
    if (command == Command::Sweep) {
        error_parent = tools_.sweep.get();
        tools_.sweep->sweep_ended(failed);
    }
    const QString status =
        command_end_text(command, failed, status_before_, commands_, tools_.sweep->result());
    if (command == Command::Calculate || command == Command::Equilibrium)
        tools_.convergence->end_run(status);
    set_running(false, false);
    // Initialize may have read other conductors.
    offer_conductors();
    view_.redraw(); // the session as the command left it
    status_bar()->showMessage(status);
    if (failed)
        dialogs_.show_error(error_parent, failure);
    emit finished();
    if (std::exchange(close_after_run_, false))
        window_->close();
}

} // namespace ambrel::ui
