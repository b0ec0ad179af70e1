#include "params/display_unit.h"

#include "lang/dictionary.h"
#include "params/ecu_param.h"
#include "params/param_ids.h"

namespace velmora {

namespace {

// Units by meaning, written in Russian and translated like every text.
struct TMeaningUnit {
    uint8_t Id;
    const char* Unit;
};
constexpr TMeaningUnit MeaningUnitRows[] = {
    {ParamId::EngineSpeed, "об/мин"}, {ParamId::InjectionTime, "мс"}, {ParamId::Battery, "В"},
    {ParamId::RoadSpeed, "км/ч"},     {ParamId::AirMass, "кг/ч"},
};

} // namespace

std::string DisplayUnit(const TECUparam& param) {
    if (!param.Izm.empty() || !param.Mask.empty())
        return {};
    if (!param.Unit.empty())
        return param.Unit;
    for (const TMeaningUnit& row : MeaningUnitRows) {
        if (param.HasId(row.Id))
            return Translate(row.Unit);
    }
    return {};
}

std::vector<std::string> MeaningUnits() {
    std::vector<std::string> units;
    for (const TMeaningUnit& row : MeaningUnitRows)
        units.push_back(Translate(row.Unit));
    return units;
}

} // namespace velmora
