// The numerical Jacobian of the default update law at the present angles, for stability
// analysis: for each object o, f(2o-1) = dt/(2 m L) * frx * cosec Az and f(2o) = dt/(2 m L) * frz;
// entry (row, column) = d f(row) / d A(column) by one-sided differences of step h. Its
// eigenvalues follow: all real parts negative means a stable equilibrium.
#pragma once

#include "session/session.h"
#include "solver/run_observer.h"

#include <string>
#include <vector>

namespace ambrel {

// Objects beyond this give more than 2000 rows: the command refuses them.
constexpr int MAX_JACOBIAN_OBJECTS = 1000;
// Up to this many spheres the perturbations of a large system are evaluated in parallel, each
// thread with its own copy of the system.
constexpr int MAX_PARALLEL_JACOBIAN_SPHERES = 1000;

struct JacobianSettings {
    Real time_step = 0.05L;         // dt (the main window's time step)
    Real angle_variation = 0.0001L; // h, rad
    bool plain = false;             // "Plain formatting"
    Real force_error_uN = 0.0001L;  // a state whose largest rotational force is above this is no equilibrium
};

// NotEquilibrium: the eigenvalues describe the motion from a state that is not at rest.
enum class Stability { Stable, Unstable, Undecided, NotEquilibrium, NotComputed };

struct JacobianResult {
    bool computed = false;
    bool stopped = false; // Stop ended it before its last column
    int size = 0;         // N = 2 * object_count
    Stability stability = Stability::NotComputed;
    int parallel_columns = 0;               // columns evaluated in parallel from the base state
    std::vector<Real> matrix;               // N x N, row-major
    Real entry(int row, int column) const { // 1-based
        return matrix[static_cast<std::size_t>(row - 1) * size + (column - 1)];
    }
};

// Perturbs a copy of the model one angle at a time; progress and after_positions of the observer
// are called; Stop ends it between two evaluations. The base state is the session's last
// evaluation when it belongs to the model's angles (Evaluation::belongs_to), else it is computed
// first; the command leaves the session's model and evaluation as it found them. When the system
// is not initialised and a description is given, Initialize reads it first, as Calculate does
// (observer.initialized is called).
JacobianResult compute_jacobian(Session& session, const JacobianSettings& settings,
                                const RunObserver& observer = {},
                                const std::vector<std::string>* description = nullptr);

// The leading N x N block of a row-major matrix with `stride` columns.
void print_matrix_bracketed(OutputSink& out, int n, const Real* matrix, int stride);
void print_matrix_plain(OutputSink& out, int n, const Real* matrix, int stride);

} // namespace ambrel
