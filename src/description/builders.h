// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The object builders, which the rows of the element kinds name. Each is called with the element
// line in the reader, `sphere_count` already raised by one for the line, lays out the object's
// spheres in drafts (the fields as the line gives them) and finally places the object and its
// spheres in the model from `sphere_count` on.
#pragma once

#include "description/element_kinds.h"
#include "description/reader.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace ambrel {

// The message of a builder that would go beyond the table of spheres.
inline constexpr const char* TOO_MANY_ELEMENTS = "Too many elements";

// The most spheres one object has (a 15 x 15 shape). The drafts are reserved for that many, so
// that a reference to one draft stays valid while the builder makes the others.
inline constexpr int MAX_OBJECT_SPHERES = 225;

// One sphere of the object being built, with the fields of its element line.
struct DraftSphere {
    std::string name;            // <= 12 characters
    std::string conductor_name;  // <= 12 characters
    Real x0 = 0, y0 = 0, z0 = 0; // suspension point of this sphere
    Real L = 0, Ax = 0, Az = 0;  // string length and angles
    Real r = 0;                  // radius
    Real m = 0;                  // mass this sphere carries
    Real object_size = 0;        // size parameter R
    Real square_side = 0;
    Real ref_x0 = 0, ref_y0 = 0, ref_z0 = 0; // the object's suspension point
    int conductor = 0;
};

// What a builder works on: the model it adds to, the options, the output, and the drafts of the
// object's spheres, numbered as the model will number them (from `first`).
struct BuildContext {
    SystemModel& model;
    const Options& options;
    OutputSink& out;
    int first = 0;
    std::vector<DraftSphere> drafts;

    BuildContext(SystemModel& m, const Options& o, OutputSink& sink) : model(m), options(o), out(sink) {
        drafts.reserve(MAX_OBJECT_SPHERES);
    }
    // Starts the drafts of the object whose first sphere is number e.
    void start_object(int e) {
        first = e;
        drafts.clear();
    }

    // Draft of sphere number i (from `first` on), made when first asked for.
    DraftSphere& sphere(int i);
    void add_output_line(std::string_view text) { out.add_output_line(text); }
};

// The builders of the table of element kinds (description/element_kinds.h). Each reads the line's
// fields and makes an object of `kind.kind`.
// One ball (B).
Status build_ball(BuildContext& ctx, LineReader& line, const ElementKind& kind);
// Spheres at the vertices of a polyhedron, along a line or on a ring (E, O, C, I, D, R, L, T).
Status build_solid(BuildContext& ctx, LineReader& line, const ElementKind& kind);
// A ball hanging from a line of small balls (H).
Status build_ball_with_line(BuildContext& ctx, LineReader& line, const ElementKind& kind);
// Square plates, plaques and shapes (S, Q, F, G, X, Y, Z).
Status build_flat(BuildContext& ctx, LineReader& line, const ElementKind& kind);

// Shared steps of the composite builders.
namespace detail {

// Reads name, conductor, x0, y0, z0, L, Ax and Az (converted to SI) into s.
void read_placement(LineReader& line, DraftSphere& s);
// The echo line: name, conductor, x0 ... Az and the given further values, each as "%g".
void echo_fields(BuildContext& ctx, const DraftSphere& s, std::initializer_list<Real> more);
// Reads the fields common to every composite (name to Rball) into sphere e with N spheres:
// masses divided by N.
void read_composite_fields(BuildContext& ctx, LineReader& line, int e, int n_spheres);
void echo_composite(BuildContext& ctx, const DraftSphere& s);
// Copies sphere e into the next N-1 and names them name1 .. nameN.
void replicate_and_name(BuildContext& ctx, int e, int n_spheres);
// Counts the object, numbers its spheres, stores their offsets from the object's point and
// places object and spheres in the model.
void finish_object(BuildContext& ctx, int e, int n_spheres, ObjectKind kind);

// The row of a builder's own table (each row with a `kind`) for the kind of an element line, or
// nullptr when the table has none: a table row naming the builder for a kind it cannot build.
template <class Row, std::size_t N> const Row* row_of_kind(const Row (&rows)[N], ObjectKind kind) {
    for (const Row& row : rows)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

} // namespace detail

} // namespace ambrel
