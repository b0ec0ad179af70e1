#include "actuators/adaptation.h"

#include <array>

#include "actuators/param_reads.h"
#include "actuators/timed_pairs.h"
#include "engine_link/engine_link.h"
#include "lang/dictionary.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

enum class TAdaptStep : uint8_t {
    ResetValues,    // (0xE0, 0x00): the learned mixture and idle values go back to zero
    DropIdleValues, // (0xD1, 0x08): the learned idle values are dropped, the throttle stop relearned
    LearnThrottle,  // Bosch: the throttle stop is learned over 10 s while its values are watched
};

constexpr int NoRead = -1;
constexpr size_t MaxLines = 5;

struct TAdaptRow {
    uint8_t Mode;
    std::array<const char*, 2> StartLines; // nullptr where unused
    TAdaptStep Step;
    std::array<int16_t, 4> ReadsBefore; // parameters read before the done lines; NoRead where unused
    std::array<const char*, MaxLines> DoneLines;
    bool IdlePairsAfter;    // eight (0x10, 0x00) pairs keep the unit talking until the ignition goes off
    bool AsksIgnitionCycle; // posts WM_USER+17 with IgnitionCycleBox
    bool Done;              // false: the function goes on after an ignition cycle
    uint8_t NextMode;
    std::array<int16_t, 4> ReadsAfter;
};

constexpr const char* IgnitionOff = "НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ И ВЫЖДАТЬ >10 секунд!";
constexpr const char* ThenGoOn = "После включить зажигание, подключиться к ЭБУ и продолжить работу!";
constexpr std::array<int16_t, 4> None{NoRead, NoRead, NoRead, NoRead};

constexpr TAdaptRow AdaptRows[] = {
    {AdaptResetPhase1,
     {"Сброс адаптации: запуск!", nullptr},
     TAdaptStep::ResetValues,
     None,
     {"Сброс адаптации: ВЫПОЛНЕНО 50%!", "", IgnitionOff,
      "После ВКЛЮЧИТЬ зажигание и нажать кнопку [Connect]!", ""},
     true,
     true,
     false,
     AdaptResetPhase2,
     None},
    {AdaptResetPhase2,
     {"Сброс адаптации: продолжение!", nullptr},
     TAdaptStep::DropIdleValues,
     None,
     {"Сброс адаптации: ВЫПОЛНЕНО!", "", IgnitionOff, ThenGoOn, ""},
     false,
     true,
     true,
     AdaptNone,
     {8, 9, 10, 25}},
    {AdaptThrottle,
     {"Адаптация дросселя: запуск!", nullptr},
     TAdaptStep::DropIdleValues,
     {25, NoRead, NoRead, NoRead},
     {"Адаптация дросселя: ВЫПОЛНЕНО!"},
     false,
     false,
     true,
     AdaptNone,
     None},
    {AdaptThrottleBosch,
     {"Адаптация дросселя для ЭБУ Bosch: запуск!", "Время выполнения около 10 секунд."},
     TAdaptStep::LearnThrottle,
     None,
     {"Адаптация дросселя ЭБУ Bosch: ВЫПОЛНЕНО!", "", IgnitionOff, ThenGoOn, ""},
     false,
     true,
     false,
     AdaptNone,
     None},
};

// WM_USER+17 with 1: the window asks the user to cycle the ignition.
constexpr intptr_t IgnitionCycleBox = 1;
constexpr int IdlePairs = 8;
constexpr uint32_t IdlePairStepMs = 300;
// The Bosch throttle learns its stop while bit 0x40 of 0xD1 is set (ms).
constexpr uint32_t ThrottleLearnMs = 10000;
constexpr uint16_t AirMassParam = 6;

const char* const EntryRefused[] = {
    "",
    "!!!  ОШИБКА ОТВЕТА ECU ПРИ ВХОДЕ В РЕЖИМ !!!",
    "!!!  НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ, ВЫЖДАТЬ > 10 СЕКУНД,",
    "     ВКЛЮЧИТЬ ЕГО И ПОВТОРИТЬ ПОПЫТКУ ПОДКЛЮЧЕНИЯ К ECU !!!",
    "",
};
constexpr const char* FunctionFailed = "!!!  ОШИБКА ОТВЕТА ECU ПРИ ВЫПОЛНЕНИИ ФУНКЦИИ !!!";

const TAdaptRow* FindRow(uint8_t mode) {
    for (const TAdaptRow& row : AdaptRows) {
        if (row.Mode == mode)
            return &row;
    }
    return nullptr;
}

void LogLine(const char* line) {
    AddLog(*line ? Translate(line) : std::string());
}

void ReadAll(TActuatorContext& context, const std::array<int16_t, 4>& numbers) {
    for (int16_t number : numbers) {
        if (number != NoRead)
            ReadNumber(context, uint16_t(number));
    }
}

// Bosch units learn the throttle stop while the idle channel's bit 0x40 is set. False, with the mode
// cleared and the failure logged, when the set has no air-mass parameter to watch.
bool LearnThrottle(TActuatorContext& context) {
    ReadNumbers(context, {23, 24, 25, 1});
    if (!ReadNumber(context, AirMassParam)) {
        context.State.AdaptMode.store(AdaptNone);
        AddLog(Translate("Ошибка выполнения функции!"));
        return false;
    }
    context.Link.Request(0xD1, 0x40);
    const uint32_t start = Clock().TickCount();
    // Parameter 6 is in the set, so every round takes line time.
    while (TicksSince(start, Clock().TickCount()) < ThrottleLearnMs)
        ReadNumbers(context, {23, 6, 45, 46});
    context.Link.Request(0xD1, 0x00);
    ReadNumbers(context, {23, 24, 25, 6, 45, 46});
    return true;
}

} // namespace

TFunctionEnd RunAdaptation(TActuatorContext& context, bool& done) {
    TActuatorState& state = context.State;
    const TEcuIdent& ident = context.Link.Ident;
    done = true;
    AddLog("");
    const TAdaptRow* row = FindRow(state.AdaptMode.load());
    if (!ident.HasServiceFunctions()) {
        state.AdaptMode.store(AdaptNone);
        AddLog(Translate("Сброс адаптации доступен только в системе HFM!"));
        return TFunctionEnd::Stop;
    }
    if (!row) {
        state.AdaptMode.store(AdaptNone);
        return TFunctionEnd::Stop;
    }
    // The Bosch throttle procedure drives the throttle motor of a Bosch unit; another maker's unit is not
    // to be sent it.
    if (row->Mode == AdaptThrottleBosch && ident.Supplier != SupplierBosch) {
        state.AdaptMode.store(AdaptNone);
        AddLog(Translate(BoschThrottleOnlyText));
        return TFunctionEnd::Stop;
    }
    for (const char* line : row->StartLines) {
        if (line)
            LogLine(line);
    }

    TTimedPairs pairs = TTimedPairs::ModeSchedule(context.Link);
    if (OpenSpecialMode(pairs) != SpecialModeOpen) {
        state.AdaptMode.store(AdaptNone);
        for (const char* line : EntryRefused)
            LogLine(line);
        return TFunctionEnd::StopOnError;
    }
    bool stepDone = true;
    switch (row->Step) {
    case TAdaptStep::ResetValues:
        pairs.Send(0xE0, 0x00);
        break;
    case TAdaptStep::DropIdleValues:
        pairs.Send(0xD1, 0x08);
        break;
    case TAdaptStep::LearnThrottle:
        stepDone = LearnThrottle(context);
        pairs.Restart();
        break;
    }

    // Leaving the mode: both answers are the complements.
    if (pairs.Send(0xCF, 0x00) != 0xFF) {
        AddLog("");
        AddLog(Translate(FunctionFailed));
        return TFunctionEnd::Stop;
    }
    if (pairs.Send(0xC0, 0xFC) != SpecialModeOpen) {
        AddLog("");
        AddLog(Translate(FunctionFailed));
        AddLog(Translate(FunctionFailed));
        return TFunctionEnd::Stop;
    }
    // A step that could not run is not reported as done.
    if (!stepDone)
        return TFunctionEnd::Stop;

    pairs.Send(0x10, 0xAA);
    ReadAll(context, row->ReadsBefore);
    for (const char* line : row->DoneLines) {
        if (line)
            LogLine(line);
    }
    if (row->IdlePairsAfter) {
        pairs.SetStep(IdlePairStepMs);
        for (int i = 0; i < IdlePairs; ++i)
            pairs.Send(0x10, 0x00);
    }
    if (row->AsksIgnitionCycle)
        Host().PostMessage(WM_USER + 17, IgnitionCycleBox, 0);
    state.AdaptMode.store(row->NextMode);
    done = row->Done;
    ReadAll(context, row->ReadsAfter);
    return TFunctionEnd::Stop;
}

} // namespace velmora
