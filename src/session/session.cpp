#include "session/session.h"

#include "report/reports.h"

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
    ::ambrel::report_charge_diagnostics(diagnostics, of, name_uncharged, *sink_);
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
