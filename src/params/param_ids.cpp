#include "params/param_ids.h"

#include "params/param_list.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

// Which built-in family a row is for: HFM and PMS share their set, LH and EZ have their own.
enum class TFamily { HfmPms, Lh, Ez };

struct TIdRow {
    TFamily Family;
    uint16_t Number;
    uint8_t Mask; // the bit of an X parameter; 0 for the whole value
    uint8_t Id;
};

// Numbers as in the built-in sets (builtin_*_set.cpp).
constexpr TIdRow IdRows[] = {
    {TFamily::HfmPms, 0, 0, ParamId::Coolant},
    {TFamily::HfmPms, 1, 0, ParamId::EngineSpeed},
    {TFamily::HfmPms, 3, 0, ParamId::InjectionTime},
    {TFamily::HfmPms, 4, 0, ParamId::O2Control},
    {TFamily::HfmPms, 5, 0, ParamId::Throttle},
    {TFamily::HfmPms, 6, 0, ParamId::AirMass},
    {TFamily::HfmPms, 7, 0, ParamId::O2Sensor},
    {TFamily::HfmPms, 12, 0, ParamId::IntakeAir},
    {TFamily::HfmPms, 15, 0, ParamId::RoadSpeed},
    {TFamily::HfmPms, 17, 0, ParamId::Load},
    {TFamily::HfmPms, 41, 0, ParamId::Battery},
    {TFamily::HfmPms, 23, 0x01, ParamId::IdleContact},
    {TFamily::HfmPms, 23, 0x08, ParamId::Starter},
    {TFamily::HfmPms, 25, 0x01, ParamId::Activation},
    {TFamily::HfmPms, 25, 0x02, ParamId::PostStart},
    {TFamily::HfmPms, 25, 0x04, ParamId::WarmUp},
    {TFamily::HfmPms, 25, 0x08, ParamId::CutOff},
    {TFamily::HfmPms, 25, 0x10, ParamId::FullLoad},
    {TFamily::HfmPms, 79, 0x01, ParamId::KnockControl},
    {TFamily::HfmPms, 79, 0x02, ParamId::ShiftRetard},
    {TFamily::HfmPms, 79, 0x08, ParamId::IdleProblem},

    {TFamily::Lh, 0, 0, ParamId::Coolant},
    {TFamily::Lh, 1, 0, ParamId::EngineSpeed},
    {TFamily::Lh, 3, 0, ParamId::InjectionTime},
    {TFamily::Lh, 5, 0, ParamId::Throttle},
    {TFamily::Lh, 6, 0, ParamId::AirMass},
    {TFamily::Lh, 7, 0, ParamId::O2Sensor},
    {TFamily::Lh, 12, 0, ParamId::IntakeAir},
    {TFamily::Lh, 15, 0, ParamId::RoadSpeed},
    {TFamily::Lh, 41, 0, ParamId::Battery},
    {TFamily::Lh, 20, 0x10, ParamId::PostStart},
    {TFamily::Lh, 23, 0x08, ParamId::Starter},
    {TFamily::Lh, 23, 0x10, ParamId::IdleContact},
    {TFamily::Lh, 26, 0, ParamId::WarmUp}, // a byte: not 0 while warming up

    // The EZ coolant byte has no conversion, so only the engine speed is named.
    {TFamily::Ez, 1, 0, ParamId::EngineSpeed},
};

TFamily FamilyOf(int unitType) {
    return unitType == UnitLh ? TFamily::Lh : unitType == UnitEz ? TFamily::Ez : TFamily::HfmPms;
}

} // namespace

void AssignParamIds(TListParams& params, int unitType) {
    TFamily family = FamilyOf(unitType);
    for (const TIdRow& row : IdRows) {
        if (row.Family != family)
            continue;
        if (TECUparam* param = params.FindByNumber(row.Number))
            param->SetBitId(row.Id, row.Mask);
    }
}

} // namespace velmora
