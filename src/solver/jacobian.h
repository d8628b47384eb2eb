// The numerical Jacobian of the default update law at the present angles, for stability
// analysis: for each object o, f(2o-1) = dt/(2 m L) * frx * cosec Az and f(2o) = dt/(2 m L) * frz;
// entry (row, column) = d f(row) / d A(column) by one-sided differences of step h, in 1/s. The
// stability follows from the same motion in coordinates smooth where a string hangs straight
// down (solver/stability.h), differenced with steps h and h/2: each eigenvalue with its error,
// and a verdict only where the errors allow one.
#pragma once

#include "model/status.h"
#include "session/session.h"
#include "solver/run_observer.h"
#include "solver/stability.h"

#include <functional>
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
    // Only the verdict line: no matrix, no eigenvalues (the equilibrium finder's last word).
    bool verdict_only = false;
    // Ends a matrix row cut to the panel's line length: how to get the whole matrix.
    std::string cut_mark = " ...(cut: --jacobian-out FILE.csv writes the whole matrix)";
};

// NotEquilibrium: the eigenvalues describe the motion from a state that is not at rest.
enum class Stability { Stable, Unstable, Undecided, NotEquilibrium, NotComputed };

struct JacobianResult {
    bool computed = false;
    bool stopped = false; // Stop ended it before its last column
    int size = 0;         // N = 2 * object_count
    Stability stability = Stability::NotComputed;
    int parallel_columns = 0; // evaluations done in parallel from the base state
    int evaluations = 0;      // perturbed evaluations in all
    std::vector<Real> matrix; // N x N, row-major
    // The stability analysis: the chart's coordinates (by slot of the movable objects), the
    // extrapolated matrix of the motion in them and its eigenvalues with their errors.
    std::vector<std::string> stability_coordinates;
    std::vector<Real> stability_matrix;
    std::vector<EigenvalueWithError> eigenvalues;
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

// Writes the eigenvalues of a stability analysis (unless `verdict_only`) and the verdict they
// allow: "Not an equilibrium" when the residual is above the tolerance (uN), else "Stable",
// "Unstable" or "Undecided" with what may decide it (h: the step of the differences).
Stability report_stability(OutputSink& out, const StabilityAnalysis& analysis, Real residual_uN,
                           Real tolerance_uN, Real h, bool verdict_only);

// Evaluates the perturbed states of `steps` from the session's present state (whose evaluation
// belongs to its model), each moved by apply_chart_step: in parallel from the base state's factor
// for systems of WARM_START_MIN_SIZE to MAX_PARALLEL_JACOBIAN_SPHERES spheres, the rest in order in
// full (observer.after_positions called, the solver's diagnostic lines written for the update
// law's columns). `record` receives each evaluation, from any thread of the team (distinct steps
// at once). Progress (evaluations done of all) and the Stop are looked at between batches and
// before each full evaluation. The session's model and evaluation are left untouched; its
// workspace is built again for them when a full evaluation ran.
using ChartStepRecorder = std::function<void(const ChartStep&, const SystemModel&, const Evaluation&)>;
struct ChartStepsRun {
    bool stopped = false;
    int parallel = 0; // evaluations done on the parallel path
};
ChartStepsRun evaluate_chart_steps(Session& session, const StabilityChart& chart,
                                   const std::vector<ChartStep>& steps, const ChartStepRecorder& record,
                                   const RunObserver& observer = {}, int smallest = WARM_START_MIN_SIZE);

// The leading N x N block of a row-major matrix with `stride` columns. A row longer than a line
// of the panel is cut to end with `cut_mark`.
void print_matrix_bracketed(OutputSink& out, int n, const Real* matrix, int stride,
                            const std::string& cut_mark = {});
void print_matrix_plain(OutputSink& out, int n, const Real* matrix, int stride,
                        const std::string& cut_mark = {});

// The CSV text of a computed Jacobian, values in 1/s, each in the shortest text that reads back
// as the same extended value; each section's columns are named by a row of kind "columns":
//   kind,name,values (1/s)
//   columns,update law,Ax 1,Az 1,...,Ax n,Az n
//   update law,Ax 1,<N entries>                 N rows: the printed matrix
//   columns,stability,Y 1,X 1,...,Ax k,Az k
//   stability,Y 1,<m entries>                   m rows: the extrapolated matrix of the motion in
//                                                the stability coordinates of the movable objects
//   columns,eigenvalue,real,imaginary,error
//   eigenvalue,1,<real>,<imaginary>,<error>     its m eigenvalues, largest real part first
std::string jacobian_csv(const JacobianResult& result);
// Writes it through a temporary file and a rename; "cannot write PATH: reason" on failure.
Status save_jacobian_csv(const std::string& path, const JacobianResult& result);

} // namespace ambrel
