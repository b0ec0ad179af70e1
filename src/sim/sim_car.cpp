#include "sim/sim_car.h"

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
      LineBus(std::make_unique<TKLineBus>(*EngineUnit, LineFaultsOf(*UnitProfile))) {
    EngineUnit->Attach(*LineBus);
}

TSimCar::~TSimCar() = default;

const TSimProfile& TSimCar::Profile() const {
    return *UnitProfile;
}

} // namespace velmora
