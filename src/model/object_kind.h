// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The kinds of objects the model holds, and what the physics knows of each: whether its spheres
// stand for the squares of one flat plate. How a description writes a kind (its letter, the
// fields of its line, its builder, its listing) is the description module's table of element
// kinds (description/element_kinds.h), which names these kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace ambrel {

// Object kind codes. The values are those the model has always stored; a new kind takes the next
// free value.
enum class ObjectKind : std::uint8_t {
    Ball = 0,
    Tetrahedron = 1,
    Octahedron = 2,
    Cube = 3,
    Icosahedron = 4,
    Dodecahedron = 5,
    Triacontahedron = 6,
    Line = 7,
    Toroid = 8,
    BallWithLine = 9,
    Square5 = 10,
    Square10 = 11,
    Plaque5 = 12,
    Plaque10 = 13,
    Shape5 = 14,
    Shape10 = 15,
    Shape15 = 16,
};

// One row a kind, in the order of the codes.
struct ObjectKindTraits {
    ObjectKind kind;
    // Its spheres are cells of a square grid in one horizontal plane, each standing for a square.
    bool flat;
};

inline constexpr ObjectKindTraits OBJECT_KIND_TRAITS[] = {
    {ObjectKind::Ball, false},
    {ObjectKind::Tetrahedron, false},
    {ObjectKind::Octahedron, false},
    {ObjectKind::Cube, false},
    {ObjectKind::Icosahedron, false},
    {ObjectKind::Dodecahedron, false},
    {ObjectKind::Triacontahedron, false},
    {ObjectKind::Line, false},
    {ObjectKind::Toroid, false},
    {ObjectKind::BallWithLine, false},
    {ObjectKind::Square5, true},
    {ObjectKind::Square10, true},
    {ObjectKind::Plaque5, true},
    {ObjectKind::Plaque10, true},
    {ObjectKind::Shape5, true},
    {ObjectKind::Shape10, true},
    {ObjectKind::Shape15, true},
};

// Whether the model knows the kind: it has a row above.
constexpr bool is_known_kind(ObjectKind kind) {
    return static_cast<std::size_t>(kind) < std::size(OBJECT_KIND_TRAITS);
}

constexpr const ObjectKindTraits& traits_of(ObjectKind kind) {
    return OBJECT_KIND_TRAITS[static_cast<std::size_t>(kind)];
}

// A kind the model does not know is not flat.
constexpr bool is_flat_kind(ObjectKind kind) {
    return is_known_kind(kind) && traits_of(kind).flat;
}

namespace detail {
constexpr bool traits_in_code_order() {
    for (std::size_t i = 0; i < std::size(OBJECT_KIND_TRAITS); ++i)
        if (static_cast<std::size_t>(OBJECT_KIND_TRAITS[i].kind) != i)
            return false;
    return true;
}
} // namespace detail
static_assert(detail::traits_in_code_order(), "OBJECT_KIND_TRAITS has the row of code i at index i");

} // namespace ambrel
