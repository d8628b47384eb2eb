#include "session/session.h"

#include "report/reports.h"

namespace ambrel {

Session::Session(OutputSink& sink) : sink_(&sink) {}

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
    compute_charges(model, options, workspace, evaluation);
    report_charge_diagnostics();
}

void Session::evaluate(const std::function<void()>& after_positions) {
    compute_positions(model, options);
    if (after_positions)
        after_positions();
    compute_charges_and_report();
    compute_forces(model, evaluation, &workspace);
    compute_rotational_forces(model, options, evaluation);
}

} // namespace ambrel
