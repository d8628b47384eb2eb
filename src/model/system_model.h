// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The system model: conductors, objects and the spheres they are made of. A plain, copyable
// value: the reader builds it, the evaluation reads it (and places the spheres), a run or the
// Jacobian works on copies of it. All quantities in SI units (m, rad, kg, V).
//
// Tables are 1-based (slot 0 unused), so that the numbers the user sees are the indices. They
// grow with the largest system read; the counters say how many entries are in use.
#pragma once

#include "model/object_kind.h"
#include "model/shape_pattern.h"
#include "model/types.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

struct Point3 {
    Real x = 0, y = 0, z = 0;
};

// The direction of a string at azimuth Ax (from x towards y) and angle Az from the downward
// vertical: the one place where a point along a string is computed.
struct StringDirection {
    StringDirection(Real Ax, Real Az)
        : sin_ax(std::sin(Ax)), cos_ax(std::cos(Ax)), sin_az(std::sin(Az)), cos_az(std::cos(Az)) {}
    Real sin_ax, cos_ax, sin_az, cos_az;

    // The point at distance d along the string from its top (x0, y0, z0).
    Point3 at(Real x0, Real y0, Real z0, Real d) const {
        return {x0 + d * sin_az * cos_ax, y0 + d * sin_az * sin_ax, z0 - d * cos_az};
    }
};

// Where a string points, read as a person reads it: `deflection` its angle from the downward
// vertical, 0 to pi, and `direction` the azimuth of its end around the vertical (from x towards
// y), in (-pi, pi], 0 for a string along the vertical. Any Ax and Az give the string they
// place: Az and -Az with Ax turned by pi, or Ax and Ax + 2 pi, are one string.
struct StringDeflection {
    Real deflection = 0;
    Real direction = 0;
};
StringDeflection string_deflection(Real Ax, Real Az);

// One rigid body on one string: a single ball, or a composite of several spheres.
struct Object {
    ObjectKind kind = ObjectKind::Ball;
    int first = 0; // number of its first sphere
    int count = 0; // number of its spheres
    std::string conductor_name;
    Real ref_x0 = 0, ref_y0 = 0, ref_z0 = 0; // suspension point of the string, as typed
    Real L = 0;                              // string length; 0 = fixed
    Real Ax = 0;                             // azimuth of the string, from x towards y
    Real Az = 0;                             // angle of the string from the downward vertical
    Real speed_Ax = 0, speed_Az = 0;         // angular speeds of the time-domain law

    int last() const { return first + count - 1; }
    bool composite() const { return kind != ObjectKind::Ball; }
    bool movable() const { return L != 0; }
};

// One charged sphere of an object.
struct Sphere {
    std::string name;           // <= 12 characters
    std::int32_t conductor = 0; // 1-based index into the conductor table
    std::int32_t object = 0;    // 1-based number of its object
    std::int32_t index_in_object = 0;
    Real offset_x = 0, offset_y = 0, offset_z = 0; // its suspension point minus the object's, unturned
    Real r = 0;                                    // radius
    Real m = 0;                                    // mass carried by this sphere (its weight acts here)
    Real size = 0;               // size parameter of its object (for H: the line balls' radius)
    Real square_side = 0;        // side of the square a flat-kind sphere stands for
    Real x0 = 0, y0 = 0, z0 = 0; // its own suspension point (turned with its object)
    Real x = 0, y = 0, z = 0;    // centre
};

struct Conductor {
    std::string name; // <= 12 characters, compared exactly
    Real V = 0;       // voltage, when held at one
    // An isolated conductor carries a fixed total charge (C); its potential is found with the
    // charges. A later .V or .Q line for the conductor replaces an earlier one.
    bool isolated = false;
    Real charge = 0;
};

// First 12 characters of a name, as the tables store it (by characters for UTF-8 text).
std::string cut_name(std::string_view name);

struct SystemModel {
    SystemModel();

    std::vector<Sphere> spheres{1};
    std::vector<Object> objects{1};
    std::vector<Conductor> conductors{1};
    int sphere_count = 0;
    int object_count = 0;
    int conductor_count = 0;
    // Counts the readings of the description, so a message about the model is given once per reading.
    int read_generation = 0;

    ShapePattern shape_pattern_5;
    ShapePattern shape_pattern_10;
    ShapePattern shape_pattern_15;

    // Makes room for spheres 1..n and objects 1..n (never shrinks).
    void reserve_spheres(int n);
    // Whether any conductor in use is isolated.
    bool has_isolated_conductors() const;
    // Empties the tables for a new reading (the shape patterns stay).
    void clear();

    const Object& object_of(int sphere) const { return objects[spheres[sphere].object]; }
    Object& object_of(int sphere) { return objects[spheres[sphere].object]; }
    // The kind of the object of sphere i.
    ObjectKind kind_of(int sphere) const { return object_of(sphere).kind; }
    // The last sphere of an object stands for it in the reports.
    bool is_object_last(int sphere) const { return object_of(sphere).last() == sphere; }

    // 1-based index of the conductor named exactly `name` (cut to 12 characters), appending it
    // when absent. Does not touch V of a new entry.
    int find_or_add_conductor(std::string_view name);
    // 1-based index of the conductor, or 0 when there is none (never adds).
    int find_conductor(std::string_view name) const;
};

} // namespace ambrel
