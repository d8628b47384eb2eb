// Initialize: the one pipeline that turns the description into a ready model.
#pragma once

#include "description/reader.h"
#include "model/simulator.h"

#include <functional>
#include <string>
#include <vector>

namespace ambrel {

struct InitializeResult {
    ReadStatus read_status = ReadStatus::Ok;
    // The camera must return to its default view (the reset was pending); the host applies it.
    bool view_reset = false;
    // False when a large system stopped before the charges (they are all 0).
    bool charges_computed = true;
};

InitializeResult initialize_system(Simulator& sim, const std::vector<std::string>& description);

// Positions from the angles, then after_positions (the host redraws), the matrix, the charges,
// the forces and the rotational forces.
void evaluate_system(Simulator& sim, const std::function<void()>& after_positions = {});

// For the positions as they stand: matrix, charges, forces (and their report, which shows each
// sphere's own force), rotational forces, the total capacitance and the reports the options
// select. The rotational-force report follows "Show tangent forces" unless `rotational_always`.
void compute_and_report(Simulator& sim, bool rotational_always);

} // namespace ambrel
