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

struct FlatKind {
    char letter;
    int kind;
    int n;
    Real default_factor;
};

const FlatKind FLATS[] = {
    {'S', KIND_SQUARE_5, 5, 0.1376686573L},  {'Q', KIND_SQUARE_10, 10, 0.0664204307L},
    {'F', KIND_PLAQUE_5, 5, 0.1376686573L},  {'G', KIND_PLAQUE_10, 10, 0.0664204307L},
    {'X', KIND_SHAPE_5, 5, 0.1376686573L},   {'Y', KIND_SHAPE_10, 10, 0.0664204307L},
    {'Z', KIND_SHAPE_15, 15, 0.0434775696L},
};

const ShapePattern* pattern_of(const SystemModel& model, char letter) {
    switch (letter) {
    case 'X':
        return &model.shape_pattern_5;
    case 'Y':
        return &model.shape_pattern_10;
    case 'Z':
        return &model.shape_pattern_15;
    default:
        return nullptr;
    }
}

// Cell (i, j), column i and row j from 0, of an n x n grid: is it occupied?
bool cell_occupied(char letter, int n, int i, int j, const ShapePattern* pattern) {
    switch (letter) {
    case 'S':
    case 'Q':
        return true;
    case 'F':
    case 'G': {
        // The inner cells and the four corners, linked at the corners.
        const bool inner = i >= 1 && i <= n - 2 && j >= 1 && j <= n - 2;
        const bool corner = (i == 0 || i == n - 1) && (j == 0 || j == n - 1);
        return inner || corner;
    }
    default:
        // Pattern row 1 lies at the largest y.
        return pattern->occupied(n - j, i + 1);
    }
}

int occupied_count(char letter, int n, const ShapePattern* pattern) {
    int count = 0;
    for (int c = 0; c < n * n; ++c)
        count += cell_occupied(letter, n, c % n, c / n, pattern) ? 1 : 0;
    return count;
}

} // namespace

Status build_flat(BuildContext& ctx, LineReader& line, char letter) {
    const FlatKind* flat = nullptr;
    for (const FlatKind& f : FLATS)
        if (f.letter == letter)
            flat = &f;
    const int grid = flat->n;
    const ShapePattern* pattern = pattern_of(ctx.model, letter);
    // The number of spheres is known before any field is read: the masses are divided by it.
    const int n = occupied_count(letter, grid, pattern);
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
        if (!cell_occupied(letter, grid, i, j, pattern))
            continue;
        DraftSphere& b = ctx.sphere(e + k);
        b.x0 = b.ref_x0 - R + R / grid + i * R / half_grid;
        b.y0 = b.ref_y0 - R + R / grid + j * R / half_grid;
        ++k;
    }
    detail::finish_object(ctx, e, n, flat->kind);
    return Status::success();
}

} // namespace ambrel
