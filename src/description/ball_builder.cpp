// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Letter B (one ball), and the steps shared by all composite builders.
#include "description/builders.h"

#include "model/units.h"
#include "text/number_format.h"

namespace ambrel {

DraftSphere& BuildContext::sphere(int i) {
    const auto index = static_cast<std::size_t>(i - first);
    if (drafts.size() <= index)
        drafts.resize(index + 1);
    return drafts[index];
}

Status build_ball(BuildContext& ctx, LineReader& line, const ElementKind& kind) {
    const int e = ctx.model.sphere_count;
    DraftSphere& s = ctx.sphere(e);
    detail::read_placement(line, s);
    s.r = cm_to_m(line.next_real()); // a ball has no default radius
    s.m = g_to_kg(line.next_real());
    s.conductor = ctx.model.find_or_add_conductor(s.conductor_name);
    s.object_size = s.r;
    s.square_side = 0;
    s.ref_x0 = s.x0;
    s.ref_y0 = s.y0;
    s.ref_z0 = s.z0;
    detail::echo_fields(ctx, s, {s.object_size, s.m});
    detail::finish_object(ctx, e, 1, kind.kind);
    return Status::success();
}

namespace detail {

void read_placement(LineReader& line, DraftSphere& s) {
    s.name = cut_name(line.next_token());
    s.conductor_name = cut_name(line.next_token());
    s.x0 = cm_to_m(line.next_real());
    s.y0 = cm_to_m(line.next_real());
    s.z0 = cm_to_m(line.next_real());
    s.L = cm_to_m(line.next_real());
    s.Ax = deg_to_rad(line.next_real());
    s.Az = deg_to_rad(line.next_real());
}

void echo_fields(BuildContext& ctx, const DraftSphere& s, std::initializer_list<Real> more) {
    std::string text = s.name + " " + s.conductor_name;
    for (Real v : {s.x0, s.y0, s.z0, s.L, s.Ax, s.Az}) {
        text += ' ';
        text += format_g(v);
    }
    for (Real v : more) {
        text += ' ';
        text += format_g(v);
    }
    ctx.add_output_line(text);
}

void read_composite_fields(BuildContext& ctx, LineReader& line, int e, int n_spheres) {
    DraftSphere& s = ctx.sphere(e);
    read_placement(line, s);
    s.object_size = cm_to_m(line.next_real());
    // The fields are read in order whatever the object holds: a shape without spheres carries
    // no mass, but its Mass field is still the one before Rball.
    const Real mass = g_to_kg(line.next_real());
    s.m = n_spheres > 0 ? mass / n_spheres : 0;
    s.r = cm_to_m(line.next_real());
}

void echo_composite(BuildContext& ctx, const DraftSphere& s) {
    echo_fields(ctx, s, {s.object_size, s.m, s.r});
}

void replicate_and_name(BuildContext& ctx, int e, int n_spheres) {
    const std::string base = ctx.sphere(e).name;
    for (int k = 2; k <= n_spheres; ++k)
        ctx.sphere(e + k - 1) = ctx.sphere(e);
    for (int k = 1; k <= n_spheres; ++k)
        ctx.sphere(e + k - 1).name = cut_name(base + std::to_string(k));
}

void finish_object(BuildContext& ctx, int e, int n_spheres, ObjectKind kind) {
    SystemModel& model = ctx.model;
    model.reserve_spheres(e + n_spheres - 1);
    model.object_count += 1;
    const DraftSphere& last = ctx.sphere(e + n_spheres - 1);
    Object& o = model.objects[model.object_count];
    o = Object{};
    o.kind = kind;
    o.first = e;
    o.count = n_spheres;
    o.conductor_name = last.conductor_name;
    o.ref_x0 = last.ref_x0;
    o.ref_y0 = last.ref_y0;
    o.ref_z0 = last.ref_z0;
    o.L = last.L;
    o.Ax = last.Ax;
    o.Az = last.Az;
    for (int k = 1; k <= n_spheres; ++k) {
        const DraftSphere& d = ctx.sphere(e + k - 1);
        Sphere& s = model.spheres[e + k - 1];
        s = Sphere{};
        s.name = d.name;
        s.conductor = d.conductor;
        s.object = model.object_count;
        s.index_in_object = k;
        s.offset_x = d.x0 - d.ref_x0;
        s.offset_y = d.y0 - d.ref_y0;
        s.offset_z = d.z0 - d.ref_z0;
        s.r = d.r;
        s.m = d.m;
        s.size = d.object_size;
        s.square_side = d.square_side;
        s.x0 = d.x0;
        s.y0 = d.y0;
        s.z0 = d.z0;
    }
    model.sphere_count = e + n_spheres - 1;
}

} // namespace detail

} // namespace ambrel
