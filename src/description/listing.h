// The updated system written back in the description language: one element line per object
// with its current angles, ready to paste into the description panel.
#pragma once

#include "model/simulator.h"

namespace ambrel {

void list_updated_system(Simulator& sim);

} // namespace ambrel
