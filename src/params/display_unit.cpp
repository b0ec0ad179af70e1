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

std::string ValueUnit(const TECUparam& param) {
    if (!param.Mask.empty())
        return {};
    return param.Izm.empty() ? param.Unit : param.Izm;
}

std::string UnitSuffix(const TECUparam& param) {
    if (!param.Mask.empty() || !param.Izm.empty() || param.Unit.empty())
        return {};
    return " " + param.Unit;
}

std::vector<std::string> ColumnUnits() {
    std::vector<std::string> units;
    for (const TMeaningUnit& row : MeaningUnitRows)
        units.push_back(Translate(row.Unit));
    // The UNIT lines of the built-in sets beyond those.
    for (const char* unit : {"мбар", "мВ", "Нм", "с"})
        units.push_back(Translate(unit));
    return units;
}

} // namespace velmora
