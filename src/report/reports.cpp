// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/reports.h"

#include "model/units.h"
#include "text/number_format.h"

#include <cmath>

namespace ambrel {

namespace {

std::string F(Real v, int width, int decimals) {
    return real_to_fixed_text(v, width, decimals);
}
std::string num(int i) {
    return std::to_string(i);
}
// A charge that is exactly zero is written without a sign: it is a sum of capacitances times
// voltages that starts from +0 (a division by a negative pivot may leave -0 in the solver).
Real unsigned_zero(Real q) {
    return q == 0 ? Real(0) : q;
}

// "first-last" of the object of sphere i.
std::string range_text(const Object& o) {
    return num(o.first) + std::string("-") + num(o.last());
}

// The point of an object for the distance reports: the centre of a single ball, or the end of a
// composite object's string measured from the object's own suspension point.
Point3 object_point(const SystemModel& model, int i) {
    const Sphere& s = model.spheres[i];
    const Object& o = model.objects[s.object];
    if (!o.composite())
        return {s.x, s.y, s.z};
    return StringDirection(o.Ax, o.Az).at(o.ref_x0, o.ref_y0, o.ref_z0, o.L);
}

// Distance without overflow even for absurd coordinates.
Real distance(Point3 a, Point3 b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

// Every pair of objects (their last spheres i < j).
template <typename Line> void for_object_pairs(const SystemModel& model, Line line) {
    for (int a = 1; a <= model.object_count; ++a)
        for (int b = a + 1; b <= model.object_count; ++b)
            line(model.objects[a].last(), model.objects[b].last());
}

void report_object_distances(const SystemModel& model, OutputSink& out, bool surfaces) {
    for_object_pairs(model, [&](int i, int j) {
        Real d = distance(object_point(model, i), object_point(model, j));
        if (surfaces)
            d = d - model.spheres[i].size - model.spheres[j].size;
        out.add_output_line(
            std::string(surfaces ? "Distance between surfaces " : "Distance between centers ") +
            object_label(model, i) + std::string("-") + object_label(model, j) + std::string("=") +
            F(m_to_cm(d), 8, 5) + " cm");
    });
}

} // namespace

std::string object_label(const SystemModel& model, int i) {
    const Object& o = model.object_of(i);
    return o.composite() ? std::string("[") + range_text(o) + "]" : std::string("[") + num(i) + "]";
}

void report_charge_diagnostics(const ChargeDiagnostics& diagnostics, const SystemModel& model,
                               bool name_uncharged, OutputSink& out) {
    if (name_uncharged)
        for (int i : diagnostics.uncharged)
            out.add_output_line("Sphere " + std::to_string(i) + " (" + model.spheres[i].name +
                                ") has no positive radius or position: it is taken as uncharged");
    if (diagnostics.plate_pairs > 0)
        out.add_output_line(
            "Balls were considered as aligned flat plates " + std::to_string(diagnostics.plate_pairs) +
            " times  (Last cte=" + real_to_fixed_text(diagnostics.last_plate_constant, 13, 9) + ")");
    if (diagnostics.singular_pivot > 0)
        out.add_output_line("Something wrong (line " + std::to_string(diagnostics.singular_pivot) +
                            "). The n matrix can't be inverted.");
}

void report_charges(const SystemModel& model, const Evaluation& ev, OutputSink& out) {
    for (int i = 1; i <= model.sphere_count; ++i) {
        const Object& o = model.object_of(i);
        out.add_output_line(std::string("Q[") + num(i) + std::string("]=") +
                            F(unsigned_zero(ev.Q[i]) * 1e9L, 12, 8) + " nC");
        if (o.composite() && o.last() == i) {
            Real sum = ev.Q[i];
            for (int k = i - 1; k >= o.first; --k)
                sum += ev.Q[k];
            out.add_output_line(std::string("Q[") + range_text(o) + std::string("]=") +
                                F(unsigned_zero(sum) * 1e9L, 12, 8) + " nC");
        }
    }
}

void report_forces(const SystemModel& model, const Evaluation& ev, OutputSink& out) {
    for (int i = 1; i <= model.sphere_count; ++i) {
        const Sphere& s = model.spheres[i];
        out.add_output_line(std::string("F[") + num(i) + std::string("]=") + F(ev.fx[i] * 1e6L, 6, 4) +
                            std::string("x ") + F(ev.fy[i] * 1e6L, 6, 4) + std::string("y ") +
                            F(ev.fz[i] * 1e6L, 6, 4) + std::string("z (") + F(ev.f_abs[i] * 1e6L, 6, 4) +
                            std::string(") uN, m=") + F(kg_to_g(s.m), 6, 4) + " g");
    }
}

void report_angles(const SystemModel& model, OutputSink& out) {
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (o.L == 0)
            continue;
        const std::string index = o.composite() ? range_text(o) : num(o.first);
        out.add_output_line(std::string("Ax[") + index + std::string("]=") + F(rad_to_deg(o.Ax), 10, 5) +
                            std::string(" Az[") + index + std::string("]=") + F(rad_to_deg(o.Az), 10, 5) +
                            " deg");
    }
}

void report_rotational_forces(const SystemModel& model, const Evaluation& ev, OutputSink& out) {
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (o.L == 0)
            continue;
        const int i = o.last();
        if (!o.composite()) {
            out.add_output_line(std::string("[") + num(i) + std::string("]: Frx=") +
                                F(ev.frx[i] * 1e6L, 7, 4) + std::string(", Frz=") +
                                F(ev.frz[i] * 1e6L, 7, 4) + " uN");
        } else {
            // The spheres hold 1/n of the object's totals.
            const Real n = o.count;
            out.add_output_line(std::string("[") + range_text(o) + std::string("]: Frx=") +
                                F(n * ev.frx[i] * 1e6L, 7, 4) + std::string(", Frz=") +
                                F(n * ev.frz[i] * 1e6L, 7, 4) + " uN");
        }
    }
}

void report_center_distances(const SystemModel& model, OutputSink& out) {
    report_object_distances(model, out, false);
}

void report_surface_distances(const SystemModel& model, OutputSink& out) {
    report_object_distances(model, out, true);
}

void report_fields(const SystemModel& model, const Evaluation& ev, OutputSink& out) {
    for (int i = 1; i <= model.sphere_count; ++i)
        out.add_output_line(std::string("Electric field [") + num(i) + std::string("]=") +
                            F(surface_field(model, ev, i) / 1e5L, 10, 7) + " kV/cm");
}

void report_total_capacitance(const Evaluation& ev, OutputSink& out) {
    out.add_output_line(std::string("Total capacitance = ") + F(ev.total_capacitance * 1e12L, 12, 9) + " pF");
}

void report_floating_potentials(const SystemModel& model, const Evaluation& ev, OutputSink& out) {
    for (int c = 1; c <= model.conductor_count; ++c)
        if (model.conductors[c].isolated)
            out.add_output_line("The object: " + model.conductors[c].name + " floats at " +
                                real_to_fixed_text(ev.potential_of(c), 15, 6) + " V");
}

} // namespace ambrel
