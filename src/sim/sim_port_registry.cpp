#include <memory>
#include <string>

#include "links/port_factory.h"
#include "sim/sim_port.h"

namespace velmora {

void RegisterSimPorts() {
    for (const TSimAdapterInfo& info : SimAdapterKinds()) {
        TSimAdapterKind kind = info.Kind;
        RegisterPortKind(info.PortPrefix, info.PortNumber, info.Description, [kind](std::string_view name) {
            return std::make_unique<TSimPort>(std::string(name), kind);
        });
    }
}

} // namespace velmora
