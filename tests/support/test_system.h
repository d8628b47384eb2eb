// A simulator whose output lines are collected, for the core tests.
#pragma once

#include "model/output_sink.h"
#include "model/simulator.h"
#include "model/units.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace ambrel::testing_support {

// 4 pi epsilon_0 in F/m, as the program stores it.
constexpr Real FOUR_PI_E0 = 1.11265005605356944e-10L;

struct TestSystem {
    VectorSink sink;
    Simulator sim{sink};
    // Whether the output holds exactly this line.
    bool said(const std::string& line) const {
        return std::find(sink.lines.begin(), sink.lines.end(), line) != sink.lines.end();
    }
    const Sphere& s(int i) const { return sim.spheres[i]; }
};

// Relative difference of two reals.
inline Real rel(Real a, Real b) {
    return std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

} // namespace ambrel::testing_support
