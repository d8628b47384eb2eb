// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/initialize.h"

namespace ambrel {

InitializeResult initialize_system(Session& session, const std::vector<std::string>& description) {
    const Session::CommandScope command(session);
    InitializeResult result;
    const RunReporter& reporter = session.reporter();
    result.read_status =
        read_description(session.model, session.switches(), description, session.sink(), &result.warnings);
    session.system_initialized = true;
    session.evaluation.forces_valid = false;
    compute_positions(session.model, session.switches());

    const int count = session.model.sphere_count;
    if (count > LARGE_SYSTEM) {
        reporter.large_system(session.sink(), count);
        if (!session.option(Option::AlwaysCalculate)) {
            reporter.charges_need_the_option(session.sink());
            session.workspace.forget();
            session.evaluation.clear(count);
            result.charges_computed = false;
            return result;
        }
    }
    // The description is read (the model is whole); what a Stop saves is the charge computation.
    if (session.stop_requested()) {
        reporter.stopped_before_charges(session.sink());
        session.workspace.forget();
        session.evaluation.clear(count);
        result.charges_computed = false;
        result.stopped = true;
        return result;
    }
    // The positions were placed above, before the Stop was looked at.
    final_evaluation(session);
    reporter.initialized(session.sink(), session.state());
    return result;
}

void final_evaluation(Session& session) {
    session.evaluate(Session::Placement::Kept, {},
                     [&session] { session.reporter().sphere_forces(session.sink(), session.state()); });
}

std::optional<InitializeResult> read_if_needed(Session& session, const std::vector<std::string>& description,
                                               const RunObserver& observer) {
    if (session.system_initialized)
        return std::nullopt;
    const InitializeResult result = initialize_system(session, description);
    if (observer.initialized)
        observer.initialized(result);
    return result;
}

} // namespace ambrel
