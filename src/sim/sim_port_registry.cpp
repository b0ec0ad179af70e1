#include <memory>
#include <string>

#include "links/port_factory.h"
#include "sim/sim_port.h"

namespace velmora {

void RegisterSimPorts() {
    RegisterPortKind("SIM", SimPortNumber, "Simulated car",
                     [](std::string_view name) { return std::make_unique<TSimPort>(std::string(name)); });
}

} // namespace velmora
