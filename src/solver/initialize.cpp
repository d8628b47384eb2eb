#include "solver/initialize.h"

#include "physics/charge_solver.h"
#include "physics/forces.h"
#include "physics/reports.h"

namespace ambrel {


// Above this many spheres the charges are computed only with "Always calculate charges".
constexpr int LARGE_SYSTEM = 500;

InitializeResult initialize_system(Simulator& sim, const std::vector<std::string>& description) {
    InitializeResult result;
    if (sim.view_reset_pending) {
        sim.four_pi_e0 = FOUR_PI_E0;
        result.view_reset = true;
        sim.view_reset_pending = false;
    }
    result.read_status = read_description(sim, description);
    sim.system_initialized = true;
    sim.forces_valid = false;
    compute_positions(sim);

    if (sim.sphere_count > LARGE_SYSTEM) {
        sim.add_output_line("The calculations with " + std::to_string(sim.sphere_count) +
                            " spheres may take some time...");
        if (!sim.option(Option::AlwaysCalculate)) {
            sim.add_output_line("Check the option of always calculate charges and initialize to calculate.");
            clear_charges(sim);
            result.charges_computed = false;
            return result;
        }
    }
    compute_and_report(sim, true); // the rotational forces are always reported here
    return result;
}

void evaluate_system(Simulator& sim, const std::function<void()>& after_positions) {
    compute_positions(sim);
    if (after_positions)
        after_positions();
    build_capacitance_matrix(sim);
    compute_charges(sim);
    compute_forces(sim);
    compute_rotational_forces(sim);
}

void compute_and_report(Simulator& sim, bool rotational_always) {
    build_capacitance_matrix(sim);
    compute_charges(sim);
    compute_forces(sim);
    if (sim.option(Option::ShowForces))
        report_forces(sim);
    compute_rotational_forces(sim);
    report_total_capacitance(sim);
    report_angles(sim);
    if (sim.option(Option::ShowCharges))
        report_charges(sim);
    if (rotational_always || sim.option(Option::ShowTangentForces))
        report_rotational_forces(sim);
    if (sim.option(Option::DistancesCenters))
        report_center_distances(sim);
    if (sim.option(Option::DistancesSurfaces))
        report_surface_distances(sim);
    if (sim.option(Option::ShowEfield))
        report_fields(sim);
}

} // namespace ambrel
