// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the main window: the one Session of the program, the worker thread that runs one
// long command at a time (Initialize, Calculate, Find equilibrium, the Jacobian, the capacitances,
// a sweep), the feed of what the command sends back (the newest picture, the progress text, every
// step of a run) and Stop. Every command that needs the system reads the description first when
// the session holds none (never read, or edited and left since): one step, before the command,
// on the worker, under the command's own Session::CommandScope (start()).
//
// The window around it decides what a command starts with (the run settings of its fields, the
// description's lines) and shows what the signals tell; the controller never touches a widget.
#pragma once

#include "report/jacobian_report.h"
#include "session/session.h"
#include "solver/equilibrium.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/sweep.h"
#include "ui/command_worker.h"
#include "ui/panel_sink.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ambrel::ui {

// " - press Stop (Esc) to stop", after the status text of a command that Stop ends.
QString press_stop();

class CommandController : public QObject {
    Q_OBJECT

  public:
    enum class Command { Initialize, Calculate, Equilibrium, Jacobian, Capacitances, Sweep };

    explicit CommandController(QObject* parent = nullptr);
    // Asks a command still running to stop and waits for it: the session must outlive the job.
    ~CommandController() override;

    Session& session() { return session_; }
    const Session& session() const { return session_; }
    PanelSink& sink() { return sink_; }

    // A command is under way (or has ended and `ended` is still to come).
    bool busy() const { return worker_.busy(); }
    // The command under way, or the last one.
    Command command() const { return command_; }

    // The results of the last command of each kind, once it has ended.
    const InitializeResult& initialize_result() const { return init_; }
    const RelaxationResult& last_run() const { return last_run_; }
    const EquilibriumResult& equilibrium_result() const { return equilibrium_; }
    // The last Jacobian, or null while a command runs.
    const JacobianResult* jacobian_result() const { return busy() ? nullptr : &jacobian_; }

    // Each starts its command on the worker and returns true, or false when one is under way.
    // `description`: the lines read first when the session holds no system.
    bool initialize(const std::vector<std::string>& description);
    bool calculate(const RelaxationSettings& settings, const std::vector<std::string>& description);
    bool find_equilibrium(const EquilibriumSettings& settings, const std::vector<std::string>& description);
    // The Jacobian's report follows it, printed as `print` says.
    bool jacobian(const JacobianSettings& settings, const JacobianPrint& print,
                  const std::vector<std::string>& description);
    // `observer`'s began and point_done go to the Sweep window (from the worker).
    bool sweep(const SweepRequest& request, const RelaxationSettings& settings, SweepObserver observer,
               const std::vector<std::string>& description);
    bool capacitances();
    // The capacitance matrix to a CSV file at `path` (encoded for the file system).
    bool save_capacitance_matrix(const std::string& path);

    // Asks the command under way to stop after its present evaluation; from then on its progress
    // text is no longer passed on (the window says it is stopping).
    void request_stop();
    // Asks it to stop and waits for its thread (the owner's destructor: what the job uses must
    // outlive it).
    void stop_and_wait();

    // Test hooks, called on the worker thread: at the end of every step of a run (also of a
    // sweep's runs), and as the Jacobian takes each evaluation. An exception thrown from one ends
    // the command as a failure. Set them while no command runs.
    void set_step_hook(std::function<void(int step)> hook) { step_hook_ = std::move(hook); }
    void set_search_hook(std::function<void(const SearchProgress&)> hook) { search_hook_ = std::move(hook); }
    void set_progress_hook(std::function<void(int done, int evaluations)> hook) {
        progress_hook_ = std::move(hook);
    }

  signals:
    // A command is about to start: the window takes its run state (`stoppable`: Stop applies) and
    // shows `status`. `reads_description`: it reads the description first (the view takes a pending
    // reset now, and the description is no longer out of date).
    void starting(Command command, bool stoppable, const QString& status, bool reads_description);
    // What the command sent, on the window's thread.
    void status(const QString& text);
    void steps(const std::vector<RunStep>& steps);
    void snapshot(std::shared_ptr<const SceneSnapshot> snapshot);
    // The command has read a description: the camera takes the new system.
    void new_system();
    // A reading has ended (before `ended` of its command), with the reader's warnings; they are
    // in the output panel too.
    void read_warnings(const std::vector<ambrel::ReadWarning>& warnings);
    // The run's final reports, which Stop does not end, have begun.
    void final_reports();
    // The command has ended (`failure`: the text of the error box when it failed).
    void ended(Command command, bool failed, const QString& failure);

  private:
    // How a command meets the description before it runs: Initialize reads it always, the
    // commands that need a system read it when the session holds none, the capacitances work on
    // the system as it stands.
    enum class Reading { Never, IfNeeded, Always };
    // One command as the worker runs it: the reading `reading` asks for (heard by `observer`),
    // then `run` with the same observer.
    struct Job {
        Command command = Command::Initialize;
        bool stoppable = true;
        QString status{};
        Reading reading = Reading::Never;
        std::vector<std::string> description{};
        RunObserver observer{};
        std::function<void(const RunObserver&)> run{};
    };
    // Starts `job` on the worker, the one way every command starts: its reading and its run under
    // one Session::CommandScope, so that both work with the switches as the command began.
    bool start(Job job);
    // The reading of `job`, on the worker.
    void read(const Job& job);
    // What every command tells the window from the worker: the snapshot of each placement, a new
    // system read.
    RunObserver make_observer();
    // A run's observer: each step (or iteration) to the status line and the convergence chart.
    RunObserver run_observer(const QString& step_word);
    // Find equilibrium's: run_observer's, and its Jacobians' progress in the status bar.
    RunObserver finder_observer();
    // After a reading, on the worker: its warnings to the output panel and to the window.
    void reading_done(const InitializeResult& read);
    void take_feed();
    void job_ended(bool failed, const QString& failure);

    PanelSink sink_;
    Session session_;
    // The Stop of the command under way: cleared as a command starts, requested by Stop (Esc).
    StopSource stop_;
    RunFeed feed_;
    Command command_ = Command::Initialize;
    bool stopping_ = false;         // Stop was asked of the command under way: its progress text is over
    InitializeResult init_;         // written by the worker, read once the command has ended
    RelaxationResult run_;          // likewise
    RelaxationResult last_run_;     // the last Calculate's, taken as it ends
    EquilibriumResult equilibrium_; // likewise
    JacobianResult jacobian_;       // likewise
    std::string sweep_refusal_;     // likewise: why the sweep did not start, empty when it ran
    std::function<void(int)> step_hook_;
    std::function<void(int, int)> progress_hook_;
    std::function<void(const SearchProgress&)> search_hook_;
    // Declared last: destroyed first, it waits for a job still running, which uses the above.
    CommandWorker worker_;
};

} // namespace ambrel::ui
