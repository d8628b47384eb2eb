#include "solver/jacobian.h"

#include "text/number_format.h"
#include "physics/charge_solver.h"
#include "physics/forces.h"
#include "solver/eigenvalues.h"
#include "solver/initialize.h"

#include <cmath>
#include <limits>

namespace ambrel {

namespace {

void restore(Simulator& sim) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        Sphere& s = sim.spheres[i];
        s.Ax = s.saved_Ax;
        s.Az = s.saved_Az;
        s.frx = s.saved_frx;
        s.frz = s.saved_frz;
    }
}

// Column `column` (1-based) from the evaluation just made.
void fill_column(Simulator& sim, Real* J, int stride, int column, Real dt, Real h) {
    for (int k = 1; k <= sim.sphere_count; ++k) {
        const Sphere& s = sim.spheres[k];
        if (!s.is_object_last())
            continue;
        const int r = s.object_number;
        const int n = s.object_spheres;
        Real K = 0;
        if (s.L != 0)
            K = s.m == 0 ? dt / ((2e-5L / n) * s.L) : dt / (2 * s.m * s.L);
        J[static_cast<std::size_t>(2 * r - 2) * stride + (column - 1)] =
            limited_cosec(s.Az) * (s.frx - s.saved_frx) * K / h;
        J[static_cast<std::size_t>(2 * r - 1) * stride + (column - 1)] = (s.frz - s.saved_frz) * K / h;
    }
}

void perturb(Simulator& sim, int p, bool azimuth, Real h) {
    Sphere& s = sim.spheres[p];
    if (azimuth)
        s.Az += h;
    else
        s.Ax += h;
    if (s.kind != KIND_BALL) {
        for (int k = p - s.object_spheres + 1; k < p; ++k) {
            sim.spheres[k].Ax = s.Ax;
            sim.spheres[k].Az = s.Az;
        }
    }
}

std::string complex_text(Complex z) {
    std::string text = format_g(z.real());
    if (z.imag() != 0)
        text += (z.imag() < 0 ? " - " : " + ") + format_g(std::fabs(z.imag())) + "i";
    return text;
}

// Eigenvalues of the rows and columns of the movable objects (the rows of a fixed object are
// zero, so the others' eigenvalues are those of the whole matrix without its zeros).
Stability report_eigenvalues(Simulator& sim, const Real* J, int stride, int n) {
    std::vector<int> movable;
    for (int k = 1; k <= sim.sphere_count; ++k) {
        const Sphere& s = sim.spheres[k];
        if (s.is_object_last() && s.L != 0) {
            movable.push_back(2 * s.object_number - 2);
            movable.push_back(2 * s.object_number - 1);
        }
    }
    (void)n;
    const int m = static_cast<int>(movable.size());
    if (m == 0) {
        sim.add_output_line("No movable object: there are no eigenvalues to examine.");
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
        sim.add_output_line("The eigenvalues could not be computed (the iteration did not converge).");
        return Stability::NotComputed;
    }
    sim.add_output_line("Eigenvalues:");
    Real largest = -std::numeric_limits<Real>::infinity();
    for (const Complex& z : *values) {
        sim.add_output_line(complex_text(z));
        largest = std::max(largest, z.real());
    }
    // Real parts within the rounding of the differences count as zero.
    const Real tolerance = 1e-12L * std::max<Real>(scale, 1e-300L) * m;
    if (largest > tolerance) {
        sim.add_output_line("Unstable: an eigenvalue has a positive real part.");
        return Stability::Unstable;
    }
    if (largest < -tolerance) {
        sim.add_output_line("Stable: all eigenvalues have negative real parts.");
        return Stability::Stable;
    }
    sim.add_output_line("Undecided: the largest real part is zero within the tolerance.");
    return Stability::Undecided;
}

} // namespace

Real jacobian_entry(const Simulator& sim, int row, int column) {
    return (*sim.jacobian)[static_cast<std::size_t>(row - 1) * MAX_SPHERES + (column - 1)];
}

void print_matrix_bracketed(Simulator& sim, int n, const Real* matrix, int stride) {
    for (int i = 1; i <= n; ++i) {
        std::string line = i == 1 ? "[[" : "[ ";
        for (int j = 1; j <= n; ++j) {
            line += real_to_fixed_text(matrix[static_cast<std::size_t>(i - 1) * stride + (j - 1)], 10, 6);
            line += j == n ? "]" : ",";
        }
        line += i == n ? "]" : ",";
        sim.add_output_line(line);
    }
}

void print_matrix_plain(Simulator& sim, int n, const Real* matrix, int stride) {
    for (int i = 1; i <= n; ++i) {
        std::string line;
        for (int j = 1; j <= n; ++j)
            line +=
                real_to_fixed_text(matrix[static_cast<std::size_t>(i - 1) * stride + (j - 1)], 10, 6) + " ";
        sim.add_output_line(line);
    }
}

JacobianResult compute_jacobian(Simulator& sim, const JacobianSettings& settings,
                                const std::function<void()>& after_positions) {
    JacobianResult result;
    if (sim.option(Option::SpeedSimulation)) {
        sim.add_output_line("Jacobian matrix not implemented for speed simulation.");
        return result;
    }
    if (sim.object_count > MAX_JACOBIAN_OBJECTS) {
        sim.add_output_line("Jacobian matrix not computed: " + std::to_string(sim.object_count) +
                            " objects are more than the " + std::to_string(MAX_JACOBIAN_OBJECTS) +
                            " it can hold.");
        return result;
    }
    if (!sim.jacobian)
        sim.jacobian =
            std::make_shared<std::vector<Real>>(static_cast<std::size_t>(MAX_SPHERES) * MAX_SPHERES);
    Real* J = sim.jacobian->data();
    const int stride = MAX_SPHERES;
    const int N = 2 * sim.object_count;
    const Real dt = settings.time_step, h = settings.angle_variation;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            J[static_cast<std::size_t>(i) * stride + j] = 0;

    for (int i = 1; i <= sim.sphere_count; ++i) {
        Sphere& s = sim.spheres[i];
        s.saved_Ax = s.Ax;
        s.saved_Az = s.Az;
        s.saved_frx = s.frx;
        s.saved_frz = s.frz;
    }
    for (int p = 1; p <= sim.sphere_count; ++p) {
        if (!sim.spheres[p].is_object_last())
            continue;
        const int c = sim.spheres[p].object_number;
        for (bool azimuth : {false, true}) {
            perturb(sim, p, azimuth, h);
            evaluate_system(sim, after_positions);
            fill_column(sim, J, stride, azimuth ? 2 * c : 2 * c - 1, dt, h);
            restore(sim);
        }
    }
    sim.add_output_line("Jacobian matrix (error " + real_to_exponent_text(h, 10, 3) + "):");
    if (settings.plain)
        print_matrix_plain(sim, N, J, stride);
    else
        print_matrix_bracketed(sim, N, J, stride);
    result.computed = true;
    result.size = N;
    result.stability = report_eigenvalues(sim, J, stride, N);
    return result;
}

} // namespace ambrel
