#include "smoothness/smooth_cylinders.h"

#include <memory>
#include <string>

#include "lang/dictionary.h"
#include "params/ecu_param.h"
#include "params/param_list.h"

namespace velmora {

namespace {

constexpr uint8_t Slots4[] = {3, 1, 4, 2};
constexpr uint8_t Slots6[] = {5, 4, 6, 1, 3, 2};
constexpr uint8_t Columns4[] = {1, 3, 4, 2};
constexpr uint8_t Columns6[] = {1, 5, 3, 6, 2, 4};

} // namespace

int PeriodParamCount(const TListParams& set) {
    int count = 0;
    for (int number = FirstPeriodParam; number <= LastPeriodParam; ++number)
        count += set.FindByNumber(number) != nullptr;
    return count;
}

int SmoothCylinders(const TListParams& set) {
    return set.FindByNumber(LastPeriodParam) ? 6 : 4;
}

std::span<const uint8_t> SlotTable(int cylinders) {
    return cylinders == 6 ? std::span<const uint8_t>(Slots6) : std::span<const uint8_t>(Slots4);
}

int StartSlot(int cylinders, int cylinder) {
    const std::span<const uint8_t> table = SlotTable(cylinders);
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i] == cylinder)
            return int(i) + 1;
    return 1;
}

std::span<const uint8_t> SmoothColumns(int cylinders) {
    return cylinders == 6 ? std::span<const uint8_t>(Columns6) : std::span<const uint8_t>(Columns4);
}

int SmoothColumn(int cylinders, int cylinder) {
    const std::span<const uint8_t> columns = SmoothColumns(cylinders);
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == cylinder)
            return int(i) + 1;
    return 0;
}

void AppendPeriodParams(TListParams& set, int cylinders) {
    if ((cylinders != 4 && cylinders != 6) || PeriodParamCount(set) > 0)
        return;
    const std::span<const uint8_t> table = SlotTable(cylinders);
    for (size_t slot = 1; slot <= table.size(); ++slot) {
        const int number = FirstPeriodParam - 1 + table[slot - 1];
        auto param = std::make_unique<TECUparam>(uint16_t(number));
        param->ParseLine("TYPE=W");
        param->ParseLine("CALC=/" + std::to_string(PeriodTicksPerMs));
        param->ParseLine("CMD=85 " + std::to_string(number));
        param->Name = Translate("Период работы цилиндра") + " " + std::to_string(slot);
        // The normal polling reads them rarely: only the smoothness test needs them, and it reads them
        // itself.
        param->PollLevel = PeriodPollLevel;
        set.Add(std::move(param));
    }
}

} // namespace velmora
