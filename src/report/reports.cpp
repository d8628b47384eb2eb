#include "model/units.h"
#include "physics/reports.h"

#include "text/number_format.h"
#include "physics/forces.h"

#include <cmath>

namespace ambrel {

namespace {

std::string F(Real v, int width, int decimals) {
    return real_to_fixed_text(v, width, decimals);
}
std::string num(int i) {
    return std::to_string(i);
}
Real to_degrees(Real a) {
    return a * 180 / PI;
}

// "first-last" of the composite object that ends at sphere i.
std::string range_text(const Sphere& s, int i) {
    return num(i - s.object_spheres + 1) + std::string("-") + num(i);
}

struct Point {
    Real x, y, z;
};

// The point of an object for the distance reports: the centre of a single ball, or the end of a
// composite object's string measured from the object's own suspension point.
Point object_point(const Sphere& s) {
    if (s.kind == KIND_BALL)
        return {s.x, s.y, s.z};
    return {s.ref_x0 + s.L * std::sin(s.Az) * std::cos(s.Ax),
            s.ref_y0 + s.L * std::sin(s.Az) * std::sin(s.Ax), s.ref_z0 - s.L * std::cos(s.Az)};
}

// Distance without overflow even for absurd coordinates.
Real distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

template <typename Line> void for_object_pairs(Simulator& sim, Line line) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        if (!sim.spheres[i].is_object_last())
            continue;
        for (int j = i + 1; j <= sim.sphere_count; ++j) {
            if (sim.spheres[j].is_object_last())
                line(i, j);
        }
    }
}

} // namespace

std::string object_label(const Simulator& sim, int i) {
    const Sphere& s = sim.spheres[i];
    return s.kind == KIND_BALL ? std::string("[") + num(i) + "]" : std::string("[") + range_text(s, i) + "]";
}

void report_charges(Simulator& sim) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        sim.add_output_line(std::string("Q[") + num(i) + std::string("]=") + F(s.Q * 1e9L, 12, 8) + " nC");
        if (s.kind != KIND_BALL && s.is_object_last()) {
            Real sum = s.Q;
            for (int k = i - 1; k >= i - s.object_spheres + 1; --k)
                sum += sim.spheres[k].Q;
            sim.add_output_line(std::string("Q[") + range_text(s, i) + std::string("]=") +
                                F(sum * 1e9L, 12, 8) + " nC");
        }
    }
}

void report_forces(Simulator& sim) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        sim.add_output_line(std::string("F[") + num(i) + std::string("]=") + F(s.fx * 1e6L, 6, 4) +
                            std::string("x ") + F(s.fy * 1e6L, 6, 4) + std::string("y ") +
                            F(s.fz * 1e6L, 6, 4) + std::string("z (") + F(s.f_abs * 1e6L, 6, 4) +
                            std::string(") uN, m=") + F(s.m * 1000, 6, 4) + " g");
    }
}

void report_angles(Simulator& sim) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        if (s.L == 0)
            continue;
        std::string index;
        if (s.kind == KIND_BALL)
            index = num(i);
        else if (s.is_object_last())
            index = range_text(s, i);
        else
            continue;
        sim.add_output_line(std::string("Ax[") + index + std::string("]=") + F(to_degrees(s.Ax), 10, 5) +
                            std::string(" Az[") + index + std::string("]=") + F(to_degrees(s.Az), 10, 5) +
                            " deg");
    }
}

void report_rotational_forces(Simulator& sim) {
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        if (s.L == 0)
            continue;
        if (s.kind == KIND_BALL) {
            sim.add_output_line(std::string("[") + num(i) + std::string("]: Frx=") + F(s.frx * 1e6L, 7, 4) +
                                std::string(", Frz=") + F(s.frz * 1e6L, 7, 4) + " uN");
        } else if (s.is_object_last()) {
            // The spheres hold 1/n of the object's totals.
            const Real n = s.object_spheres;
            sim.add_output_line(std::string("[") + range_text(s, i) + std::string("]: Frx=") +
                                F(n * s.frx * 1e6L, 7, 4) + std::string(", Frz=") +
                                F(n * s.frz * 1e6L, 7, 4) + " uN");
        }
    }
}

void report_center_distances(Simulator& sim) {
    for_object_pairs(sim, [&](int i, int j) {
        const Real d = distance(object_point(sim.spheres[i]), object_point(sim.spheres[j]));
        sim.add_output_line(std::string("Distance between centers ") + object_label(sim, i) +
                            std::string("-") + object_label(sim, j) + std::string("=") + F(d * 100, 8, 5) +
                            " cm");
    });
}

void report_surface_distances(Simulator& sim) {
    for_object_pairs(sim, [&](int i, int j) {
        const Real d = distance(object_point(sim.spheres[i]), object_point(sim.spheres[j]));
        const Real gap = d - sim.spheres[i].object_size - sim.spheres[j].object_size;
        sim.add_output_line(std::string("Distance between surfaces ") + object_label(sim, i) +
                            std::string("-") + object_label(sim, j) + std::string("=") + F(gap * 100, 8, 5) +
                            " cm");
    });
}

void report_fields(Simulator& sim) {
    for (int i = 1; i <= sim.sphere_count; ++i)
        sim.add_output_line(std::string("Electric field [") + num(i) + std::string("]=") +
                            F(surface_field(sim, i) / 1e5L, 10, 7) + " kV/cm");
}

void report_total_capacitance(Simulator& sim) {
    sim.add_output_line(std::string("Total capacitance = ") + F(sim.total_capacitance * 1e12L, 12, 9) +
                        " pF");
}

} // namespace ambrel
