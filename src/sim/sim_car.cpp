#include "sim/sim_car.h"

#include "sim/modules/sim_module.h"
#include "sim/sim_profile.h"
#include "sim/sim_unit.h"

namespace velmora {

namespace {

TLineFaults LineFaultsOf(const TSimProfile& profile) {
    TLineFaults faults;
    faults.NoEcho = profile.Faults.NoEcho;
    faults.NoiseEveryMs = profile.Faults.NoiseEveryMs;
    faults.NoiseSeed = profile.Seed;
    faults.CorruptEchoEvery = profile.Faults.CorruptEchoEvery;
    faults.LateByteBeforeEchoEvery = profile.Faults.LateByteBeforeEchoEvery;
    faults.EchoLostBits = profile.Faults.EchoLostBits;
    faults.ShortToGround = profile.Faults.ShortToGround;
    faults.NoUnit = profile.Faults.NoUnit;
    return faults;
}

} // namespace

std::unique_ptr<TSimCar> TSimCar::Create(std::string_view spec, std::string& error) {
    TSimProfile profile;
    if (!LoadSimProfile(spec, profile, error))
        return nullptr;
    return std::make_unique<TSimCar>(profile);
}

TSimCar::TSimCar(const TSimProfile& profile)
    : UnitProfile(std::make_unique<TSimProfile>(profile)),
      EngineUnit(std::make_unique<TSimUnit>(*UnitProfile)),
      LineBus(std::make_unique<TKLineBus>(Hub, LineFaultsOf(*UnitProfile))) {
    EngineUnit->Attach(*LineBus);
    Hub.Add(*EngineUnit);
    for (TSimModuleKind kind : {TSimModuleKind::EGas, TSimModuleKind::Egs, TSimModuleKind::Srs}) {
        const TSimModuleProfile& module = UnitProfile->Modules.Of(kind);
        if (!module.Present)
            continue;
        Modules.emplace_back(kind, std::make_unique<TSimModule>(module));
        Modules.back().second->Attach(*LineBus);
        Hub.Add(*Modules.back().second);
    }
}

TSimModule* TSimCar::Module(TSimModuleKind kind) {
    for (auto& [moduleKind, module] : Modules)
        if (moduleKind == kind)
            return module.get();
    return nullptr;
}

TSimCar::~TSimCar() = default;

const TSimProfile& TSimCar::Profile() const {
    return *UnitProfile;
}

} // namespace velmora
