// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Builders of the flat objects: square plates of n x n cells in the horizontal plane of the
// object's suspension point. Each occupied cell holds one sphere standing for a square of side
// 2R/n; with "Use squares for flat objects" its radius gives it the self-capacitance of a
// uniformly charged square, s / (4 ln(1 + sqrt 2)).
#include "description/builders.h"

#include <cmath>

namespace ambrel {

namespace {

// The grid of each kind build_flat makes.
struct FlatKind {
    ObjectKind kind;
    int n;
    Real default_factor;
};

const FlatKind FLATS[] = {
    {ObjectKind::Square5, 5, 0.1376686573L},  {ObjectKind::Square10, 10, 0.0664204307L},
    {ObjectKind::Plaque5, 5, 0.1376686573L},  {ObjectKind::Plaque10, 10, 0.0664204307L},
    {ObjectKind::Shape5, 5, 0.1376686573L},   {ObjectKind::Shape10, 10, 0.0664204307L},
    {ObjectKind::Shape15, 15, 0.0434775696L},
};

const ShapePattern* pattern_of(const SystemModel& model, ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Shape5:
        return &model.shape_pattern_5;
    case ObjectKind::Shape10:
        return &model.shape_pattern_10;
    case ObjectKind::Shape15:
        return &model.shape_pattern_15;
    default:
        return nullptr;
    }
}

// Cell (i, j), column i and row j from 0, of an n x n grid: is it occupied?
bool cell_occupied(ObjectKind kind, int n, int i, int j, const ShapePattern* pattern) {
    switch (kind) {
    case ObjectKind::Plaque5:
    case ObjectKind::Plaque10: {
        // The inner cells and the four corners, linked at the corners.
        const bool inner = i >= 1 && i <= n - 2 && j >= 1 && j <= n - 2;
        const bool corner = (i == 0 || i == n - 1) && (j == 0 || j == n - 1);
        return inner || corner;
    }
    default:
        // Pattern row 1 lies at the largest y; a plate without a pattern is whole.
        return pattern == nullptr || pattern->occupied(n - j, i + 1);
    }
}

int occupied_count(ObjectKind kind, int n, const ShapePattern* pattern) {
    int count = 0;
    for (int c = 0; c < n * n; ++c)
        count += cell_occupied(kind, n, c % n, c / n, pattern) ? 1 : 0;
    return count;
}

} // namespace

Status build_flat(BuildContext& ctx, LineReader& line, const ElementKind& kind) {
    const FlatKind* flat = detail::row_of_kind(FLATS, kind.kind);
    if (flat == nullptr) // a row naming this builder for a kind without a grid here
        return Status::failure("Unknown element: [" + line.line() + "]");
    const int grid = flat->n;
    const ShapePattern* pattern = pattern_of(ctx.model, kind.kind);
    // The number of spheres is known before any field is read: the masses are divided by it.
    const int n = occupied_count(kind.kind, grid, pattern);
    const int e = ctx.model.sphere_count;
    detail::read_composite_fields(ctx, line, e, n);
    DraftSphere& s = ctx.sphere(e);
    if (n == 0) {
        // A pattern without any "x" cell makes no object at all.
        detail::echo_composite(ctx, s);
        ctx.add_output_line("The shape of " + s.name + " is empty: no sphere was built");
        ctx.model.sphere_count = e - 1;
        return Status::success();
    }
    s.conductor = ctx.model.find_or_add_conductor(s.conductor_name);
    detail::echo_composite(ctx, s);
    if (e + n - 1 > MAX_SPHERES)
        return Status::failure(TOO_MANY_ELEMENTS);

    const Real R = s.object_size;
    if (s.r == 0)
        s.r = flat->default_factor * R;
    const Real side = 2 * R / grid;
    if (ctx.options[Option::UseSquares])
        s.r = side / (4 * std::log(1 + std::sqrt(2.0L)));
    s.square_side = side;
    s.ref_x0 = s.x0;
    s.ref_y0 = s.y0;
    s.ref_z0 = s.z0;
    detail::replicate_and_name(ctx, e, n);

    const Real half_grid = grid / 2.0L; // n/2: 2.5, 5 or 7.5
    int k = 0;
    for (int c = 0; c < grid * grid; ++c) {
        const int i = c % grid;
        const int j = c / grid;
        if (!cell_occupied(kind.kind, grid, i, j, pattern))
            continue;
        DraftSphere& b = ctx.sphere(e + k);
        b.x0 = b.ref_x0 - R + R / grid + i * R / half_grid;
        b.y0 = b.ref_y0 - R + R / grid + j * R / half_grid;
        ++k;
    }
    detail::finish_object(ctx, e, n, kind.kind);
    return Status::success();
}

} // namespace ambrel
