// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// How a run ended: Calculate's relaxation, Find equilibrium's search and each point of a sweep or
// a study say it with the one enum.
#pragma once

namespace ambrel {

// Converged       at rest within the force error (Find equilibrium: with its verdict)
// StepLimit       the step limit of Calculate, or the iteration limit of Find equilibrium
// Stopped         the host's Stop ended it
// TooLargeAngles  an angle left its range: the system diverged ("Too large angles")
// SingularMatrix  a sweep's or a study's point whose last state's elastance matrix could not be
//                 inverted (a run never ends so by itself)
// NotApplicable   Find equilibrium did not search: more movable objects than its Jacobian holds
// Contact         Find equilibrium's limit reached with spheres of two objects pressed together,
//                 where the model has no rest state (the angles are where its last steps left
//                 them, as at a step limit)
enum class RunEnd { Converged, StepLimit, Stopped, TooLargeAngles, SingularMatrix, NotApplicable, Contact };

// A run's end as a point of a sweep or a study takes it: a singular elastance matrix at its last
// state marks the point unless the run diverged; a search that was not made counts as a step
// limit.
inline RunEnd point_end(RunEnd run, bool singular_matrix) {
    if (run == RunEnd::TooLargeAngles)
        return RunEnd::TooLargeAngles;
    if (singular_matrix)
        return RunEnd::SingularMatrix;
    if (run == RunEnd::NotApplicable)
        return RunEnd::StepLimit;
    return run;
}

} // namespace ambrel
