// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Forces of large systems, which take 1/d from the elastance matrix, against the full formula:
// overlapping spheres, pairs of aligned plates and ordinary pairs together.
#include "../support/test_system.h"
#include "physics/evaluation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace ambrel {
namespace {

using testing_support::TestSystem;

TEST(LargeSystemForces, FromTheMatrixAgreeWithTheFullFormula) {
    TestSystem t;
    std::vector<std::string> lines = {
        // Two stacked 10 x 10 plates (aligned pairs taken as square plates) ...
        "Qlow A 0 0 0 0 0 0 1 1",
        "Qhigh B 0 0 1.5 0 0 0 1 1",
    };
    // ... and balls in a row, every fifth pair overlapping.
    for (int k = 0; k < 30; ++k)
        lines.push_back("Bb" + std::to_string(k) + " " + (k % 2 ? "A" : "B") + " " +
                        std::to_string(3 + 0.5 * k + (k % 5 == 0 ? 0.3 : 0)) + " 2 1 0 0 0 0.2 0.1");
    lines.push_back(".V A 2000");
    lines.push_back(".V B -1000");
    t.options().set(Option::UseSquares, true);
    t.init(lines);
    const int n = t.model().sphere_count;
    ASSERT_GE(n, LARGE_SYSTEM_SPHERES);
    ASSERT_GT(t.ev().diagnostics.plate_pairs, 0);

    Evaluation fast = t.ev(), full = t.ev();
    compute_forces(t.model(), fast, &t.session.workspace);
    compute_forces(t.model(), full);
    Real largest = 0;
    for (int i = 1; i <= n; ++i)
        largest = std::max(largest, full.f_abs[i]);
    int differing = 0;
    for (int i = 1; i <= n; ++i) {
        EXPECT_NEAR(fast.fx[i], full.fx[i], 1e-16L * largest) << i;
        EXPECT_NEAR(fast.fy[i], full.fy[i], 1e-16L * largest) << i;
        EXPECT_NEAR(fast.fz[i], full.fz[i], 1e-16L * largest) << i;
        differing += fast.fx[i] != full.fx[i] ? 1 : 0;
    }
    EXPECT_GT(differing, 0); // the large way was taken
}

} // namespace
} // namespace ambrel
