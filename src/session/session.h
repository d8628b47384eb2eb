// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// One session of the program: the system model, the options, the last evaluation and the
// solver's workspace, the random generator of the relaxation, the output sink with the reporter
// that writes the commands' lines to it, and the flags the window keeps about its description. Owned by the
// window or by ambrel-batch; the commands (solver/initialize.h, solver/relaxation.h, solver/jacobian.h, the
// reports) take it explicitly, so tests can make as many independent sessions as they like.
//
// Threading: a long command runs on one thread at a time (the window's worker); while it runs the
// window touches only `options` (atomic switches, which the command does not read: it works with
// the copy it took as it began) and the stop token it owns.
#pragma once

#include "model/options.h"
#include "model/output_sink.h"
#include "model/stop_token.h"
#include "model/system_model.h"
#include "model/types.h"
#include "physics/evaluation.h"
#include "results/run_reporter.h"

#include <functional>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// The uniform generator maps 63 random bits exactly onto the extended mantissa.
static_assert(std::numeric_limits<Real>::digits == 64, "the uniform generator needs a 64-bit mantissa");

class Session {
  public:
    explicit Session(OutputSink& sink);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SystemModel model;
    // The host's switches (the window's menu, ambrel-batch's --on and --off): the host may change
    // them at any time, also while a command runs.
    Options options;
    Evaluation evaluation;
    EvaluationWorkspace workspace;

    bool system_initialized = false; // the model belongs to the description as read

    // The switches a command works with: those of `options` as the outermost command began
    // (CommandScope), held until it ends, so that a switch turned during a command applies to the
    // next one and never mixes two laws in one result; outside a command, `options` itself.
    const Options& switches() const { return command_depth_ > 0 ? command_switches_ : options; }
    bool option(Option o) const { return switches()[o]; }

    // The extent of a command (Initialize, Calculate, the Jacobian, a sweep), on its thread.
    class CommandScope {
      public:
        explicit CommandScope(Session& session) : session_(session) {
            if (session_.command_depth_++ == 0)
                session_.command_switches_ = session_.options;
        }
        ~CommandScope() { --session_.command_depth_; }
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

      private:
        Session& session_;
    };

    // The host's stop request (see model/stop_token.h); until a host sets one, none ever comes.
    void set_stop_token(const StopToken& token) { stop_ = &token; }
    // Asks a run, a Jacobian, a sweep or Initialize under way to stop after its present evaluation.
    bool stop_requested() const { return stop_->requested(); }
    void add_output_line(std::string_view text) { sink_->add_output_line(text); }
    OutputSink& sink() { return *sink_; }
    void set_sink(OutputSink& sink) { sink_ = &sink; }
    // What turns the commands' events into lines of the sink (results/run_reporter.h): the host
    // installs report/'s text_reporter(), which must outlive the session; until then the session
    // and its commands are silent.
    void set_reporter(const RunReporter& reporter) { reporter_ = &reporter; }
    const RunReporter& reporter() const { return *reporter_; }
    // The state the reports read: the model, its last evaluation and the command's switches.
    EvaluatedState state() const { return {model, evaluation, switches()}; }

    // Uniform in [0, 1) for the random start of a relaxation run: seeded once, never reseeded.
    Real next_uniform();

    // The session's evaluation, its one pipeline: the positions from the angles (unless
    // Placement::Kept: the reports of a run belong to the positions of its last step), then
    // after_positions, the charges and the lines the charge computation has to say
    // (report_charge_diagnostics), the forces, then after_forces (each sphere's own force: the
    // rotational forces that follow share the forces of a composite object over its spheres),
    // the rotational forces.
    enum class Placement { FromAngles, Kept };
    void evaluate(const std::function<void()>& after_positions = {}) {
        evaluate(Placement::FromAngles, after_positions);
    }
    void evaluate(Placement placement, const std::function<void()>& after_positions = {},
                  const std::function<void()>& after_forces = {});
    // Says the lines of a charge computation of `model` (the session's or a copy of it) through
    // the reporter's charge_diagnostics: the spheres left uncharged are named once per reading.
    void report_charge_diagnostics(const ChargeDiagnostics& diagnostics, const SystemModel& model);

    // The extent of a command that evaluates many states and whose charge diagnostics would say
    // the same again and again (the Jacobian's perturbed evaluations, Find equilibrium's): while
    // one is open, those lines are counted instead of written, and when the outermost closes each
    // distinct line is written once, in the order first met, followed by " (in N evaluations)"
    // when N evaluations gave it.
    class DiagnosticTally {
      public:
        explicit DiagnosticTally(Session& session) : session_(session) { ++session_.tally_depth_; }
        ~DiagnosticTally();
        DiagnosticTally(const DiagnosticTally&) = delete;
        DiagnosticTally& operator=(const DiagnosticTally&) = delete;

      private:
        Session& session_;
    };

  private:
    OutputSink* sink_;
    const RunReporter* reporter_;
    const StopToken* stop_;
    Options command_switches_;
    int command_depth_ = 0;
    std::mt19937_64 rng_{20260101u};
    int uncharged_named_for_ = -1; // reading whose spheres without radius were named already
    struct TalliedLine {
        std::string text;
        int count = 0;
    };
    std::vector<TalliedLine> tally_; // the lines held back by an open DiagnosticTally
    int tally_depth_ = 0;
};

} // namespace ambrel
