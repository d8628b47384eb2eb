// The capacitances between conductors: the sphere capacitance matrix condensed into the
// Maxwell coefficients CC[a][b] = sum of C[j][l] over the spheres j of conductor a and l of b,
// the two-terminal capacitances -CC[a][b], each conductor's capacitance to infinity (its row
// sum) and, for two conductors, the capacitance seen with balanced voltages. Values in pF.
#pragma once

#include "model/simulator.h"

namespace ambrel {

void report_capacitances(Simulator& sim);

} // namespace ambrel
