#include "ui/window/engine_mode.h"

#include <cmath>
#include <string_view>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

struct TModeRow {
    int Code;
    std::string_view Text;
    bool Alarm = false; // a fault of the engine: drawn in red; every other mode is a normal state
};

// Written in Russian like every text of the program, so a Russian or German window shows no English
// fragment; the English dictionary gives back the unit documentation's own names (Full Load, ...).
constexpr TModeRow ModeRows[] = {
    {1, "Пуск"},
    {3, "Полная нагрузка"},
    {5, "Проблема холостого хода", true},
    {7, "Обогащение после пуска"},
    {8, "После обогащения после пуска"},
    {95, "Задержка точки переключения передачи"},
    {98, "ПХХ/Отсечка"},
    {99, "Ожидание пуска"},
    {106, "Наблюдение плавности работы на ХХ"},
    {107, "Наблюдение сигнала датчика кислорода"},
    {108, "Наблюдение сигнала датчика кислорода"},
    {109, "Наблюдение работы системы зажигания"},
};

const TModeRow* FindMode(int code) {
    for (const TModeRow& row : ModeRows) {
        if (row.Code == code)
            return &row;
    }
    return nullptr;
}

} // namespace

std::string EngineModeText(int code) {
    if (const TModeRow* row = FindMode(code))
        return Translate(row->Text);
    // A code the table does not know is said to be one, not passed off as a mode of its own.
    return TranslateFormat("Неизвестный режим (код %d)", code);
}

std::optional<TReactionLook> TEngineModeState::Apply(int event, int modeCode) {
    switch (event) {
    case -2:
    case -4:
    case -8:
        Bits &= ~uint32_t(-event);
        break;
    case 2:
    case 8:
        Bits |= uint32_t(event);
        break;
    case 4:
        Bits |= ModeShown;
        ModeCode = modeCode;
        break;
    default:
        return std::nullopt;
    }
    TReactionLook look = Look();
    if (event != 4 && Shown == look)
        return std::nullopt;
    Shown = look;
    return look;
}

TReactionLook TEngineModeState::Look() const {
    // Red is kept for faults: waiting and the engine's normal modes are drawn in the normal colour.
    if (Bits & Wait)
        return {18, false, true, Translate("Ждите")};
    if (Bits & ModeShown) {
        const TModeRow* row = FindMode(ModeCode);
        return {12, row && row->Alarm, true, EngineModeText(ModeCode)};
    }
    if (Bits & Background)
        return {12, false, true, Translate("Фоновое чтение")};
    return {12, false, false, ""};
}

std::optional<int> TAnswerRate::OnAnswer(uint32_t tick) {
    ++Count;
    // Signed distance, so a wrap of the 32-bit tick count still counts forward.
    int32_t distance = int32_t(tick - LastUpdate);
    uint32_t elapsed = distance > 0 ? uint32_t(distance) : 0;
    if (elapsed < MinPeriodMs)
        return std::nullopt;
    int rate = int(std::lround(double(Count) * 1000.0 / elapsed));
    LastUpdate = tick;
    Count = 0;
    return rate;
}

} // namespace velmora
