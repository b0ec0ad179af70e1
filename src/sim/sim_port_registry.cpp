// The simulated car's port kinds in the port factory, and the cars the program keeps per port name.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "links/port_factory.h"
#include "sim/sim_port.h"

namespace velmora {

namespace {

// Ports are created on the window thread (the port check) and on the worker, one at a time; the lock
// only keeps the map sound.
struct TBenchRegistry {
    std::mutex Lock;
    TSimCarLifetime Lifetime = TSimCarLifetime::PerPort;
    std::map<std::string, std::shared_ptr<TSimBench>, std::less<>> Benches;

    std::shared_ptr<TSimBench> For(std::string_view name) {
        std::lock_guard<std::mutex> guard(Lock);
        if (Lifetime == TSimCarLifetime::PerPort)
            return nullptr;
        std::shared_ptr<TSimBench>& bench = Benches[std::string(name)];
        if (!bench)
            bench = std::make_shared<TSimBench>();
        return bench;
    }
};

TBenchRegistry& Registry() {
    static TBenchRegistry registry;
    return registry;
}

} // namespace

void RegisterSimPorts(TSimCarLifetime lifetime) {
    {
        std::lock_guard<std::mutex> guard(Registry().Lock);
        Registry().Lifetime = lifetime;
        Registry().Benches.clear();
    }
    for (const TSimAdapterInfo& info : SimAdapterKinds()) {
        TSimAdapterKind kind = info.Kind;
        RegisterPortKind(info.PortPrefix, info.PortNumber, info.Description, [kind](std::string_view name) {
            return std::make_unique<TSimPort>(std::string(name), kind, Registry().For(name));
        });
    }
}

} // namespace velmora
