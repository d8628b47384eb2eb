#include "model/simulator.h"

namespace ambrel {

std::string cut_name(std::string_view name) {
    return std::string(name.substr(0, NAME_LENGTH));
}

Simulator::Simulator(OutputSink& sink)
    : spheres(MAX_SPHERES + 1), conductors(MAX_CONDUCTORS + 1), shape_pattern_5(default_shape_pattern_5()),
      shape_pattern_10(default_shape_pattern_10()), shape_pattern_15(default_shape_pattern_15()),
      sink_(&sink) {}

Real Simulator::next_uniform() {
    // 64 random bits scaled into [0, 1); the top 63 bits fit the extended mantissa exactly.
    return static_cast<Real>(rng() >> 1) * 0x1p-63L;
}

int Simulator::find_conductor(std::string_view name) const {
    const std::string key = cut_name(name);
    for (int i = 1; i <= conductor_count; ++i) {
        if (conductors[i].name == key)
            return i;
    }
    return 0;
}

int Simulator::find_or_add_conductor(std::string_view name) {
    if (int found = find_conductor(name))
        return found;
    if (conductor_count >= MAX_CONDUCTORS)
        return 0; // cannot happen from a description: each element line adds at most one
    conductor_count += 1;
    conductors[conductor_count].name = cut_name(name);
    return conductor_count;
}

} // namespace ambrel
