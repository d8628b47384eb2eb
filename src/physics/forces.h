// Forces on the spheres and the rotational (tangent) forces that turn the strings.
//   F_i = sum_j Q_i Q_j (r_i - r_j) / (4 pi e0 |r_i - r_j|^3) - m_i g z^   (N)
// Overlapping spheres push apart with a fixed contact force 1e-12 / (4 pi e0) N instead.
#pragma once

#include "model/simulator.h"
#include "model/units.h"

namespace ambrel {


// 1/sin a, limited to +-1000 where |sin a| <= 0.001 (the sign follows the angle).
Real limited_cosec(Real a);

// Total force (electric plus weight) on every sphere.
void compute_forces(Simulator& sim);
// frx and frz of every movable sphere; composite objects combined (per "Correct rotation forces"
// as torques about the suspension point, or simply summed), each sphere holding 1/n of the
// object's totals. Sets forces_valid.
void compute_rotational_forces(Simulator& sim);
// The field at the surface of a ball of the object's size carrying the object's charge (V/m).
Real surface_field(const Simulator& sim, int i);

} // namespace ambrel
