// The numerical Jacobian of the default update law at the present angles, for stability
// analysis: for each object o, f(2o-1) = dt/(2 m L) * frx * cosec Az and f(2o) = dt/(2 m L) * frz;
// entry (row, column) = d f(row) / d A(column) by one-sided differences of step h. Its
// eigenvalues follow: all real parts negative means a stable equilibrium.
#pragma once

#include "model/simulator.h"

#include <functional>
#include <string>
#include <vector>

namespace ambrel {

// Objects beyond this give more than 2000 rows: the command refuses them.
constexpr int MAX_JACOBIAN_OBJECTS = 1000;

struct JacobianSettings {
    Real time_step = 0.05L;         // dt (the main window's time step)
    Real angle_variation = 0.0001L; // h, rad
    bool plain = false;             // "Plain formatting"
};

enum class Stability { Stable, Unstable, Undecided, NotComputed };

struct JacobianResult {
    bool computed = false;
    int size = 0; // N = 2 * object_count
    Stability stability = Stability::NotComputed;
};

// after_positions is called after the positions of every perturbed evaluation (redraw).
JacobianResult compute_jacobian(Simulator& sim, const JacobianSettings& settings,
                                const std::function<void()>& after_positions = {});

// Entry (row, column), 1-based, of the last Jacobian.
Real jacobian_entry(const Simulator& sim, int row, int column);

// The leading N x N block of a row-major matrix with `stride` columns.
void print_matrix_bracketed(Simulator& sim, int n, const Real* matrix, int stride);
void print_matrix_plain(Simulator& sim, int n, const Real* matrix, int stride);

} // namespace ambrel
