// Initialize: the one pipeline that turns the description into a ready model.
#pragma once

#include "description/reader.h"
#include "model/simulator.h"

#include <string>
#include <vector>

namespace ambrel {

struct InitializeResult {
    ReadStatus read_status = ReadStatus::Ok;
    // The camera must return to its default view (the reset was pending); the host applies it.
    bool view_reset = false;
    // False when a large system stopped before the charges (they are all 0).
    bool charges_computed = true;
};

InitializeResult initialize_system(Simulator& sim, const std::vector<std::string>& description);

} // namespace ambrel
