// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the spheres of a hanging object are, computed here in vector form and without the
// program's placement, so that tests can check the placement and build on positions of their own.
#pragma once

#include "model/system_model.h"

#include <cmath>

namespace ambrel::testing_support {

// The offset of a sphere from its object's suspension point, turned with the object: first
// about the vertical by Ax, then by Az about the horizontal axis k = (sin Ax, -cos Ax, 0)
// (Rodrigues' formula), the turn that takes the downward vertical into the string's direction.
inline Point3 turned_offset(Real ox, Real oy, Real oz, Real Ax, Real Az) {
    const Real sa = std::sin(Ax), ca = std::cos(Ax);
    const Point3 p{ox * ca - oy * sa, ox * sa + oy * ca, oz};
    const Point3 k{sa, -ca, 0};
    const Point3 k_cross_p{k.y * p.z - k.z * p.y, k.z * p.x - k.x * p.z, k.x * p.y - k.y * p.x};
    const Real k_dot_p = k.x * p.x + k.y * p.y + k.z * p.z;
    const Real c = std::cos(Az), s = std::sin(Az);
    return {p.x * c + k_cross_p.x * s + k.x * k_dot_p * (1 - c),
            p.y * c + k_cross_p.y * s + k.y * k_dot_p * (1 - c),
            p.z * c + k_cross_p.z * s + k.z * k_dot_p * (1 - c)};
}

// Places every sphere of the model: its own suspension point (turned with its object when
// `rotate` and the object is a composite) and its centre a string length along the string.
inline void place_spheres(SystemModel& model, bool rotate) {
    for (int i = 1; i <= model.sphere_count; ++i) {
        Sphere& s = model.spheres[i];
        const Object& o = model.objects[s.object];
        Point3 top{s.offset_x, s.offset_y, s.offset_z};
        if (rotate && o.composite())
            top = turned_offset(s.offset_x, s.offset_y, s.offset_z, o.Ax, o.Az);
        s.x0 = o.ref_x0 + top.x;
        s.y0 = o.ref_y0 + top.y;
        s.z0 = o.ref_z0 + top.z;
        s.x = s.x0 + o.L * std::sin(o.Az) * std::cos(o.Ax);
        s.y = s.y0 + o.L * std::sin(o.Az) * std::sin(o.Ax);
        s.z = s.z0 - o.L * std::cos(o.Az);
    }
}

} // namespace ambrel::testing_support
