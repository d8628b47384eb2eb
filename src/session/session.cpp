// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/session.h"

#include <algorithm>

namespace ambrel {

namespace {

// The token of a session whose host never stops anything.
const StopSource& no_stop() {
    static const StopSource never;
    return never;
}

// The reporter of a session whose host installed none: it says nothing.
const RunReporter& silent() {
    static const RunReporter nothing;
    return nothing;
}

} // namespace

Session::Session(OutputSink& sink) : sink_(&sink), reporter_(&silent()), stop_(&no_stop().token()) {}

Real Session::next_uniform() {
    // 64 random bits scaled into [0, 1); the top 63 bits fit the extended mantissa exactly.
    return static_cast<Real>(rng_() >> 1) * 0x1p-63L;
}

void Session::report_charge_diagnostics(const ChargeDiagnostics& diagnostics, const SystemModel& of) {
    // Once per reading: a relaxation run would repeat it at every step.
    const bool name_uncharged = uncharged_named_for_ != of.read_generation;
    uncharged_named_for_ = of.read_generation;
    if (tally_depth_ == 0) {
        reporter_->charge_diagnostics(*sink_, diagnostics, of, name_uncharged);
        return;
    }
    VectorSink lines;
    reporter_->charge_diagnostics(lines, diagnostics, of, name_uncharged);
    for (std::string& line : lines.lines) {
        auto same =
            std::find_if(tally_.begin(), tally_.end(), [&](const TalliedLine& t) { return t.text == line; });
        if (same == tally_.end())
            tally_.push_back({std::move(line), 1});
        else
            ++same->count;
    }
}

Session::DiagnosticTally::~DiagnosticTally() {
    if (--session_.tally_depth_ > 0)
        return;
    std::vector<TalliedLine> lines;
    lines.swap(session_.tally_);
    // Also when the command ends by an exception: what it met is still said, and nothing thrown
    // here leaves the destructor.
    try {
        for (const TalliedLine& line : lines)
            session_.add_output_line(line.count == 1 ? line.text
                                                     : line.text + " (in " + std::to_string(line.count) +
                                                           " evaluations)");
    } catch (...) {
    }
}

void Session::evaluate(Placement placement, const std::function<void()>& after_positions,
                       const std::function<void()>& after_forces) {
    ambrel::evaluate(model, switches(), workspace, evaluation,
                     {placement == Placement::FromAngles, after_positions,
                      [&] { report_charge_diagnostics(evaluation.diagnostics, model); }, after_forces});
}

} // namespace ambrel
