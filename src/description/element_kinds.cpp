// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "description/element_kinds.h"

#include "description/builders.h"
#include "description/listing.h"

#include <iterator>

namespace ambrel {

namespace {

// The fields every element line starts with after the object's name.
constexpr std::string_view PLACEMENT_FIELDS[] = {"Conductor", "x0", "y0", "z0", "L", "Angx", "Angz"};

// After the size: a ball's mass; a composite's mass and the radius of its spheres (optional);
// the ball with a line's mass and its line's balls.
constexpr std::string_view BALL_FIELDS[] = {"Mass"};
constexpr std::string_view COMPOSITE_FIELDS[] = {"Mass", "Rball"};
constexpr std::string_view BALL_WITH_LINE_FIELDS[] = {"Mass", "Rline_ball", "Mass_line"};

constexpr ElementKind ELEMENT_KINDS[] = {
    {'B', ObjectKind::Ball, "Radius", BALL_FIELDS, 0, build_ball, list_ball},
    {'O', ObjectKind::Octahedron, "Roctahedron", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'E', ObjectKind::Tetrahedron, "Rtetrahedron", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'C', ObjectKind::Cube, "Rcube", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'I', ObjectKind::Icosahedron, "Ricosahedron", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'D', ObjectKind::Dodecahedron, "Rdodecahedron", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'R', ObjectKind::Triacontahedron, "Rtriacontahedron", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'L', ObjectKind::Line, "Rline", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'T', ObjectKind::Toroid, "Rtoroid", COMPOSITE_FIELDS, 1, build_solid, list_composite},
    {'S', ObjectKind::Square5, "Rsquare5x5", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'Q', ObjectKind::Square10, "Rsquare10x10", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'F', ObjectKind::Plaque5, "Rplaque5x5", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'G', ObjectKind::Plaque10, "Rplaque10x10", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'X', ObjectKind::Shape5, "Rshape5x5", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'Y', ObjectKind::Shape10, "Rshape10x10", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'Z', ObjectKind::Shape15, "Rshape15x15", COMPOSITE_FIELDS, 1, build_flat, list_composite},
    {'H', ObjectKind::BallWithLine, "Rball", BALL_WITH_LINE_FIELDS, 0, build_ball_with_line,
     list_ball_with_line},
};

// Every row: an upper-case letter of its own, a kind of its own that the model knows, and no more
// optional fields than it has.
constexpr bool rows_are_sound() {
    for (std::size_t i = 0; i < std::size(ELEMENT_KINDS); ++i) {
        const ElementKind& row = ELEMENT_KINDS[i];
        if (row.letter < 'A' || row.letter > 'Z' || !is_known_kind(row.kind) ||
            row.optional_fields > row.later_fields.size())
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (ELEMENT_KINDS[j].letter == row.letter || ELEMENT_KINDS[j].kind == row.kind)
                return false;
    }
    return true;
}
static_assert(rows_are_sound(), "each element kind: its own upper-case letter and its own known kind");

char upper_ascii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::vector<std::string_view> ElementKind::field_names() const {
    std::vector<std::string_view> names(std::begin(PLACEMENT_FIELDS), std::end(PLACEMENT_FIELDS));
    names.push_back(size_field);
    names.insert(names.end(), later_fields.begin(), later_fields.end());
    return names;
}

std::size_t ElementKind::field_count() const {
    return std::size(PLACEMENT_FIELDS) + 1 + later_fields.size();
}

ElementKinds element_kinds() {
    return ELEMENT_KINDS;
}

const ElementKind* find_element_kind(char letter, ElementKinds kinds) {
    const char upper = upper_ascii(letter);
    for (const ElementKind& row : kinds)
        if (row.letter == upper)
            return &row;
    return nullptr;
}

const ElementKind* element_kind_of(ObjectKind kind, ElementKinds kinds) {
    for (const ElementKind& row : kinds)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

std::string element_line_summary(const ElementKind& kind) {
    std::string text = std::string(1, kind.letter) + "name";
    const std::vector<std::string_view> names = kind.field_names();
    const std::size_t required = names.size() - kind.optional_fields;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += ' ';
        if (i >= required)
            text += '[';
        text += names[i];
        if (i >= required)
            text += ']';
    }
    return text;
}

} // namespace ambrel
