// Letter B (one ball), and the steps shared by all composite builders.
#include "model/units.h"
#include "description/builders.h"
#include "text/number_format.h"

namespace ambrel {

namespace {

Real cm(Real v) {
    return v / 100;
}
Real degrees(Real v) {
    return v * PI / 180;
}
Real grams(Real v) {
    return v / 1000;
}

} // namespace

BuildStatus build_ball(Simulator& sim, LineReader& line) {
    Sphere& s = sim.spheres[sim.sphere_count];
    detail::read_placement(line, s);
    s.r = cm(line.next_real()); // a ball has no default radius
    s.m = grams(line.next_real());
    s.conductor = sim.find_or_add_conductor(s.conductor_name);
    s.kind = KIND_BALL;
    s.object_size = s.r;
    sim.object_count += 1;
    s.index_in_object = 1;
    s.object_spheres = 1;
    s.object_number = sim.object_count;
    s.square_side = 0;
    s.ref_x0 = s.x0;
    s.ref_y0 = s.y0;
    s.ref_z0 = s.z0;
    detail::echo_fields(sim, s, {s.object_size, s.m});
    return BuildStatus::Ok;
}

namespace detail {

void read_placement(LineReader& line, Sphere& s) {
    s.name = cut_name(line.next_token());
    s.conductor_name = cut_name(line.next_token());
    s.x0 = cm(line.next_real());
    s.y0 = cm(line.next_real());
    s.z0 = cm(line.next_real());
    s.L = cm(line.next_real());
    s.Ax = degrees(line.next_real());
    s.Az = degrees(line.next_real());
}

void echo_fields(Simulator& sim, const Sphere& s, std::initializer_list<Real> more) {
    std::string text = s.name + " " + s.conductor_name;
    for (Real v : {s.x0, s.y0, s.z0, s.L, s.Ax, s.Az}) {
        text += ' ';
        text += format_g(v);
    }
    for (Real v : more) {
        text += ' ';
        text += format_g(v);
    }
    sim.add_output_line(text);
}

void read_composite_fields(Simulator& sim, LineReader& line, int e, int kind, int n_spheres) {
    Sphere& s = sim.spheres[e];
    read_placement(line, s);
    s.object_size = cm(line.next_real());
    s.m = n_spheres > 0 ? grams(line.next_real()) / n_spheres : 0;
    s.r = cm(line.next_real());
    s.kind = static_cast<std::uint8_t>(kind);
}

void echo_composite(Simulator& sim, const Sphere& s) {
    echo_fields(sim, s, {s.object_size, s.m, s.r});
}

void replicate_and_name(Simulator& sim, int e, int n_spheres) {
    const std::string base = sim.spheres[e].name;
    for (int k = 2; k <= n_spheres; ++k)
        sim.spheres[e + k - 1] = sim.spheres[e];
    for (int k = 1; k <= n_spheres; ++k)
        sim.spheres[e + k - 1].name = cut_name(base + std::to_string(k));
}

void finish_object(Simulator& sim, int e, int n_spheres) {
    sim.object_count += 1;
    for (int k = 1; k <= n_spheres; ++k) {
        Sphere& s = sim.spheres[e + k - 1];
        s.index_in_object = k;
        s.object_spheres = n_spheres;
        s.object_number = sim.object_count;
        s.offset_x = s.x0 - s.ref_x0;
        s.offset_y = s.y0 - s.ref_y0;
        s.offset_z = s.z0 - s.ref_z0;
    }
    sim.sphere_count = e + n_spheres - 1;
}

} // namespace detail

} // namespace ambrel
