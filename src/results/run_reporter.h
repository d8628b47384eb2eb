// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands say while they run, as events: the solver computes and calls a RunReporter,
// which turns each event into lines of the output sink. The commands and the session write no
// text of their own; report/run_report.h implements this interface (text_reporter), and each
// host installs it on its session (Session::set_reporter). The events come in the order their
// lines are written, on the command's thread. This base says nothing: a session without a
// reporter of its host's is silent.
#pragma once

#include "model/options.h"
#include "model/output_sink.h"
#include "model/system_model.h"
#include "model/types.h"
#include "physics/evaluation.h"
#include "results/run_results.h"
#include "results/stability_result.h"
#include "results/sweep_result.h"

#include <string>

namespace ambrel {

// A state as the reports read it: the model, its last evaluation and the switches of the command.
struct EvaluatedState {
    const SystemModel& model;
    const Evaluation& evaluation;
    const Options& options;
};

class RunReporter {
  public:
    virtual ~RunReporter() = default;

    // The lines of a charge computation of `model` (the session's or a copy of it): the spheres
    // left uncharged only when `name_uncharged` (once per reading), the aligned plates, a
    // singular matrix. The session's evaluations call it (or count its lines: DiagnosticTally).
    virtual void charge_diagnostics(OutputSink&, const ChargeDiagnostics&, const SystemModel&,
                                    bool /*name_uncharged*/) const {}

    // The final evaluation of a command (Initialize, Calculate, Find equilibrium) has its forces:
    // each sphere's own, before the rotational forces share a composite object's over its spheres.
    virtual void sphere_forces(OutputSink&, const EvaluatedState&) const {}

    // Initialize: a large system; its charges left for the option; a Stop before them; the
    // reports of the state read (the rotational forces always among them).
    virtual void large_system(OutputSink&, int /*spheres*/) const {}
    virtual void charges_need_the_option(OutputSink&) const {}
    virtual void stopped_before_charges(OutputSink&) const {}
    virtual void initialized(OutputSink&, const EvaluatedState&) const {}

    // Calculate: its start, each step's error (with "Show errors"), and its final reports.
    virtual void calculating(OutputSink&) const {}
    virtual void step_error(OutputSink&, int /*step*/, Real /*error_N*/) const {}
    virtual void relaxation_ended(OutputSink&, const EvaluatedState&, const RelaxationResult&) const {}
    // Either run: an angle left its range.
    virtual void too_large_angles(OutputSink&) const {}

    // Find equilibrium: not searched (result.movable and most_movable), its start with what it
    // cannot do as asked, and its final reports with the verdict drawn from `analysis`.
    virtual void equilibrium_not_searched(OutputSink&, const EquilibriumResult&) const {}
    virtual void finding_equilibrium(OutputSink&, Real /*force_error_uN*/, bool /*random_start*/) const {}
    virtual void equilibrium_ended(OutputSink&, const EvaluatedState&, const EquilibriumResult&,
                                   const StabilityAnalysis& /*analysis*/) const {}

    // A sweep: point `index` (from 0) of `count` begins; the sweep has ended.
    virtual void sweep_point(OutputSink&, int /*index*/, int /*count*/, const std::string& /*conductor*/,
                             Real /*voltage*/) const {}
    virtual void sweep_ended(OutputSink&, const SweepResult&) const {}
};

} // namespace ambrel
