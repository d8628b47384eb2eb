// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Builders of the solid composite objects: spheres at the vertices of a polyhedron of
// circumradius R, along a vertical line, on a horizontal ring, or a ball hanging from a line of
// small balls. Offsets are laid out in the object's own frame, hanging straight down.
#include "description/builders.h"
#include "model/units.h"
#include "text/number_format.h"

#include <cmath>

namespace ambrel {

namespace {

struct Vec3 {
    Real x, y, z;
};

const Real TWO_PI_5 = 2 * PI / 5; // 72 degrees
const Real PI_5 = PI / 5;         // 36 degrees

// The geometry of each kind build_solid makes.
struct SolidKind {
    ObjectKind kind;
    int n;
    // The default radius / R; unused for R (two radii). For the polyhedra it gives the
    // composite the capacitance of a ball of radius R, 4 pi e0 R: its n spheres, alike by symmetry,
    // each at the potential of a charge n q on that ball, so R / r + sum_j R / d_j = n (d_j the
    // distances to the other vertices). L and T: plain fractions of R.
    Real default_factor;
};

const SolidKind SOLIDS[] = {
    {ObjectKind::Tetrahedron, 4, 0.46234592535L},
    {ObjectKind::Octahedron, 6, 0.3743113315L},
    {ObjectKind::Cube, 8, 0.3262848751L},
    {ObjectKind::Icosahedron, 12, 0.2627574554L},
    {ObjectKind::Dodecahedron, 20, 0.2074629423L},
    {ObjectKind::Triacontahedron, 32, 0},
    {ObjectKind::Line, 20, 0.05L},
    {ObjectKind::Toroid, 20, 0.1L},
};

// Triacontahedron: different radii for the 20 dodecahedron and 12 icosahedron vertices give
// identical charges when insulated; one identical radius gives the capacitance of a ball of R.
const Real TRIA_DODECA_FACTOR = 0.1598652556L;
const Real TRIA_ICOSA_FACTOR = 0.1613508447L;
const Real TRIA_UNIFORM_FACTOR = 0.1604139269L;

Vec3 tetrahedron_offset(int k, Real R) {
    switch (k) {
    case 1:
        return {std::sqrt(8.0L / 9) * R, 0, -R / 3};
    case 2:
        return {-std::sqrt(2.0L / 9) * R, std::sqrt(2.0L / 3) * R, -R / 3};
    case 3:
        return {-std::sqrt(2.0L / 9) * R, -std::sqrt(2.0L / 3) * R, -R / 3};
    default:
        return {0, 0, R};
    }
}

Vec3 octahedron_offset(int k, Real R) {
    static const int dir[6][3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    return {dir[k - 1][0] * R, dir[k - 1][1] * R, dir[k - 1][2] * R};
}

Vec3 cube_offset(int k, Real R) {
    static const int sign[8][3] = {{1, 1, 1},  {-1, 1, 1},  {-1, -1, 1},  {1, -1, 1},
                                   {1, 1, -1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}};
    const Real d = R / std::sqrt(3.0L);
    return {sign[k - 1][0] * d, sign[k - 1][1] * d, sign[k - 1][2] * d};
}

Vec3 icosahedron_offset(int k, Real R) {
    const Real rho = std::sqrt(5.0L) * 0.4L * R; // 2R/sqrt(5)
    const Real h = rho / 2;
    if (k == 1)
        return {0, 0, R};
    if (k <= 6) {
        const Real a = (k - 1) * TWO_PI_5;
        return {-rho * std::cos(a), rho * std::sin(a), h};
    }
    if (k <= 11) {
        const Real a = (k - 6) * TWO_PI_5 + PI_5;
        return {-rho * std::cos(a), rho * std::sin(a), -h};
    }
    return {0, 0, -R};
}

Vec3 dodecahedron_offset(int k, Real R) {
    const Real phi = (std::sqrt(5.0L) + 1) / 2;
    const Real dn = std::sqrt((3 * std::sqrt(5.0L) + 15) / 2); // circumradius of the unscaled solid
    const Real a = 2 * R / dn;
    const Real b = 2 * phi * R / dn;
    const Real hA = (phi + 1) * R / dn;
    const Real hB = (phi - 1) * R / dn;
    const int ring = (k - 1) / 5; // 0..3
    const int j = (k - 1) % 5 + 1;
    const Real azimuth = j * TWO_PI_5 + (ring < 2 ? PI_5 : TWO_PI_5);
    const Real radius = (ring == 0 || ring == 3) ? a : b;
    const Real height = ring == 0 ? hA : ring == 1 ? hB : ring == 2 ? -hB : -hA;
    return {-radius * std::cos(azimuth), radius * std::sin(azimuth), height};
}

Vec3 solid_offset(ObjectKind kind, int k, Real R) {
    switch (kind) {
    case ObjectKind::Tetrahedron:
        return tetrahedron_offset(k, R);
    case ObjectKind::Octahedron:
        return octahedron_offset(k, R);
    case ObjectKind::Cube:
        return cube_offset(k, R);
    case ObjectKind::Icosahedron:
        return icosahedron_offset(k, R);
    case ObjectKind::Dodecahedron:
        return dodecahedron_offset(k, R);
    case ObjectKind::Triacontahedron:
        return k <= 20 ? dodecahedron_offset(k, R) : icosahedron_offset(k - 20, R);
    case ObjectKind::Line:
        return {0, 0, R - (k - 1) * R / 9.5L};
    case ObjectKind::Toroid: {
        const Real a = (k - 1) * PI / 10;
        return {R * std::cos(a), R * std::sin(a), 0};
    }
    default:
        return {0, 0, 0};
    }
}

void place(DraftSphere& s, Vec3 offset) {
    s.x0 += offset.x;
    s.y0 += offset.y;
    s.z0 += offset.z;
}

} // namespace

Status build_solid(BuildContext& ctx, LineReader& line, const ElementKind& kind) {
    const SolidKind* solid = detail::row_of_kind(SOLIDS, kind.kind);
    if (solid == nullptr) // a row naming this builder for a kind without a geometry here
        return Status::failure("Unknown element: [" + line.line() + "]");
    const int e = ctx.model.sphere_count;
    const int n = solid->n;
    detail::read_composite_fields(ctx, line, e, n);
    DraftSphere& s = ctx.sphere(e);
    s.conductor = ctx.model.find_or_add_conductor(s.conductor_name);
    detail::echo_composite(ctx, s); // the radius as typed, before any default
    if (e + n - 1 > MAX_SPHERES)
        return Status::failure(TOO_MANY_ELEMENTS);

    const Real R = s.object_size;
    const Real typed_r = s.r;
    const bool triacontahedron = kind.kind == ObjectKind::Triacontahedron;
    if (!triacontahedron && s.r == 0)
        s.r = solid->default_factor * R;
    s.square_side = 0;
    s.ref_x0 = s.x0;
    s.ref_y0 = s.y0;
    s.ref_z0 = s.z0;
    detail::replicate_and_name(ctx, e, n);
    for (int k = 1; k <= n; ++k) {
        DraftSphere& b = ctx.sphere(e + k - 1);
        place(b, solid_offset(kind.kind, k, R));
        if (triacontahedron) {
            if (typed_r == 0)
                b.r = (k <= 20 ? TRIA_DODECA_FACTOR : TRIA_ICOSA_FACTOR) * R;
            else if (typed_r < 0)
                b.r = TRIA_UNIFORM_FACTOR * R;
        }
    }
    detail::finish_object(ctx, e, n, kind.kind);
    return Status::success();
}

// H: a ball of radius Rball hanging from a string along which 19 small balls hang evenly.
Status build_ball_with_line(BuildContext& ctx, LineReader& line, const ElementKind& kind) {
    const int e = ctx.model.sphere_count;
    const int n = 20;
    detail::read_composite_fields(ctx, line, e, 1); // Mass is not divided
    DraftSphere& s = ctx.sphere(e);
    const Real mass_line = line.next_real() / 1000;
    s.conductor = ctx.model.find_or_add_conductor(s.conductor_name);
    detail::echo_fields(ctx, s, {s.object_size, s.m, s.r, mass_line});
    if (e + n - 1 > MAX_SPHERES)
        return Status::failure(TOO_MANY_ELEMENTS);
    s.square_side = 0;
    s.ref_x0 = s.x0;
    s.ref_y0 = s.y0;
    s.ref_z0 = s.z0;
    const Real r_ball = s.object_size;
    const Real mass_ball = s.m;
    const Real r_line = s.r;
    detail::replicate_and_name(ctx, e, n);
    for (int k = 1; k <= 19; ++k) {
        DraftSphere& b = ctx.sphere(e + k - 1);
        place(b, {0, 0, b.L - k * (b.L - r_ball) / 20});
        b.m = mass_line / 19;
        b.object_size = r_line;
    }
    DraftSphere& main_ball = ctx.sphere(e + n - 1);
    main_ball.r = r_ball;
    main_ball.m = mass_ball;
    main_ball.object_size = r_ball;
    detail::finish_object(ctx, e, n, kind.kind);
    return Status::success();
}

} // namespace ambrel
