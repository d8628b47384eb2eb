// The object builders: one per element letter. Each is called with the element line in the
// reader, `sphere_count` already raised by one for the line, and fills entries from
// `sphere_count` on.
#pragma once

#include "description/reader.h"

#include <initializer_list>

namespace ambrel {

enum class BuildStatus { Ok, TooManyElements };

// Letter B: one ball.
BuildStatus build_ball(Simulator& sim, LineReader& line);
// Letters E, O, C, I, D, R, L, T, H.
BuildStatus build_solid(Simulator& sim, LineReader& line, char letter);
// Letters S, Q, F, G, X, Y, Z.
BuildStatus build_flat(Simulator& sim, LineReader& line, char letter);

// Shared steps of the composite builders.
namespace detail {

// Reads name, conductor, x0, y0, z0, L, Ax and Az (converted to SI) into s.
void read_placement(LineReader& line, Sphere& s);
// The echo line: name, conductor, x0 ... Az and the given further values, each as "%g".
void echo_fields(Simulator& sim, const Sphere& s, std::initializer_list<Real> more);
// Reads the fields common to every composite (name to Rball) into entry e with N spheres:
// masses divided by N.
void read_composite_fields(Simulator& sim, LineReader& line, int e, int kind, int n_spheres);
void echo_composite(Simulator& sim, const Sphere& s);
// Copies entry e into the next N-1 entries and names them name1 .. nameN.
void replicate_and_name(Simulator& sim, int e, int n_spheres);
// Counts the object, numbers its spheres and stores their offsets from the object's point.
void finish_object(Simulator& sim, int e, int n_spheres);

} // namespace detail

} // namespace ambrel
