// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/system_model.h"

#include "model/units.h"

#include "model/utf8.h"

namespace ambrel {

StringDeflection string_deflection(Real Ax, Real Az) {
    // The string's end as positions place it, from a top at the origin and a unit length.
    const StringDirection string(Ax, Az);
    const Point3 end = string.at(0, 0, 0, 1);
    const Real horizontal = std::hypot(end.x, end.y);
    StringDeflection result;
    result.deflection = std::atan2(horizontal, -end.z);
    if (horizontal > 0)
        result.direction = std::atan2(end.y, end.x);
    if (result.direction <= -PI)
        result.direction = PI;
    return result;
}

std::string cut_name(std::string_view name) {
    return std::string(cut_characters(name, NAME_LENGTH));
}

SystemModel::SystemModel()
    : shape_pattern_5(default_shape_pattern_5()), shape_pattern_10(default_shape_pattern_10()),
      shape_pattern_15(default_shape_pattern_15()) {}

void SystemModel::reserve_spheres(int n) {
    const auto size = static_cast<std::size_t>(n) + 1;
    if (spheres.size() < size)
        spheres.resize(size);
    if (objects.size() < size)
        objects.resize(size);
}

void SystemModel::clear() {
    for (Conductor& c : conductors) {
        c.V = 0;
        c.isolated = false;
        c.charge = 0;
    }
    sphere_count = 0;
    conductor_count = 0;
    object_count = 0;
}

int SystemModel::find_conductor(std::string_view name) const {
    const std::string key = cut_name(name);
    for (int i = 1; i <= conductor_count; ++i) {
        if (conductors[i].name == key)
            return i;
    }
    return 0;
}

bool SystemModel::has_isolated_conductors() const {
    for (int c = 1; c <= conductor_count; ++c)
        if (conductors[c].isolated)
            return true;
    return false;
}

int SystemModel::find_or_add_conductor(std::string_view name) {
    if (int found = find_conductor(name))
        return found;
    if (conductor_count >= MAX_CONDUCTORS)
        return 0; // cannot happen from a description: each element line adds at most one
    conductor_count += 1;
    if (conductors.size() <= static_cast<std::size_t>(conductor_count))
        conductors.resize(static_cast<std::size_t>(conductor_count) + 1);
    conductors[conductor_count].name = cut_name(name);
    return conductor_count;
}

} // namespace ambrel
