// The text reports of a computation: charges (nC), forces (uN), angles (degrees), rotational
// forces (uN), distances between objects (cm) and surface fields (kV/cm).
#pragma once

#include "model/simulator.h"

#include <string>

namespace ambrel {

// "[i]" for a single ball, "[first-last]" for a composite object ending at sphere i.
std::string object_label(const Simulator& sim, int i);

void report_charges(Simulator& sim);
void report_forces(Simulator& sim);
void report_angles(Simulator& sim);
void report_rotational_forces(Simulator& sim);
void report_center_distances(Simulator& sim);
void report_surface_distances(Simulator& sim);
void report_fields(Simulator& sim);

// "Total capacitance = " with the value in pF.
void report_total_capacitance(Simulator& sim);

} // namespace ambrel
