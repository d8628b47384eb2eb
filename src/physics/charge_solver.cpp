#include "physics/charge_solver.h"

#include "text/number_format.h"

#include <cmath>

namespace ambrel {

namespace {

// Spheres closer than this are taken at this distance (m).
constexpr Real MIN_DISTANCE = 1e-6L;

bool finite_position(const Sphere& s) {
    return std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z);
}

// Potential on the axis of a uniformly charged square of side s and unit charge, at distance d
// from its centre, in units of 1/(4 pi e0): the mutual elastance of two aligned square plates.
// Returns K; the elastance is K/s. At d = 0 it is 4 ln(1 + sqrt 2)/s.
Real square_plate_constant(Real s, Real d) {
    const Real root = std::sqrt(s * s + 2 * d * d);
    const Real a = (s + std::sqrt(2.0L) * root) * (s + std::sqrt(2.0L) * root);
    return (2 * s * std::log(a / (s * s + 4 * d * d)) -
            4 * d * std::atan(std::sqrt(2.0L) * s * s / (4 * d * root))) /
           s;
}

} // namespace

PhysicsWorkspace::PhysicsWorkspace()
    : active(MAX_SPHERES + 1), active_index(MAX_SPHERES + 1, -1), voltages(MAX_SPHERES + 1),
      solution(MAX_SPHERES + 1) {}

PhysicsWorkspace& physics_of(Simulator& sim) {
    if (!sim.physics)
        sim.physics = std::make_shared<PhysicsWorkspace>();
    return *sim.physics;
}

void compute_positions(Simulator& sim) {
    const bool rotate = sim.option(Option::RotateObjects);
    for (int i = 1; i <= sim.sphere_count; ++i) {
        Sphere& s = sim.spheres[i];
        const Real sin_ax = std::sin(s.Ax), cos_ax = std::cos(s.Ax);
        const Real sin_az = std::sin(s.Az), cos_az = std::cos(s.Az);
        if (s.kind != KIND_BALL && rotate) {
            // Turn the offset about the vertical by Ax, then tilt it by Az about the horizontal
            // axis (sin Ax, -cos Ax, 0): the downward vertical goes into the string's direction.
            const Real u = s.offset_x * cos_ax - s.offset_y * sin_ax;
            const Real v = s.offset_x * sin_ax + s.offset_y * cos_ax;
            const Real w = s.offset_z;
            const Real c = cos_az, sn = sin_az, k = 1 - c;
            s.x0 = s.ref_x0 + (sin_ax * sin_ax * k + c) * u + (-sin_ax * cos_ax * k) * v + (-cos_ax * sn) * w;
            s.y0 = s.ref_y0 + (-sin_ax * cos_ax * k) * u + (cos_ax * cos_ax * k + c) * v + (-sin_ax * sn) * w;
            s.z0 = s.ref_z0 + (cos_ax * sn) * u + (sin_ax * sn) * v + c * w;
        }
        s.x = s.x0 + s.L * sin_az * cos_ax;
        s.y = s.y0 + s.L * sin_az * sin_ax;
        s.z = s.z0 - s.L * cos_az;
    }
}

void build_capacitance_matrix(Simulator& sim) {
    PhysicsWorkspace& ws = physics_of(sim);
    ws.capacitance_valid = false;
    ws.matrix_built = false;
    ws.singular_pivot = 0;

    // Spheres without a positive, finite radius or position cannot take part: 1/r is undefined.
    int n = 0;
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        ws.active_index[i] = -1;
        if (s.r > 0 && std::isfinite(s.r) && finite_position(s)) {
            ws.active_index[i] = n;
            ws.active[n++] = i;
        } else if (ws.degenerate_reported_for != sim.read_generation) {
            // Once per reading: a relaxation run would repeat it at every step.
            sim.add_output_line("Sphere " + std::to_string(i) + " (" + s.name +
                                ") has no positive radius or position: it is taken as uncharged");
        }
    }
    ws.n_active = n;
    ws.degenerate_reported_for = sim.read_generation;

    Real* P = ws.solver.matrix(n);
    const bool use_squares = sim.option(Option::UseSquares);
    int plate_count = 0;
    Real last_plate_constant = 0;
    const Sphere* spheres = sim.spheres.data();
    const int* active = ws.active.data();

    // Rows are independent; the plate counter and constant are gathered afterwards in row order.
#pragma omp parallel for schedule(dynamic, 16) reduction(+ : plate_count)
    for (int a = 0; a < n; ++a) {
        const Sphere& sj = spheres[active[a]];
        P[static_cast<std::size_t>(a) * n + a] = 1 / sj.r;
        for (int b = a + 1; b < n; ++b) {
            const Sphere& sk = spheres[active[b]];
            const Real dx = sj.x - sk.x, dy = sj.y - sk.y, dz = sj.z - sk.z;
            Real d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (d < MIN_DISTANCE)
                d = MIN_DISTANCE;
            Real p;
            if (use_squares && sj.x == sk.x && sj.y == sk.y && is_flat_kind(sj.kind) &&
                is_flat_kind(sk.kind) && sj.square_side > 0) {
                // Two flat squares on one vertical line: uniformly charged square plates.
                p = square_plate_constant(sj.square_side, d) / sj.square_side;
                ++plate_count;
            } else {
                p = 1 / d;
            }
            P[static_cast<std::size_t>(a) * n + b] = p;
            P[static_cast<std::size_t>(b) * n + a] = p;
        }
    }
    if (plate_count > 0) {
        // The constant of the last pair in the order j ascending, k ascending.
        for (int a = n - 1; a >= 0 && last_plate_constant == 0; --a) {
            const Sphere& sj = spheres[active[a]];
            for (int b = n - 1; b > a; --b) {
                const Sphere& sk = spheres[active[b]];
                if (sj.x == sk.x && sj.y == sk.y && is_flat_kind(sj.kind) && is_flat_kind(sk.kind) &&
                    sj.square_side > 0) {
                    const Real dx = sj.x - sk.x, dy = sj.y - sk.y, dz = sj.z - sk.z;
                    Real d = std::sqrt(dx * dx + dy * dy + dz * dz);
                    if (d < MIN_DISTANCE)
                        d = MIN_DISTANCE;
                    last_plate_constant = square_plate_constant(sj.square_side, d);
                    break;
                }
            }
        }
        sim.add_output_line("Balls were considered as aligned flat plates " + std::to_string(plate_count) +
                            " times  (Last cte=" + real_to_fixed_text(last_plate_constant, 13, 9) + ")");
    }

    for (int a = 0; a < n; ++a) {
        const Sphere& s = spheres[active[a]];
        ws.voltages[a] =
            (s.conductor >= 1 && s.conductor <= sim.conductor_count) ? sim.conductors[s.conductor].V : 0;
    }
    const SolveOutcome outcome =
        ws.solver.solve(n, ws.voltages.data(), ws.solution.data(), ws.requested_tier);
    ws.tier_used = outcome.tier_used;
    if (outcome.singular_pivot > 0) {
        // The pivot is named by its sphere number (the same as the matrix line when every sphere
        // takes part). The charges of a singular system mean nothing: they and the capacitance
        // are set to 0.
        ws.singular_pivot = ws.active[outcome.singular_pivot - 1];
        sim.add_output_line("Something wrong (line " + std::to_string(ws.singular_pivot) +
                            "). The n matrix can't be inverted.");
        for (int a = 0; a < n; ++a)
            ws.solution[a] = 0;
        sim.total_capacitance = 0;
        return;
    }
    sim.total_capacitance = outcome.total * sim.four_pi_e0;
    ws.matrix_built = true;
}

void compute_charges(Simulator& sim) {
    PhysicsWorkspace& ws = physics_of(sim);
    for (int i = 1; i <= sim.sphere_count; ++i)
        sim.spheres[i].Q = 0;
    for (int a = 0; a < ws.n_active; ++a)
        sim.spheres[ws.active[a]].Q = ws.solution[a] * sim.four_pi_e0;
    sim.density_max = -1e9L;
    sim.density_min = 1e9L;
    for (int a = 0; a < ws.n_active; ++a) {
        const Sphere& s = sim.spheres[ws.active[a]];
        const Real rho = s.Q / (s.r * s.r);
        if (sim.density_max < rho)
            sim.density_max = rho;
        if (sim.density_min > rho)
            sim.density_min = rho;
    }
    if (sim.density_min == 0)
        sim.density_min = -1e-9L;
    if (sim.density_max == 0)
        sim.density_max = 1e-9L;
}

void clear_charges(Simulator& sim) {
    if (sim.physics) {
        // The matrix no longer belongs to the present system.
        sim.physics->matrix_built = false;
        sim.physics->capacitance_valid = false;
    }
    for (int i = 1; i <= sim.sphere_count; ++i)
        sim.spheres[i].Q = 0;
    sim.density_max = 1e-9L;
    sim.density_min = -1e-9L;
}

bool form_capacitance_matrix(Simulator& sim) {
    PhysicsWorkspace& ws = physics_of(sim);
    if (ws.capacitance_valid)
        return true;
    if (!ws.matrix_built)
        return false;
    const int n = ws.n_active;
    ws.capacitance.resize(static_cast<std::size_t>(MAX_SPHERES) * MAX_SPHERES);
    if (ws.solver.inverse(n, ws.capacitance.data()) != 0)
        return false;
    ws.capacitance_valid = true;
    return true;
}

Real capacitance_entry(const Simulator& sim, int j, int l) {
    const PhysicsWorkspace& ws = *sim.physics;
    const int a = ws.active_index[j], b = ws.active_index[l];
    if (a < 0 || b < 0)
        return 0;
    return ws.capacitance[static_cast<std::size_t>(a) * ws.n_active + b];
}

} // namespace ambrel
