#include "solver/initialize.h"

namespace ambrel {

// 4 pi epsilon_0 in F/m.
constexpr Real FOUR_PI_E0 = 1.11265005605356944e-10L;

InitializeResult initialize_system(Simulator& sim, const std::vector<std::string>& description) {
    InitializeResult result;
    if (sim.view_reset_pending) {
        sim.four_pi_e0 = FOUR_PI_E0;
        result.view_reset = true;
        sim.view_reset_pending = false;
    }
    result.read_status = read_description(sim, description);
    sim.system_initialized = true;
    sim.forces_valid = false;
    return result;
}

} // namespace ambrel
