// Charges from geometry: positions from string angles, the elastance matrix P of all spheres
// (in units of 1/(4 pi e0): 1/r on the diagonal, 1/d between spheres, the potential of a
// uniformly charged square between vertically aligned flat squares), its solution for the
// conductor voltages, the total capacitance 4 pi e0 * 1^T P^-1 1 and the charges
// Q = 4 pi e0 * P^-1 V.
#pragma once

#include "model/simulator.h"
#include "physics/dense_solver.h"

#include <vector>

namespace ambrel {

// Work storage of the solver, allocated once at full capacity.
struct PhysicsWorkspace {
    DenseSymmetricSolver solver{MAX_SPHERES};
    // Spheres that take part in the matrix, in table order (a sphere without a positive radius
    // cannot hold a charge and is left out).
    std::vector<int> active;
    std::vector<int> active_index; // sphere number -> index in `active`, -1 when left out
    std::vector<Real> voltages;    // per active sphere
    std::vector<Real> solution;    // P^-1 V per active sphere
    std::vector<Real> capacitance; // full P^-1, formed on demand
    int n_active = 0;
    int singular_pivot = 0; // 1-based sphere number of the failing pivot, 0 when none
    bool capacitance_valid = false;
    bool matrix_built = false;
    int degenerate_reported_for = -1; // reading whose spheres without radius were named already // the last build solved the present system without a singular pivot
    SolverTier tier_used = SolverTier::Fast;
    SolverTier requested_tier = SolverTier::Fast;

    PhysicsWorkspace();
};

PhysicsWorkspace& physics_of(Simulator& sim);

// Step 1: every sphere's centre from its suspension point, L, Ax and Az; with "Rotate objects"
// the suspension points of composite objects turn rigidly with the string.
void compute_positions(Simulator& sim);
// Steps 2 and 3: the elastance matrix, its solution and the total capacitance.
void build_capacitance_matrix(Simulator& sim);
// Step 4: the charges and the charge-density extremes.
void compute_charges(Simulator& sim);
// Every charge 0, density extremes neutral.
void clear_charges(Simulator& sim);

// The capacitance matrix between spheres (in units of 4 pi e0 metres), sphere-indexed and
// 1-based through the accessor; formed from the last build when first asked for.
// Returns false when the last build had no valid matrix.
bool form_capacitance_matrix(Simulator& sim);
// C[j][l] for sphere numbers j, l after form_capacitance_matrix succeeded; 0 for spheres left
// out of the matrix.
Real capacitance_entry(const Simulator& sim, int j, int l);

} // namespace ambrel
