#include "solver/jacobian.h"

#include "physics/evaluation.h"
#include "physics/perturbation.h"
#include "solver/eigenvalues.h"
#include "solver/relaxation.h"
#include "text/number_format.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace ambrel {

namespace {

std::string complex_text(Complex z) {
    std::string text = format_g(z.real());
    if (z.imag() != 0)
        text += (z.imag() < 0 ? " - " : " + ") + format_g(std::fabs(z.imag())) + "i";
    return text;
}

// Eigenvalues of the rows and columns of the movable objects (the rows of a fixed object are
// zero, so the others' eigenvalues are those of the whole matrix without its zeros).
Stability report_eigenvalues(const SystemModel& model, OutputSink& out, const Real* J, int stride,
                             Real residual_uN, Real tolerance_uN) {
    std::vector<int> movable;
    for (int k = 1; k <= model.object_count; ++k) {
        if (model.objects[k].L != 0) {
            movable.push_back(2 * k - 2);
            movable.push_back(2 * k - 1);
        }
    }
    const int m = static_cast<int>(movable.size());
    if (m == 0) {
        out.add_output_line("No movable object: there are no eigenvalues to examine.");
        return Stability::Undecided;
    }
    std::vector<Real> a(static_cast<std::size_t>(m) * m);
    Real scale = 0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            a[static_cast<std::size_t>(i) * m + j] =
                J[static_cast<std::size_t>(movable[i]) * stride + movable[j]];
            scale = std::max(scale, std::fabs(a[static_cast<std::size_t>(i) * m + j]));
        }
    const auto values = eigenvalues(a, m);
    if (!values) {
        out.add_output_line("The eigenvalues could not be computed (the iteration did not converge).");
        return Stability::NotComputed;
    }
    out.add_output_line("Eigenvalues:");
    Real largest = -std::numeric_limits<Real>::infinity();
    for (const Complex& z : *values) {
        out.add_output_line(complex_text(z));
        largest = std::max(largest, z.real());
    }
    // Real parts within the rounding of the differences count as zero.
    if (!(residual_uN <= tolerance_uN)) {
        // The eigenvalues of a state that is not at rest say nothing of its stability.
        out.add_output_line("Not an equilibrium: the largest rotational force is " +
                            real_to_fixed_text(residual_uN, 0, 6) + " uN, above the tolerance of " +
                            format_g(tolerance_uN) +
                            " uN; the eigenvalues describe the motion from this state.");
        return Stability::NotEquilibrium;
    }
    const Real tolerance = 1e-12L * std::max<Real>(scale, 1e-300L) * m;
    if (largest > tolerance) {
        out.add_output_line("Unstable: an eigenvalue has a positive real part.");
        return Stability::Unstable;
    }
    if (largest < -tolerance) {
        out.add_output_line("Stable: all eigenvalues have negative real parts.");
        return Stability::Stable;
    }
    out.add_output_line("Undecided: the largest real part is zero within the tolerance.");
    return Stability::Undecided;
}

} // namespace

void print_matrix_bracketed(OutputSink& out, int n, const Real* matrix, int stride) {
    for (int i = 1; i <= n; ++i) {
        std::string line = i == 1 ? "[[" : "[ ";
        for (int j = 1; j <= n; ++j) {
            line += real_to_fixed_text(matrix[static_cast<std::size_t>(i - 1) * stride + (j - 1)], 10, 6);
            line += j == n ? "]" : ",";
        }
        line += i == n ? "]" : ",";
        out.add_output_line(line);
    }
}

void print_matrix_plain(OutputSink& out, int n, const Real* matrix, int stride) {
    for (int i = 1; i <= n; ++i) {
        std::string line;
        for (int j = 1; j <= n; ++j)
            line +=
                real_to_fixed_text(matrix[static_cast<std::size_t>(i - 1) * stride + (j - 1)], 10, 6) + " ";
        out.add_output_line(line);
    }
}

JacobianResult compute_jacobian(Session& session, const JacobianSettings& settings,
                                const RunObserver& observer, const std::vector<std::string>* description) {
    const Session::CommandScope command(session);
    JacobianResult result;
    OutputSink& out = session.sink();
    if (!session.system_initialized && description) {
        const InitializeResult init = initialize_system(session, *description);
        if (observer.initialized)
            observer.initialized(init);
    }
    const SystemModel& base = session.model;
    if (session.option(Option::SpeedSimulation)) {
        out.add_output_line("Jacobian matrix not implemented for speed simulation.");
        return result;
    }
    if (base.object_count > MAX_JACOBIAN_OBJECTS) {
        out.add_output_line("Jacobian matrix not computed: " + std::to_string(base.object_count) +
                            " objects are more than the " + std::to_string(MAX_JACOBIAN_OBJECTS) +
                            " it can hold.");
        return result;
    }
    const int N = 2 * base.object_count;
    const Real dt = settings.time_step, h = settings.angle_variation;
    result.size = N;
    result.matrix.assign(static_cast<std::size_t>(N) * N, 0);
    Real* J = result.matrix.data();

    // The rotational forces left by the last computation are the base values when they belong to
    // the model as it stands (the same reading, angles and voltages); otherwise (charges never
    // computed, angles changed since) they are computed first. Each column perturbs one angle of
    // a copy of the model.
    if (!session.evaluation.belongs_to(base))
        session.evaluate();
    const Evaluation& unperturbed = session.evaluation;
    // The largest rotational force of the base state: the session takes the last perturbed
    // evaluation at the end.
    const Real residual_uN = max_rotational_force(base, unperturbed) * 1e6L;
    SystemModel work = base;
    Evaluation trial = unperturbed;
    // Each perturbation's solve starts from the base state's factor and charges.
    const WarmStart warm(session.workspace, SolveStart::WarmFromAnchor);
    const Options& options = session.switches();

    // Column `column` (1-based) of J from the rotational forces of a perturbed evaluation.
    auto fill_column = [&](const SystemModel& model, const Evaluation& ev, int column) {
        for (int r = 1; r <= model.object_count; ++r) {
            const Object& row = model.objects[r];
            const int i = row.last();
            const Real K = row.L != 0 ? step_gain(model, row, dt) : 0;
            J[static_cast<std::size_t>(2 * r - 2) * N + (column - 1)] =
                limited_cosec(row.Az) * (ev.frx[i] - unperturbed.frx[i]) * K / h;
            J[static_cast<std::size_t>(2 * r - 1) * N + (column - 1)] =
                (ev.frz[i] - unperturbed.frz[i]) * K / h;
        }
    };

    // Large systems: the perturbations are independent, and all but the last run in parallel,
    // each on one thread from the base state's factor (see physics/perturbation.h). Those that
    // cannot be done that way, and the last one (whose state the session keeps), follow below
    // in order as full evaluations.
    std::vector<char> done(static_cast<std::size_t>(N) + 1, 0);
    if (base.sphere_count >= WARM_START_MIN_SIZE && base.sphere_count <= MAX_PARALLEL_JACOBIAN_SPHERES) {
        SystemModel positioned = base;
        compute_positions(positioned, options);
        PerturbationBase shared;
        if (shared.prepare(positioned, options, unperturbed, MAX_PARALLEL_JACOBIAN_SPHERES)) {
            // The columns go in batches (at most 32 columns a thread, at least eight batches);
            // before each, outside any parallel region, the host hears of the progress and its
            // Stop is looked at, so a Stop counts within an eighth of the work. No callback runs
            // on the team, and an exception of a thread (out of memory) is carried out of the
            // region and thrown on the command's thread.
            const int threads = std::max(1, omp_get_max_threads());
            const int batch = std::max(threads, std::min(32 * threads, (N - 1 + 7) / 8));
            std::exception_ptr failure;
            for (int first = 1; first < N && !result.stopped; first += batch) {
                if (observer.progress)
                    observer.progress(std::min((first + 1) / 2, base.object_count), base.object_count);
                if (session.stop_requested()) {
                    result.stopped = true;
                    break;
                }
                const int last = std::min(N - 1, first + batch - 1);
#pragma omp parallel
                {
                    try {
                        SystemModel local = positioned;
                        Evaluation local_ev = unperturbed;
                        PerturbedEvaluation perturbed;
#pragma omp for schedule(dynamic, 1)
                        for (int column = first; column <= last; ++column) {
                            const int c = (column + 1) / 2;
                            const bool azimuth = column % 2 == 0;
                            Object& o = local.objects[c];
                            const Real saved = azimuth ? o.Az : o.Ax;
                            (azimuth ? o.Az : o.Ax) += h;
                            compute_positions(local, options);
                            if (perturbed.evaluate(shared, local, options, local_ev)) {
                                fill_column(local, local_ev, column);
                                done[column] = 1;
                            }
                            (azimuth ? o.Az : o.Ax) = saved;
                        }
                    } catch (...) {
#pragma omp critical(ambrel_jacobian_failure)
                        if (!failure)
                            failure = std::current_exception();
                    }
                }
                if (failure)
                    std::rethrow_exception(failure);
            }
            result.parallel_columns = static_cast<int>(std::count(done.begin(), done.end(), 1));
        }
    }

    bool evaluated = false;
    for (int c = 1; c <= work.object_count && !result.stopped; ++c) {
        if (observer.progress)
            observer.progress(c, work.object_count);
        for (bool azimuth : {false, true}) {
            if (session.stop_requested()) {
                result.stopped = true;
                break;
            }
            if (done[azimuth ? 2 * c : 2 * c - 1])
                continue;
            Object& o = work.objects[c];
            const Real saved = azimuth ? o.Az : o.Ax;
            (azimuth ? o.Az : o.Ax) += h;
            evaluate(work, options, session.workspace, trial, [&] {
                if (observer.after_positions)
                    observer.after_positions(work, trial);
            });
            session.report_charge_diagnostics(trial.diagnostics, work);
            evaluated = true;
            fill_column(work, trial, azimuth ? 2 * c : 2 * c - 1);
            (azimuth ? o.Az : o.Ax) = saved;
        }
    }
    if (evaluated) {
        // The command leaves the session as it found it: its model and evaluation were never
        // touched, but the workspace holds the last perturbed state's matrix, which the reports
        // after it (the capacitances) would read. It is built again for the unperturbed state.
        Evaluation scratch;
        compute_charges(session.model, options, session.workspace, scratch);
    }
    if (result.stopped) {
        out.add_output_line("Jacobian matrix stopped before its end: nothing to show.");
        return result;
    }
    out.add_output_line("Jacobian matrix (error " + real_to_exponent_text(h, 10, 3) + "):");
    if (settings.plain)
        print_matrix_plain(out, N, J, N);
    else
        print_matrix_bracketed(out, N, J, N);
    result.computed = true;
    result.stability = report_eigenvalues(session.model, out, J, N, residual_uN, settings.force_error_uN);
    return result;
}

} // namespace ambrel
