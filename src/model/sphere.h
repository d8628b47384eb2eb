// The records of the system model: one charged sphere on a string, and one conductor.
// All quantities in SI units (m, rad, kg, C, N, V).
#pragma once

#include "model/types.h"

#include <cstdint>
#include <string>

namespace ambrel {

// Object kind codes: the element letter of a description line selects one.
enum ObjectKind : std::uint8_t {
    KIND_BALL = 0,            // B
    KIND_TETRAHEDRON = 1,     // E
    KIND_OCTAHEDRON = 2,      // O
    KIND_CUBE = 3,            // C
    KIND_ICOSAHEDRON = 4,     // I
    KIND_DODECAHEDRON = 5,    // D
    KIND_TRIACONTAHEDRON = 6, // R
    KIND_LINE = 7,            // L
    KIND_TOROID = 8,          // T
    KIND_BALL_WITH_LINE = 9,  // H
    KIND_SQUARE_5 = 10,       // S
    KIND_SQUARE_10 = 11,      // Q
    KIND_PLAQUE_5 = 12,       // F
    KIND_PLAQUE_10 = 13,      // G
    KIND_SHAPE_5 = 14,        // X
    KIND_SHAPE_10 = 15,       // Y
    KIND_SHAPE_15 = 16,       // Z
};

// Kinds 10 to 16 are flat squares on a grid in one horizontal plane.
inline bool is_flat_kind(int kind) {
    return kind >= KIND_SQUARE_5;
}

struct Sphere {
    std::string name;            // <= 12 characters
    std::string conductor_name;  // <= 12 characters
    Real x0 = 0, y0 = 0, z0 = 0; // suspension point of this sphere's string
    Real L = 0;                  // string length; 0 = fixed
    Real Ax = 0;                 // azimuth of the string, from x towards y
    Real Az = 0;                 // angle of the string from the downward vertical
    Real r = 0;                  // radius
    Real m = 0;                  // mass
    Real object_size = 0;        // size parameter R of the object as typed
    std::int32_t conductor = 0;  // 1-based index into the conductor table
    Real x = 0, y = 0, z = 0;    // centre
    Real Q = 0;                  // charge
    Real fx = 0, fy = 0, fz = 0; // total force, electric plus weight
    Real f_abs = 0;
    Real frx = 0, frz = 0; // rotational (tangent) forces on Ax and Az
    Real prev_Ax = 0, prev_Az = 0;
    std::uint8_t kind = KIND_BALL;
    std::int32_t index_in_object = 0;
    std::int32_t object_spheres = 0;
    std::int32_t object_number = 0;
    Real ref_x0 = 0, ref_y0 = 0, ref_z0 = 0;       // the object's suspension point as typed
    Real offset_x = 0, offset_y = 0, offset_z = 0; // this sphere's point minus the object's, unturned
    Real depth = 0;                                // key of the back-to-front drawing order
    Real square_side = 0;                          // side of the square a flat-kind sphere stands for
    Real saved_Ax = 0, saved_Az = 0, saved_frx = 0, saved_frz = 0;
    Real speed_Ax = 0, speed_Az = 0;
    Real prev_speed_Ax = 0, prev_speed_Az = 0;

    // The last sphere of an object stands for the whole object.
    bool is_object_last() const { return index_in_object == object_spheres; }
};

struct Conductor {
    std::string name; // <= 12 characters, compared exactly
    Real V = 0;       // voltage
};

} // namespace ambrel
