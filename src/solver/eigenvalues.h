// Eigenvalues of a small dense real nonsymmetric matrix: reduction to upper Hessenberg form
// by stabilised elementary similarity transformations, then the shifted (Francis double-shift)
// QR iteration, all in extended precision.
#pragma once

#include "model/types.h"

#include <complex>
#include <optional>
#include <vector>

namespace ambrel {

using Complex = std::complex<Real>;

// a: n x n, row-major. Returns the n eigenvalues (complex pairs adjacent, the positive imaginary
// part first), or nothing when the iteration does not converge.
std::optional<std::vector<Complex>> eigenvalues(std::vector<Real> a, int n);

} // namespace ambrel
