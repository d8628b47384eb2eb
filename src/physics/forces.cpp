#include "physics/forces.h"

#include <cmath>

namespace ambrel {

namespace {

constexpr Real MIN_SQUARED_DISTANCE = 1e-12L; // m^2
constexpr Real CONTACT_TERM = 1e-12L;         // C^2/m^2, replaces Q_i Q_j / d^2 for overlapping spheres
constexpr Real MIN_HORIZONTAL_RADIUS = 1e-6L; // m

// Gives every sphere of the object ending at sphere i (n spheres) 1/n of the object's totals,
// which sphere i holds.
void share_over_object(Simulator& sim, int i, int n) {
    Sphere& last = sim.spheres[i];
    const Real fx = last.fx / n, fy = last.fy / n, fz = last.fz / n;
    const Real f_abs = last.f_abs / n, frx = last.frx / n, frz = last.frz / n;
    for (int k = i - n + 1; k <= i; ++k) {
        Sphere& s = sim.spheres[k];
        s.fx = fx;
        s.fy = fy;
        s.fz = fz;
        s.f_abs = f_abs;
        s.frx = frx;
        s.frz = frz;
    }
}

} // namespace

Real limited_cosec(Real a) {
    const Real s = std::sin(a);
    if (std::fabs(s) > 0.001L)
        return 1 / s;
    return a > 0 ? 1000 : -1000;
}

void compute_forces(Simulator& sim) {
    const int n = sim.sphere_count;
    Sphere* spheres = sim.spheres.data();
    const Real four_pi_e0 = sim.four_pi_e0;
    // Each sphere's sum runs over the others in ascending order, so the result does not depend
    // on the number of threads.
#pragma omp parallel for schedule(static)
    for (int i = 1; i <= n; ++i) {
        Sphere& si = spheres[i];
        Real fx = 0, fy = 0, fz = 0;
        for (int j = 1; j <= n; ++j) {
            if (j == i)
                continue;
            const Sphere& sj = spheres[j];
            const Real dx = si.x - sj.x, dy = si.y - sj.y, dz = si.z - sj.z;
            Real D = dx * dx + dy * dy + dz * dz;
            if (D < MIN_SQUARED_DISTANCE)
                D = MIN_SQUARED_DISTANCE;
            const Real d = std::sqrt(D);
            const Real g = d < si.r + sj.r ? CONTACT_TERM : si.Q * sj.Q / D;
            fx += g * dx / d;
            fy += g * dy / d;
            fz += g * dz / d;
        }
        si.fx = fx / four_pi_e0;
        si.fy = fy / four_pi_e0;
        si.fz = fz / four_pi_e0 - si.m * GRAVITY;
        si.f_abs = std::sqrt(si.fx * si.fx + si.fy * si.fy + si.fz * si.fz);
    }
}

void compute_rotational_forces(Simulator& sim) {
    const bool correct = sim.option(Option::CorrectRotationForces);
    for (int i = 1; i <= sim.sphere_count; ++i) {
        Sphere& s = sim.spheres[i];
        if (s.L == 0)
            continue;
        const int n = s.object_spheres;
        if (!correct) {
            if (!s.is_object_last())
                continue;
            for (int k = i - 1; k >= i - n + 1; --k) {
                s.fx += sim.spheres[k].fx;
                s.fy += sim.spheres[k].fy;
                s.fz += sim.spheres[k].fz;
            }
            s.f_abs = std::sqrt(s.fx * s.fx + s.fy * s.fy + s.fz * s.fz);
            const Real sin_ax = std::sin(s.Ax), cos_ax = std::cos(s.Ax);
            s.frx = -sin_ax * s.fx + cos_ax * s.fy;
            s.frz = (cos_ax * s.fx + sin_ax * s.fy) * std::cos(s.Az) + std::sin(s.Az) * s.fz;
            share_over_object(sim, i, n);
            continue;
        }
        // Torques about the object's suspension point.
        const Real hx = s.x - s.ref_x0, hy = s.y - s.ref_y0;
        Real b = std::sqrt(hx * hx + hy * hy); // horizontal distance from the suspension point
        if (std::fabs(b) < MIN_HORIZONTAL_RADIUS)
            b = MIN_HORIZONTAL_RADIUS;
        const Real alpha = std::atan2(hy, hx);
        const Real T = -std::sin(alpha) * s.fx + std::cos(alpha) * s.fy; // perpendicular to b
        const Real w = b * std::cos(alpha - s.Ax); // the part of b in the string's vertical plane
        const Real beta = std::atan2(w, s.ref_z0 - s.z);
        const Real P = std::cos(s.Ax) * s.fx + std::sin(s.Ax) * s.fy;
        const Real V = std::cos(beta) * P + std::sin(beta) * s.fz;
        s.frx = limited_cosec(s.Az) * (T * b / s.L);
        s.frz = limited_cosec(beta) * (V * w / s.L);
        if (s.kind != KIND_BALL && s.is_object_last()) {
            for (int k = i - 1; k >= i - n + 1; --k) {
                const Sphere& o = sim.spheres[k];
                s.fx += o.fx;
                s.fy += o.fy;
                s.fz += o.fz;
                s.frx += o.frx;
                s.frz += o.frz;
            }
            s.f_abs = std::sqrt(s.fx * s.fx + s.fy * s.fy + s.fz * s.fz);
            share_over_object(sim, i, n);
        }
    }
    sim.forces_valid = true;
}

Real surface_field(const Simulator& sim, int i) {
    const Sphere& s = sim.spheres[i];
    if (!(s.object_size > 0) || sim.four_pi_e0 == 0)
        return 0; // no surface: nothing to report
    return s.object_spheres * s.Q / (sim.four_pi_e0 * s.object_size * s.object_size);
}

} // namespace ambrel
