// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/session.h"

#include "report/reports.h"

#include <algorithm>

namespace ambrel {

namespace {

// The token of a session whose host never stops anything.
const StopSource& no_stop() {
    static const StopSource never;
    return never;
}

} // namespace

Session::Session(OutputSink& sink) : sink_(&sink), stop_(&no_stop().token()) {}

Real Session::next_uniform() {
    // 64 random bits scaled into [0, 1); the top 63 bits fit the extended mantissa exactly.
    return static_cast<Real>(rng_() >> 1) * 0x1p-63L;
}

void Session::report_charge_diagnostics(const ChargeDiagnostics& diagnostics, const SystemModel& of) {
    // Once per reading: a relaxation run would repeat it at every step.
    const bool name_uncharged = uncharged_named_for_ != of.read_generation;
    uncharged_named_for_ = of.read_generation;
    if (tally_depth_ == 0) {
        ::ambrel::report_charge_diagnostics(diagnostics, of, name_uncharged, *sink_);
        return;
    }
    VectorSink lines;
    ::ambrel::report_charge_diagnostics(diagnostics, of, name_uncharged, lines);
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

void Session::compute_charges_and_report() {
    compute_charges(model, switches(), workspace, evaluation);
    report_charge_diagnostics();
}

void Session::evaluate(const std::function<void()>& after_positions) {
    compute_positions(model, switches());
    if (after_positions)
        after_positions();
    compute_charges_and_report();
    compute_forces(model, evaluation, &workspace);
    compute_rotational_forces(model, switches(), evaluation);
}

} // namespace ambrel
