// TComReader, state 3: the connection reset, the wake-up and identification, and the start of the
// connection (client check, the unit's parameter set, its colour rules, poll levels and engine-mode
// observer, the fault-memory layout). Worker thread.
#include "actuators/actuator_tests.h"
#include "actuators/adaptation.h"
#include "actuators/coding.h"
#include "connection/address_set_source.h"
#include "connection/client_check.h"
#include "connection/com_reader.h"
#include "engine_link/connection_start.h"
#include "engine_link/link_shared.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/color_rules.h"
#include "params/engine_mode.h"
#include "params/param_list.h"
#include "params/poll_levels.h"
#include "params/unit_codes.h"
#include "platform/host.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr uint32_t StartPauseMs = 300;
// WM_USER+14: the start-up ends.
constexpr intptr_t StartUpEnds = -8;

// What the history keeps of a coding or adaptation run.
std::string CodingText(uint32_t coding) {
    return FormatText("%u %u %u", unsigned(coding >> 16) & 0xFF, unsigned(coding >> 8) & 0xFF,
                      unsigned(coding) & 0xFF);
}
std::string AdaptationText(uint8_t mode) {
    switch (mode) {
    case AdaptResetPhase1:
        return "reset";
    case AdaptResetPhase2:
        return "reset2";
    default:
        return "throttle";
    }
}

} // namespace

void TComReader::ResetConnection() {
    // The observer watches the set: it goes first.
    ModeObserver.reset();
    Link.ParamList = nullptr;
    Link.Reset();
    // A coding run reads no VIN during the identification.
    Link.CodingPending = Actuators.CodingPending != 0;
    {
        std::lock_guard lock(SharedLock);
        Set.reset();
        Trip.TripReset(nullptr, 0);
        AddrSet.reset();
        PublishedIdent = TEcuIdent{};
        LastFailureText.clear();
        Faults.SetRule({});
        FaultReads.clear();
        AgreedFaults = TFaultBuf{};
        FaultDisagreement.clear();
    }
    HasParams = false;
    Cursor.Reset();
    Cursor.CycleTick = 0;
    PriorityParam = NoPriority;
    FaultTick = 0;
    ShortTick = 0;
    LastFaultReadTick = 0;
    RangeDone = 0;
    RangeProgress = 0;
    StopReason.clear();
    ResetColorRules();
    // An actuator command queued while no connection ran belongs to none: it is not sent to this unit.
    Actuators.PendingAct = NoAct;
}

void TComReader::RunConnect() {
    ResetConnection();
    ConnectionOpen = true;
    if (!Link.OpenLinkPort() || !Link.WakeUp()) {
        // The wake-up has logged its own reason; one that the user ended is a user stop.
        std::lock_guard lock(SharedLock);
        LastFailureText = Link.FailureText;
        const bool userStop = StopAsked || UserStop().load();
        CurrentState = userStop ? ReaderState::StoppedByUser : ReaderState::StoppedOnError;
        // The stop text repeats why: the port, the adapter or the unit, in words.
        if (!userStop)
            StopReason = Link.FailureText;
        return;
    }
    StartConnection();
}

void TComReader::StartConnection() {
    CurrentState = ReaderState::RangeRead;
    const TStartResult start = StartIdentified(Link, Log);
    {
        std::lock_guard lock(SharedLock);
        PublishedIdent = Link.Ident;
    }
    if (start != TStartResult::Ready) {
        CurrentState = ReaderState::StoppedByUser;
        return;
    }
    if (Events)
        Events->SessionStarted(Link.Ident, Settings.Client, Settings.PortName, Log.LogPath());
    // A coding run goes on after a failed client check: it ends the connection anyway.
    if (!ClientCheckPassed() && Actuators.CodingPending == 0)
        return;

    Link.KeepAlive(true, false);
    LoadParams();
    AddLog(Translate(CanEraseFaults(Link.Ident.UnitType, Link.Ident.DiagIndex)
                         ? " Доступно: чтение/стирание ошибок"
                         : " Доступно: чтение ошибок (стирание этим блоком не поддерживается)"));
    if (HasParams) {
        AddLog(Translate(" Доступно: параметры работы блока"));
    } else {
        AddLog(" ");
        AddLog(Translate("ЖДИТЕ!"));
    }
    Link.PauseAlive(StartPauseMs);
    {
        std::lock_guard lock(SharedLock);
        Faults.SetRule({Link.Ident.UnitType == UnitLh, Link.Ident.HasPmsFaultMap()});
    }
    StartFunctions();
    Post(2, 0);
    Host().PostMessage(WM_USER + 14, StartUpEnds, 0);
    ReloadParamList();
    // A replay counts its values from here, as a live watch does.
    if (CurrentState == ReaderState::Polling)
        Log.MarkPollingBegan();
}

TActuatorContext TComReader::ActuatorContext() {
    return TActuatorContext{Link, Actuators, Set.get()};
}

void TComReader::StartFunctions() {
    TActuatorContext context = ActuatorContext();
    const uint8_t adapt = Actuators.AdaptMode;
    const bool adaptation = adapt == AdaptResetPhase1 || adapt == AdaptResetPhase2 ||
                            adapt == AdaptThrottle || adapt == AdaptThrottleBosch;
    uint8_t after = ReaderState::StoppedByUser;
    if (Actuators.CodingPending != 0) {
        // The coding request belongs to this connection, whatever its outcome: a failed attempt must not
        // turn every later connection into a coding run.
        const uint32_t coding = Actuators.CodingPending;
        try {
            RunCoding(context);
        } catch (...) {
            Actuators.CodingPending = 0;
            if (Events)
                Events->FunctionRun("coding", CodingText(coding), false);
            throw;
        }
        Actuators.CodingPending = 0;
        if (Events)
            Events->FunctionRun("coding", CodingText(coding), true);
    } else if (adaptation) {
        // Whether the user must cycle the ignition is the function's own message to the window. A
        // function cut short by the link is not carried over to the next connection.
        bool done = true;
        try {
            if (RunAdaptation(context, done) == TFunctionEnd::StopOnError) {
                after = ReaderState::StoppedOnError;
                StopReason = Translate(SpecialModeRefusedReason);
            }
        } catch (...) {
            Actuators.AdaptMode = AdaptNone;
            if (Events)
                Events->FunctionRun("adaptation", AdaptationText(adapt), false);
            throw;
        }
        if (Events)
            Events->FunctionRun("adaptation", AdaptationText(adapt), after != ReaderState::StoppedOnError);
    } else {
        after = ReaderState::Polling;
    }
    CurrentState = after;
    // A request the window made while the start ran (a stop, the fault view, a screen) is honoured now.
    SetOwnNextState(ReaderState::Connect, after);
    if (after == ReaderState::Polling && Actuators.ActivationOn && NextState != ReaderState::StoppedByUser)
        EnterActivation(context);
}

bool TComReader::ClientCheckPassed() {
    if (CheckClient(Settings.Client, ClientCheckLine(Link.Ident)) != TClientCheck::Differs)
        return true;
    AddLog(" ");
    StopReason = Translate("ОШИБКА выбора клиента! Повторите выбор клиента или создайте нового!");
    AddLog(StopReason);
    AddLog(" ");
    NextState = ReaderState::StoppedOnError;
    Host().PostMessage(WM_USER + 14, StartUpEnds, 0);
    return false;
}

void TComReader::LoadParams() {
    const TEcuIdent& ident = Link.Ident;
    ModeObserver.reset();
    auto set = std::make_shared<TListParams>();
    set->LoadBuiltinSet(ident.UnitType, ident.VariantLetter);
    set->AssignColorRules(ident.UnitType, ident.Supplier, ident.DiagIndex);
    AssignPollLevels(*set, ident.UnitType, false);
    AddPeriodParams(*set);
    std::shared_ptr<TListParams> addresses = LoadAddressSet(ident, Utf8Path(Log.LogPath()).parent_path());
    {
        std::lock_guard lock(SharedLock);
        Set = set;
        AddrSet = std::move(addresses);
    }
    Link.ParamList = set.get();
    ModeObserver = std::make_unique<TEngineModeObserver>(*set, ident.UnitType);
    ResetTrip();
    Cursor.Reset();
    HasParams = set->Count() > 0;
    if (HasParams)
        Post(16, 0);
}

void TComReader::ReloadParamList() {
    // The polling walk starts over at the first record of the set.
    Cursor.Reset();
}

} // namespace velmora
