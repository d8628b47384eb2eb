// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the stability analysis of a state and the Jacobian command find: the eigenvalues of the
// motion with their errors, the verdict they allow, and the matrices. Plain data: the solver fills
// it (solver/stability.h, solver/jacobian.h), the reports write it (report/jacobian_report.h).
#pragma once

#include "model/types.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ambrel {

struct EigenvalueWithError {
    Complex value;
    Real error = 0;      // bound of |value - the h -> 0 limit|
    Real truncation = 0; // its part from the difference of the steps h and h/2
    Real off_rest = 0;   // its part from a state at rest only to the tolerance
};

enum class StabilityVerdict { Stable, Unstable, Undecided };

struct StabilityAnalysis {
    bool computed = false;                   // false: the QR iteration did not converge
    std::vector<EigenvalueWithError> values; // by real part, largest first
    std::vector<Real> matrix;                // 2 J(h/2) - J(h), whose eigenvalues these are
    StabilityVerdict verdict = StabilityVerdict::Undecided;
    int deciding = -1; // Undecided: the eigenvalue whose real part is zero within its error
};

// NotEquilibrium: the eigenvalues describe the motion from a state that is not at rest.
enum class Stability { Stable, Unstable, Undecided, NotEquilibrium, NotComputed };

// What an analysis says of a state whose largest rotational force is `residual_uN`: NotComputed
// when its eigenvalues could not be computed, NotEquilibrium when the force is above the
// tolerance (uN), else its verdict.
inline Stability stability_of(const StabilityAnalysis& analysis, Real residual_uN, Real tolerance_uN) {
    if (!analysis.computed)
        return Stability::NotComputed;
    if (!(residual_uN <= tolerance_uN))
        return Stability::NotEquilibrium;
    switch (analysis.verdict) {
    case StabilityVerdict::Unstable:
        return Stability::Unstable;
    case StabilityVerdict::Stable:
        return Stability::Stable;
    case StabilityVerdict::Undecided:
        break;
    }
    return Stability::Undecided;
}

struct JacobianResult {
    bool computed = false;
    bool stopped = false; // Stop ended it before its last column
    // Why nothing was computed, when it was not stopped: the time-domain law has no Jacobian, or
    // the system has `objects` objects, more than the `most_objects` it holds.
    bool speed_simulation = false;
    int objects = 0, most_objects = 0;
    int size = 0; // N = 2 * object_count
    Real h = 0;   // the angle variation of the differences (rad)
    Stability stability = Stability::NotComputed;
    int parallel_columns = 0; // evaluations done in parallel from the base state
    int evaluations = 0;      // perturbed evaluations in all
    std::vector<Real> matrix; // N x N, row-major
    // The stability analysis: the chart's coordinates (by slot of the movable objects), the
    // extrapolated matrix of the motion in them and its eigenvalues with their errors.
    std::vector<std::string> stability_coordinates;
    std::vector<Real> stability_matrix;
    std::vector<EigenvalueWithError> eigenvalues;
    // The analysis's verdict (StabilityAnalysis): whether the eigenvalues were computed, the verdict
    // and the eigenvalue that leaves it undecided; drawn for a state whose largest rotational force
    // is residual_uN against the tolerance tolerance_uN. No movable object: no eigenvalues at all.
    bool no_movable_object = false;
    bool analysed = false;
    StabilityVerdict verdict = StabilityVerdict::Undecided;
    int deciding = -1;
    Real residual_uN = 0, tolerance_uN = 0;
    Real entry(int row, int column) const { // 1-based
        return matrix[static_cast<std::size_t>(row - 1) * size + (column - 1)];
    }
};

} // namespace ambrel
