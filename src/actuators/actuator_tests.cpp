#include "actuators/actuator_tests.h"

#include "actuators/actuator_channels.h"
#include "actuators/param_reads.h"
#include "actuators/timed_pairs.h"
#include "engine_link/engine_link.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr uint32_t QueueWaitStepMs = 5;
constexpr int QueueWaitSteps = 101;

// The actuator channels' command bytes.
constexpr uint8_t FirstChannel = 0xD0;
constexpr uint8_t LastChannel = 0xDC;
constexpr uint8_t ThrottleCommand = 0xD3;
constexpr uint8_t InjectorsCommand = 0xD2;
constexpr uint8_t IdleCommand = 0xD1;
constexpr uint8_t FanCommand = 0xDC;
// The first command of the test mode sets the 0xD0 channel (camshaft actuators, O2 heater, pump) to its
// entry value.
constexpr uint8_t CamshaftCommand = 0xD0;
// Before the throttle moves, the idle control lets go of it (0x80; the newest units want 0x00).
constexpr uint8_t IdleControlOff = 0x80;
constexpr uint8_t IdleControlOffNewest = 0x00;
// Late units switch the air pump valve (0x01) before the air pump motor (0xD2 bit 0x80) runs.
constexpr uint8_t AirPumpMotor = 0x80;
constexpr uint8_t AirPumpValve = 0x01;
// Parameter 25 carries the unit's status bits; it is read before each command.
constexpr uint16_t StatusParam = 25;
constexpr uint16_t CoolantParam = 0;
// Units with a diagnosis index of 50-59 drive the fan to its rest value on entry.
constexpr uint8_t FanDiagFrom = 50;
constexpr uint8_t FanDiagTo = 59;
constexpr uint8_t FanRest = 0x80;

void PostAct(uint8_t command, uint8_t value) {
    Host().PostMessage(WM_USER + 13, intptr_t(command) * 256 + value, 0);
}

void SendAct(TEngineLink& link, uint8_t command, uint8_t value) {
    link.Request(command, value);
    PostAct(command, value);
}

const char* const EntryRefused[] = {
    "!!!  ОШИБКА ОТВЕТА ECU ПРИ ВХОДЕ В АКТИВАЦИЮ !!!",
    "!!!  НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ, ВЫЖДАТЬ > 10 СЕКУНД,",
    "     ВКЛЮЧИТЬ ЕГО И ПОВТОРИТЬ ПОПЫТКУ ПОДКЛЮЧЕНИЯ К ECU !!!",
};

// The bit-flag parameter that carries the "Activation" bit, if the set has one.
TECUparam* ActivationFlag(const TListParams* params) {
    if (!params)
        return nullptr;
    for (const auto& param : *params) {
        if (param->ParamType == 'X' && param->HasId(ParamId::Activation))
            return param.get();
    }
    return nullptr;
}

} // namespace

bool IsActuatorChannel(uint8_t command) {
    return command >= FirstChannel && command <= LastChannel;
}

bool QueueAct(TActuatorState& state, uint16_t act) {
    for (int i = 0; i < QueueWaitSteps && state.PendingAct.load() != NoAct; ++i)
        Clock().Sleep(QueueWaitStepMs);
    const uint16_t previous = state.PendingAct.exchange(act);
    return previous == NoAct;
}

bool QueueAct(TActuatorState& state, uint8_t command, uint8_t value) {
    return QueueAct(state, uint16_t(command * 256 + value));
}

void ResetActuators(TActuatorContext& context) {
    const bool newest = context.Link.Ident.IsNewestGeneration();
    for (const TActuatorChannel& channel : ActuatorChannels())
        SendAct(context.Link, channel.Command, EntryValue(channel, newest));
    context.State.OutputsChanged.store(false);
}

void SendPendingAct(TActuatorContext& context) {
    uint16_t act = context.State.PendingAct.load();
    if (act == NoAct)
        return;
    // Clears the slot unless the window has queued a newer command meanwhile.
    auto release = [&] { context.State.PendingAct.compare_exchange_strong(act, NoAct); };
    if (act == DiscardAct) {
        release();
        return;
    }
    if (act == ResetAct) {
        release();
        ResetActuators(context);
        return;
    }
    const uint8_t command = uint8_t(act >> 8);
    const uint8_t value = uint8_t(act);
    const TEcuIdent& ident = context.Link.Ident;
    // Only the actuator channels go out through this slot: any other command byte (0xF3 erases the
    // fault memory) is refused.
    if (!IsActuatorChannel(command)) {
        release();
        LogT("Команда %.2X не является командой исполнительного устройства (D0-DC)!", unsigned(command));
        return;
    }
    try {
        ReadNumber(context, StatusParam);
        if (command == ThrottleCommand)
            SendAct(context.Link, IdleCommand,
                    ident.IsNewestGeneration() ? IdleControlOffNewest : IdleControlOff);
        else if (command == InjectorsCommand && value >= AirPumpMotor && ident.IsLateGeneration())
            SendAct(context.Link, IdleCommand, AirPumpValve);
        context.State.OutputsChanged.store(true);
        SendAct(context.Link, command, value);
    } catch (...) {
        release();
        throw;
    }
    release();
}

void EnterActivation(TActuatorContext& context) {
    TActuatorState& state = context.State;
    TEngineLink& link = context.Link;
    const TEcuIdent& ident = link.Ident;
    state.PendingAct.store(NoAct);
    state.OutputsChanged.store(false);
    if (!ident.HasServiceFunctions()) {
        AddLog(Translate("Тест исполнительных устройств доступен только в системе HFM!"));
        state.ActivationOn.store(false);
        return;
    }
    TTimedPairs pairs = TTimedPairs::ModeSchedule(link);
    pairs.Send(0x10, 0xAA);
    pairs.Send(0x10, 0x00);
    if (OpenSpecialMode(pairs) != SpecialModeOpen) {
        state.ActivationOn.store(false);
        for (const char* line : EntryRefused)
            AddLog(Translate(line));
        return;
    }
    pairs.Send(0x10, 0x00);
    if (TECUparam* flag = ActivationFlag(context.Params)) {
        link.ReadParameter(*flag);
        if (flag->BitById(ParamId::Activation) != 1) {
            AddLog("");
            AddLog(Translate("!!!  ОШИБКА ПРИ ВХОДЕ В АКТИВАЦИЮ (Флаг Activation)!!!"));
            state.ActivationOn.store(false);
            return;
        }
    }

    ReadNumber(context, CoolantParam);
    const bool newest = ident.IsNewestGeneration();
    const TActuatorChannel& camshaft = *FindActuatorChannel(CamshaftCommand);
    link.Request(camshaft.Command, EntryValue(camshaft, newest));
    for (const TActuatorChannel& channel : ActuatorChannels()) {
        if (channel.Command == FanCommand && ident.DiagIndex >= FanDiagFrom && ident.DiagIndex <= FanDiagTo)
            link.Request(FanCommand, FanRest);
        PostAct(channel.Command, EntryValue(channel, newest));
    }
    link.Request(0x10, 0x00);
    Host().PostMessage(WM_USER + 11, 0, 0);
}

} // namespace velmora
