// A simulated car: one engine unit and the E-GAS, EGS and SRS modules, made from a profile, on its
// K-line bus. The object the in-process
// port TSimPort and the velmora-sim server start from, with a simulated adapter (plain KKL cable, ELM327,
// CarSoft interface) on its bus. One thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/kline_bus.h"
#include "sim/kline_hub.h"
#include "sim/modules/module_profile.h"

namespace velmora {

class TSimUnit;
class TSimModule;
struct TSimProfile;

class TSimCar {
public:
    // `spec` names a built-in unit ("hfm", "pms", "lh", "ez", ...; empty = "hfm") or a profile file.
    // On failure: nullptr and `error` holds the reason for the user.
    static std::unique_ptr<TSimCar> Create(std::string_view spec, std::string& error);
    explicit TSimCar(const TSimProfile& profile);
    ~TSimCar();

    TKLineBus& Bus() { return *LineBus; }
    TSimUnit& Unit() { return *EngineUnit; }
    // The module of that kind, or nullptr when the profile leaves it out.
    TSimModule* Module(TSimModuleKind kind);
    const TSimProfile& Profile() const;

private:
    std::unique_ptr<TSimProfile> UnitProfile;
    std::unique_ptr<TSimUnit> EngineUnit;
    std::vector<std::pair<TSimModuleKind, std::unique_ptr<TSimModule>>> Modules;
    TKLineHub Hub;
    std::unique_ptr<TKLineBus> LineBus;
};

} // namespace velmora
