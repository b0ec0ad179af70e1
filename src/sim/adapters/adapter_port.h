// The ports "SIMELM" and "SIMCARSOFT" are kinds of TSimPort (sim/sim_port.h), registered with the port
// factory by RegisterSimPorts together with "SIM". Any thread that may register port kinds.
#pragma once

#include "sim/sim_port.h"

namespace velmora {

// The name the connection tests still call; it registers every kind of simulated port.
inline void RegisterSimAdapterPorts() {
    RegisterSimPorts();
}

} // namespace velmora
