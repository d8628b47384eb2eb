// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/initialize.h"

#include "report/reports.h"
#include "report/run_report.h"

namespace ambrel {

InitializeResult initialize_system(Session& session, const std::vector<std::string>& description) {
    const Session::CommandScope command(session);
    InitializeResult result;
    result.read_status =
        read_description(session.model, session.switches(), description, session.sink(), &result.warnings);
    session.system_initialized = true;
    session.evaluation.forces_valid = false;
    compute_positions(session.model, session.switches());

    const int count = session.model.sphere_count;
    if (count > LARGE_SYSTEM) {
        report_large_system(session.sink(), count);
        if (!session.option(Option::AlwaysCalculate)) {
            report_charges_need_the_option(session.sink());
            session.workspace.forget();
            session.evaluation.clear(count);
            result.charges_computed = false;
            return result;
        }
    }
    // The description is read (the model is whole); what a Stop saves is the charge computation.
    if (session.stop_requested()) {
        report_stopped_before_charges(session.sink());
        session.workspace.forget();
        session.evaluation.clear(count);
        result.charges_computed = false;
        result.stopped = true;
        return result;
    }
    compute_and_report(session, true); // the rotational forces are always reported here
    return result;
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

void compute_and_report(Session& session, bool rotational_always) {
    const SystemModel& model = session.model;
    Evaluation& ev = session.evaluation;
    OutputSink& out = session.sink();
    session.compute_charges_and_report();
    compute_forces(model, ev, &session.workspace);
    if (session.option(Option::ShowForces))
        report_forces(model, ev, out);
    compute_rotational_forces(model, session.switches(), ev);
    report_total_capacitance(ev, out);
    report_floating_potentials(model, ev, out);
    report_angles(model, out);
    if (session.option(Option::ShowCharges))
        report_charges(model, ev, out);
    if (rotational_always || session.option(Option::ShowTangentForces))
        report_rotational_forces(model, ev, out);
    if (session.option(Option::DistancesCenters))
        report_center_distances(model, out);
    if (session.option(Option::DistancesSurfaces))
        report_surface_distances(model, out);
    if (session.option(Option::ShowEfield))
        report_fields(model, ev, out);
}

} // namespace ambrel
