// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_controller.h"

#include "report/capacitance_matrix.h"
#include "report/capacitance_report.h"
#include "report/run_report.h"
#include "text/number_format.h"

#include <optional>
#include <utility>

namespace ambrel::ui {

QString press_stop() {
    return QStringLiteral(" - press Stop (Esc) to stop");
}

CommandController::CommandController(QObject* parent) : QObject(parent), session_(sink_) {
    session_.set_stop_token(stop_.token());
    session_.set_reporter(text_reporter());
    connect(&feed_, &RunFeed::updated, this, &CommandController::take_feed);
    connect(&worker_, &CommandWorker::finished, this, &CommandController::job_ended);
}

CommandController::~CommandController() {
    stop_and_wait();
}

void CommandController::stop_and_wait() {
    request_stop();
    worker_.wait();
}

bool CommandController::start(Job job) {
    if (worker_.busy())
        return false;
    const bool reads_description =
        job.reading == Reading::Always || (job.reading == Reading::IfNeeded && !session_.system_initialized);
    feed_.take();  // nothing of an earlier command
    stop_.clear(); // before the worker starts: a Stop from now on is the command's
    stopping_ = false;
    command_ = job.command;
    emit starting(job.command, job.stoppable, job.status, reads_description);
    worker_.start([this, job = std::move(job)] {
        // The reading and the run under one set of switches: a switch turned between them applies
        // to the next command, never to half of this one.
        const Session::CommandScope command(session_);
        read(job);
        if (job.run)
            job.run(job.observer);
    });
    return true;
}

void CommandController::read(const Job& job) {
    switch (job.reading) {
    case Reading::Never:
        return;
    case Reading::Always:
        init_ = initialize_system(session_, job.description);
        reading_done(init_);
        return;
    case Reading::IfNeeded:
        if (const std::optional<InitializeResult> read =
                ambrel::read_if_needed(session_, job.description, job.observer)) {
            init_ = *read;
            reading_done(init_);
        }
        return;
    }
}

RunObserver CommandController::make_observer() {
    RunObserver observer;
    observer.after_positions = [this](const SystemModel& model, const Evaluation& evaluation) {
        feed_.put_snapshot(std::make_shared<const SceneSnapshot>(
            make_scene_snapshot(model, evaluation, session_.options, true)));
    };
    observer.initialized = [this](const InitializeResult&) {
        QMetaObject::invokeMethod(
            this, [this] { emit new_system(); }, Qt::QueuedConnection);
    };
    return observer;
}

RunObserver CommandController::run_observer(const QString& step_word) {
    RunObserver observer = make_observer();
    observer.step_done = [this, step_word](int step, Real error) {
        feed_.put_step(RunStep{step, static_cast<double>(error)});
        feed_.put_status(QStringLiteral("%1 %2, error %3 uN")
                             .arg(step_word)
                             .arg(step)
                             .arg(QString::fromStdString(real_to_fixed_text(error * 1e6L, 0, 6))) +
                         press_stop());
        if (step_hook_)
            step_hook_(step);
    };
    observer.steps_ended = [this] {
        QMetaObject::invokeMethod(
            this, [this] { emit final_reports(); }, Qt::QueuedConnection);
    };
    return observer;
}

RunObserver CommandController::finder_observer() {
    RunObserver observer = run_observer(QStringLiteral("Iteration"));
    // Its Jacobians, the stability check of the state at rest among them, take most of its time
    // on large systems: the status bar says which and how far.
    observer.search_progress = [this](const SearchProgress& at) {
        if (at.jacobian_total > 0)
            feed_.put_status(
                QStringLiteral("Iteration %1: %2, %3 of %4 evaluations")
                    .arg(at.iteration)
                    .arg(at.verifying ? QStringLiteral("checking the stability") : QStringLiteral("Jacobian"))
                    .arg(at.jacobian_done)
                    .arg(at.jacobian_total) +
                press_stop());
        if (search_hook_)
            search_hook_(at);
    };
    return observer;
}

void CommandController::reading_done(const InitializeResult& read) {
    for (const ReadWarning& warning : read.warnings)
        session_.add_output_line(warning_panel_line(warning));
    QMetaObject::invokeMethod(
        this, [this, warnings = read.warnings] { emit read_warnings(warnings); }, Qt::QueuedConnection);
}

bool CommandController::initialize(const std::vector<std::string>& description) {
    if (worker_.busy())
        return false; // the result below belongs to the command under way
    init_ = InitializeResult{};
    // The reading is the whole command.
    return start({.command = Command::Initialize,
                  .status = QStringLiteral("Initializing...") + press_stop(),
                  .reading = Reading::Always,
                  .description = description});
}

bool CommandController::calculate(const RelaxationSettings& settings,
                                  const std::vector<std::string>& description) {
    if (worker_.busy())
        return false; // the result below belongs to the command under way
    run_ = RelaxationResult{};
    return start({.command = Command::Calculate,
                  .status = QStringLiteral("Calculating... press Stop (Esc) to stop"),
                  .reading = Reading::IfNeeded,
                  .description = description,
                  .observer = run_observer(QStringLiteral("Step")),
                  .run = [this, settings](const RunObserver& observer) {
                      run_ = run_calculate(session_, settings, observer);
                  }});
}

bool CommandController::find_equilibrium(const EquilibriumSettings& settings,
                                         const std::vector<std::string>& description) {
    if (worker_.busy())
        return false; // the result below belongs to the command under way
    equilibrium_ = EquilibriumResult{};
    return start({.command = Command::Equilibrium,
                  .status = QStringLiteral("Finding the equilibrium... press Stop (Esc) to stop"),
                  .reading = Reading::IfNeeded,
                  .description = description,
                  .observer = finder_observer(),
                  .run = [this, settings](const RunObserver& observer) {
                      equilibrium_ = ambrel::find_equilibrium(session_, settings, observer);
                  }});
}

bool CommandController::jacobian(const JacobianSettings& settings, const JacobianPrint& print,
                                 const std::vector<std::string>& description) {
    if (worker_.busy())
        return false;
    RunObserver observer = make_observer();
    observer.progress = [this](int done, int evaluations) {
        feed_.put_status(QStringLiteral("Jacobian: evaluation %1 of %2").arg(done).arg(evaluations) +
                         press_stop());
        if (progress_hook_)
            progress_hook_(done, evaluations);
    };
    jacobian_ = JacobianResult{};
    return start({.command = Command::Jacobian,
                  .status = QStringLiteral("Jacobian...") + press_stop(),
                  .reading = Reading::IfNeeded,
                  .description = description,
                  .observer = std::move(observer),
                  .run = [this, settings, print](const RunObserver& observer) {
                      jacobian_ = compute_jacobian(session_, settings, observer);
                      report_jacobian(session_.sink(), jacobian_, print);
                  }});
}

bool CommandController::sweep(const SweepRequest& request, const RelaxationSettings& settings,
                              SweepObserver observer, const std::vector<std::string>& description) {
    if (worker_.busy())
        return false; // the refusal below belongs to the command under way
    sweep_refusal_.clear();
    observer.run = make_observer();
    observer.point_started = [this](int index, int count, Real voltage) {
        feed_.put_status(QStringLiteral("Sweep: point %1 of %2, %3 V")
                             .arg(index + 1)
                             .arg(count)
                             .arg(QString::fromStdString(format_g(voltage))) +
                         press_stop());
    };
    observer.run.step_done = [this](int step, Real) {
        if (step_hook_)
            step_hook_(step);
    };
    // The reading is heard as each of the sweep's runs is.
    RunObserver reading = observer.run;
    return start({.command = Command::Sweep,
                  .status = QStringLiteral("Sweep...") + press_stop(),
                  .reading = Reading::IfNeeded,
                  .description = description,
                  .observer = std::move(reading),
                  .run = [this, request, settings, observer = std::move(observer)](const RunObserver&) {
                      const Result<SweepResult> swept = run_sweep(session_, request, settings, observer);
                      sweep_refusal_ = swept ? std::string() : "Sweep: " + swept.message();
                  }});
}

bool CommandController::capacitances() {
    return start({.command = Command::Capacitances,
                  .stoppable = false,
                  .status = QStringLiteral("Capacitances..."),
                  .run = [this](const RunObserver&) {
                      report_capacitances(session_.model, session_.workspace, session_.sink());
                  }});
}

bool CommandController::save_capacitance_matrix(const std::string& path) {
    // Forming the matrix is a full inverse, as for Capacitances: the worker does it. Every outcome
    // is a line of the output panel: where the file is, the failed checks, why it was not written.
    return start({.command = Command::Capacitances,
                  .stoppable = false,
                  .status = QStringLiteral("Saving the capacitance matrix..."),
                  .run = [this, path](const RunObserver&) {
                      const CapacitanceMatrixExport done = export_capacitance_matrix(
                          session_.model, session_.workspace, session_.evaluation, path, session_.sink());
                      if (done.end != MatrixExportEnd::Written)
                          session_.add_output_line(done.message);
                  }});
}

void CommandController::request_stop() {
    stop_.request();
    stopping_ = worker_.busy();
}

void CommandController::take_feed() {
    RunFeed::Update update = feed_.take();
    if (!update.steps.empty())
        emit steps(update.steps);
    if (update.status && worker_.busy() && !stopping_)
        emit status(*update.status);
    if (update.snapshot && worker_.busy())
        emit snapshot(std::move(update.snapshot));
}

void CommandController::job_ended(bool failed, const QString& failure) {
    sink_.flush();
    const std::vector<RunStep> last = feed_.take().steps; // every step has its point, the last ones too
    if (!last.empty())
        emit steps(last);
    if (command_ == Command::Calculate)
        last_run_ = run_;
    // A sweep that could not start (an unknown conductor, a range without points) returns why; it
    // ends as a failed command with that message.
    if (command_ == Command::Sweep && !failed && !sweep_refusal_.empty()) {
        emit ended(command_, true, QString::fromStdString(std::exchange(sweep_refusal_, {})));
        return;
    }
    emit ended(command_, failed, failure);
}

} // namespace ambrel::ui
