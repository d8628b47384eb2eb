// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "description/listing.h"

#include "model/units.h"
#include "text/number_format.h"

namespace ambrel {

namespace {

std::string cm(Real v) {
    return format_g(m_to_cm(v));
}
std::string degrees(Real v) {
    return format_g(rad_to_deg(v));
}
std::string grams(Real v) {
    return format_g(kg_to_g(v));
}

// The composite's name and its fields to the angles, each followed by a blank.
std::string composite_start(const SystemModel& model, const Object& o) {
    const Sphere& s = model.spheres[o.last()];
    // The object's name is its last sphere's name without the appended ordinal.
    const std::size_t digits = std::to_string(o.count).size();
    const std::string name = s.name.substr(0, s.name.size() > digits ? s.name.size() - digits : 0);
    return name + " " + o.conductor_name + " " + cm(o.ref_x0) + " " + cm(o.ref_y0) + " " + cm(o.ref_z0) +
           " " + cm(o.L) + " " + degrees(o.Ax) + " " + degrees(o.Az) + " ";
}

} // namespace

std::string list_ball(const SystemModel& model, const Object& o) {
    const Sphere& s = model.spheres[o.last()];
    return s.name + " " + o.conductor_name + " " + cm(s.x0) + " " + cm(s.y0) + " " + cm(s.z0) + " " +
           cm(o.L) + " " + degrees(o.Ax) + " " + degrees(o.Az) + " " + cm(s.r) + " " + grams(s.m);
}

std::string list_composite(const SystemModel& model, const Object& o) {
    const Sphere& s = model.spheres[o.last()];
    return composite_start(model, o) + cm(s.size) + " " + grams(o.count * s.m) + " " + cm(s.r);
}

std::string list_ball_with_line(const SystemModel& model, const Object& o) {
    const Sphere& s = model.spheres[o.last()];
    const Sphere& line_ball = model.spheres[o.last() - 1];
    return composite_start(model, o) + cm(s.size) + " " + grams(s.m) + " " + cm(line_ball.r) + " " +
           grams(19 * line_ball.m);
}

void list_updated_system(const SystemModel& model, OutputSink& out, ElementKinds kinds) {
    out.add_output_line("Updated system:");
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        // An object of a kind the table does not write is written as a composite.
        const ElementKind* kind = element_kind_of(o.kind, kinds);
        out.add_output_line(kind != nullptr ? kind->list(model, o) : list_composite(model, o));
    }
    // Isolated conductors keep their charge when the listing is read back.
    for (int c = 1; c <= model.conductor_count; ++c) {
        const Conductor& conductor = model.conductors[c];
        if (conductor.isolated)
            out.add_output_line(".Q " + conductor.name + " " + format_g(C_to_nC(conductor.charge)));
    }
}

} // namespace ambrel
