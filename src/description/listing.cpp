#include "model/units.h"
#include "description/listing.h"

#include "text/number_format.h"

namespace ambrel {

namespace {

std::string cm(Real v) {
    return format_g(v * 100);
}
std::string degrees(Real v) {
    return format_g(v * 180 / PI);
}
std::string grams(Real v) {
    return format_g(v * 1000);
}

} // namespace

void list_updated_system(Simulator& sim) {
    sim.add_output_line("Updated system:");
    for (int i = 1; i <= sim.sphere_count; ++i) {
        const Sphere& s = sim.spheres[i];
        if (s.kind == KIND_BALL) {
            sim.add_output_line(s.name + " " + s.conductor_name + " " + cm(s.x0) + " " + cm(s.y0) + " " +
                                cm(s.z0) + " " + cm(s.L) + " " + degrees(s.Ax) + " " + degrees(s.Az) + " " +
                                cm(s.r) + " " + grams(s.m));
            continue;
        }
        if (!s.is_object_last())
            continue;
        // The object's name is its last sphere's name without the appended ordinal.
        const std::size_t digits = std::to_string(s.object_spheres).size();
        const std::string name = s.name.substr(0, s.name.size() > digits ? s.name.size() - digits : 0);
        std::string text = name + " " + s.conductor_name + " " + cm(s.ref_x0) + " " + cm(s.ref_y0) + " " +
                           cm(s.ref_z0) + " " + cm(s.L) + " " + degrees(s.Ax) + " " + degrees(s.Az) + " ";
        if (s.kind == KIND_BALL_WITH_LINE) {
            const Sphere& line_ball = sim.spheres[i - 1];
            text +=
                cm(s.object_size) + " " + grams(s.m) + " " + cm(line_ball.r) + " " + grams(19 * line_ball.m);
        } else {
            text += cm(s.object_size) + " " + grams(s.object_spheres * s.m) + " " + cm(s.r);
        }
        sim.add_output_line(text);
    }
}

} // namespace ambrel
