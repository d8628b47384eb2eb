// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Sphere sets for the benchmarks and their elastance matrices (1/r on the diagonal, 1/d between
// centres with d floored at 1e-6 m, in 1/m): random balls in a box, and stacked square plates;
// and the descriptions of the systems the benchmarks initialise, relax and analyse.
#pragma once

#include "model/types.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace ambrel::bench {

struct SphereSet {
    std::vector<Real> x, y, z, r; // metres

    int size() const { return static_cast<int>(r.size()); }
    void add(Real xi, Real yi, Real zi, Real ri) {
        x.push_back(xi);
        y.push_back(yi);
        z.push_back(zi);
        r.push_back(ri);
    }
};

// n balls of radii in [r_min, r_max] placed at random in a cube of side `box` (metres), without
// overlaps as long as a free place turns up within a few hundred tries (else one is allowed).
inline SphereSet random_balls(int n, unsigned seed = 1, Real box = 0.40L, Real r_min = 0.005L,
                              Real r_max = 0.010L) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    SphereSet s;
    for (int i = 0; i < n; ++i) {
        const Real ri = r_min + (r_max - r_min) * unit(rng);
        Real xi = 0, yi = 0, zi = 0;
        for (int attempt = 0; attempt < 500; ++attempt) {
            xi = ri + (box - 2 * ri) * unit(rng);
            yi = ri + (box - 2 * ri) * unit(rng);
            zi = ri + (box - 2 * ri) * unit(rng);
            bool free = true;
            for (int k = 0; k < i && free; ++k) {
                const Real dx = xi - s.x[k], dy = yi - s.y[k], dz = zi - s.z[k];
                free = dx * dx + dy * dy + dz * dz >= (ri + s.r[k]) * (ri + s.r[k]);
            }
            if (free)
                break;
        }
        s.add(xi, yi, zi, ri);
    }
    return s;
}

// Square plates of side x side spheres, `side` = 10 on a 1 cm square (pitch 1 mm), stacked
// `gap` apart along z, filled plate by plate until n spheres are placed.
inline SphereSet stacked_plates(int n, Real radius = 0.567e-3L, int side = 10, Real width = 0.01L,
                                Real gap = 0.01L) {
    SphereSet s;
    const Real pitch = width / side;
    for (int i = 0; i < n; ++i) {
        const int plate = i / (side * side);
        const int cell = i % (side * side);
        s.add((cell % side + 0.5L) * pitch, (cell / side + 0.5L) * pitch, plate * gap, radius);
    }
    return s;
}

// Row-major n x n elastance matrix of the set into P (both triangles).
inline void fill_elastance(const SphereSet& s, Real* P) {
    const int n = s.size();
    for (int i = 0; i < n; ++i) {
        P[static_cast<std::size_t>(i) * n + i] = 1 / s.r[i];
        for (int j = 0; j < i; ++j) {
            const Real dx = s.x[i] - s.x[j], dy = s.y[i] - s.y[j], dz = s.z[i] - s.z[j];
            const Real d = std::max(std::sqrt(dx * dx + dy * dy + dz * dz), Real(1e-6L));
            P[static_cast<std::size_t>(i) * n + j] = 1 / d;
            P[static_cast<std::size_t>(j) * n + i] = 1 / d;
        }
    }
}

// Voltages for the benchmarks: two conductors, +V and -V/2, alternating in blocks of 7 spheres.
inline std::vector<Real> sample_voltages(int n) {
    std::vector<Real> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = (i / 7) % 2 == 0 ? 1000.0L : -500.0L;
    return v;
}

// `count` flat 10 x 10 plates (1 cm square) stacked 1 cm apart, alternately on conductors A and B
// at +-100 V: 100 spheres a plate.
inline std::vector<std::string> stacked_plates_description(int count) {
    std::vector<std::string> lines;
    for (int p = 0; p < count; ++p)
        lines.push_back("Qp" + std::to_string(p) + " " + (p % 2 ? "B" : "A") + " 0 0 " + std::to_string(p) +
                        " 0 0 0 0.5 1");
    lines.push_back(".V A 100");
    lines.push_back(".V B -100");
    return lines;
}

// `count` of the same plates side by side, 3 cm apart, each hanging on a 10 cm string, all at 3 kV.
inline std::vector<std::string> hanging_plates_description(int count) {
    std::vector<std::string> lines;
    for (int p = 0; p < count; ++p)
        lines.push_back("Qp" + std::to_string(p) + " all " + std::to_string(3 * p) + " 0 0 10 0 0 0.5 1");
    lines.push_back(".V all 3000");
    return lines;
}

// columns x rows balls of 3 mm radius and 0.1 g hanging on 10 cm strings from a 1 cm grid, at 3 kV.
inline std::vector<std::string> hanging_balls_description(int columns, int rows) {
    std::vector<std::string> lines;
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j)
            lines.push_back("Bb" + std::to_string(i * rows + j + 1) + " all " + std::to_string(i) + " " +
                            std::to_string(j) + " 0 10 0 0 0.3 0.1");
    lines.push_back(".V all 3000");
    return lines;
}

} // namespace ambrel::bench
