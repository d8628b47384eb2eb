// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Eigenvalues of a small dense real nonsymmetric matrix: reduction to upper Hessenberg form
// by stabilised elementary similarity transformations, then the shifted (Francis double-shift)
// QR iteration, in extended precision (in double where the caller asks for speed).
#pragma once

#include "model/types.h"

#include <optional>
#include <vector>

namespace ambrel {

// From this size on the eigenvalues are computed by LAPACK in double precision: the QR
// iteration in long double costs tens of seconds there, and the eigenvalues of a
// finite-difference Jacobian are determined by its data only to about 12 digits (the rounding
// of the forces alone moves them by 1e-12 relative), which double precision resolves for all
// but very ill-conditioned eigenvalues.
inline constexpr int LAPACK_EIGENVALUES_MIN_SIZE = 200;

// a: n x n, row-major. Returns the n eigenvalues (complex pairs adjacent, the positive imaginary
// part first), or nothing when the iteration does not converge. `rough`: double precision
// whatever the size, where a few digits do (the equilibrium finder's shift and verdict).
std::optional<std::vector<Complex>> eigenvalues(std::vector<Real> a, int n, bool rough = false);

} // namespace ambrel
