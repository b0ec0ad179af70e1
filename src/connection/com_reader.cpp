// TComReader: settings, the window's requests, the cycle of the state machine, the end of a connection
// and the thread with its suspension between connections.
#include "connection/com_reader.h"

#include <algorithm>
#include <charconv>

#include "actuators/actuator_tests.h"
#include "engine_link/link_shared.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"
#include "params/engine_mode.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr uint32_t DefaultConnectLostMs = 1200;
constexpr uint32_t DefaultIdleMs = 1000;
constexpr uint32_t MinIdleMs = 500;
// The idle time stays this far below the connection-lost time (ms).
constexpr uint32_t IdleMarginMs = 500;
constexpr size_t MaxIdleParamChars = 10;
constexpr uint32_t AtpcTimeoutMs = 3000;
// ReadRange: first deadline, deadline after each progress, sleep between looks (ms).
constexpr uint32_t RangeFirstDeadlineMs = 500;
constexpr uint32_t RangeProgressDeadlineMs = 200;
constexpr uint32_t RangePollMs = 5;
// WaitReady: sleep between looks and the give-up time (ms).
constexpr uint32_t ReadyPollMs = 100;
constexpr uint32_t ReadyTimeoutMs = 10000;
// CM_SHOW_MESSAGE: the connection stopped.
constexpr intptr_t ConnectionStopped = 0x80;

uint32_t ClampIdle(uint32_t idle, uint32_t connectLost) {
    return std::min(std::max(idle, MinIdleMs), connectLost - IdleMarginMs);
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal byte, or nothing.
std::optional<uint8_t> ByteFrom(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 || value > 255)
        return std::nullopt;
    return uint8_t(value);
}

} // namespace

uint32_t ConnectLostTimeFrom(int ms) {
    return ms >= 700 && ms <= 1500 ? uint32_t(ms) : DefaultConnectLostMs;
}

uint32_t IdleTimeFrom(int ms, uint32_t connectLostTime) {
    return ClampIdle(ms >= 100 && ms <= 900 ? uint32_t(ms) : DefaultIdleMs, connectLostTime);
}

std::pair<uint8_t, uint8_t> IdleCmdFrom(std::string_view text) {
    text = Trim(text);
    const size_t blank = text.find(' ');
    const std::string_view cmdText = Trim(text.substr(0, blank));
    const std::string_view paramText = blank == std::string_view::npos
                                           ? std::string_view("0")
                                           : Trim(text.substr(blank + 1, MaxIdleParamChars));
    const std::optional<uint8_t> cmd = ByteFrom(cmdText);
    const std::optional<uint8_t> param = ByteFrom(paramText);
    if (!cmd || !param)
        return {0x10, 0x00};
    return {*cmd, *param};
}

TComReader::TComReader() = default;

TComReader::~TComReader() {
    Terminate();
}

void TComReader::SetIdleTime(int ms) {
    IdleTimeMs = IdleTimeFrom(ms, ConnectLostMs);
}

void TComReader::SetConnectLostTime(int ms) {
    ConnectLostMs = ConnectLostTimeFrom(ms);
    IdleTimeMs = ClampIdle(IdleTimeMs, ConnectLostMs);
}

void TComReader::SetIdleCmd(std::string_view text) {
    const auto [cmd, param] = IdleCmdFrom(text);
    IdleCmdPair = uint16_t(cmd << 8 | param);
}

bool TComReader::IsAliveAt(uint8_t state) const {
    // A connection stopped on error has ended as much as one the user stopped: the window may connect
    // again at once.
    if (state <= ReaderState::Connect)
        return false;
    // The worker may store a newer tick meanwhile: take it before "now", so the difference cannot wrap.
    const uint32_t lastRx = Link.LastRxTick;
    const uint32_t silence = TicksSince(lastRx, Clock().TickCount());
    return silence <= (Link.UseElm ? ElmLostMs : ConnectLostMs.load());
}

bool TComReader::IsAlive() const {
    return IsAliveAt(CurrentState);
}

bool TComReader::InConnection() const {
    std::lock_guard lock(ResumeLock);
    return !Suspended;
}

bool TComReader::WriteNextState(uint8_t state) {
    if (!IsAlive())
        return false;
    NextState = state;
    return true;
}

bool TComReader::RequestStop() {
    // The flag ends a wake-up in progress, when no state request is taken yet; StopAsked keeps the
    // request for the end of the start, which the flag alone does not reach.
    UserStop().store(true);
    StopAsked = true;
    if (!IsAlive())
        return false;
    NextState = ReaderState::StoppedByUser;
    return true;
}

bool TComReader::RequestPolling() {
    return WriteNextState(ReaderState::Polling);
}

bool TComReader::RequestFaultView() {
    return WriteNextState(ReaderState::FaultView);
}

bool TComReader::RequestErase() {
    return WriteNextState(ReaderState::Erase);
}

bool TComReader::RequestSmoothness() {
    return WriteNextState(ReaderState::Smoothness);
}

bool TComReader::RequestMeasure() {
    return WriteNextState(ReaderState::Measure);
}

bool TComReader::RequestViewList(std::shared_ptr<TListPrm> list, TViewKind kind) {
    if (!IsAlive())
        return false;
    {
        std::lock_guard lock(ViewLock);
        PendingView = std::move(list);
        PendingKind = kind;
        ViewHandedOver = true;
    }
    NextState = ReaderState::ViewPolling;
    return true;
}

void TComReader::SetOwnNextState(uint8_t during, uint8_t next) {
    if (next == ReaderState::StoppedByUser || next == ReaderState::StoppedOnError) {
        NextState = next;
        return;
    }
    if (StopAsked) {
        NextState = ReaderState::StoppedByUser;
        return;
    }
    NextState.compare_exchange_strong(during, next);
}

void TComReader::DeferBackgroundReads(int seconds, bool keepShortTimer) {
    DeferSeconds = seconds;
    DeferKeepShort = keepShortTimer;
    DeferPending = true;
}

bool TComReader::ReadRange(uint8_t cmd, uint8_t from, uint8_t to, std::array<uint8_t, 256>& out,
                           const std::function<void()>& pump) {
    // A range read that timed out may still be running on the worker: a new one would get its bytes.
    if (!IsAlive() || (CurrentState == ReaderState::RangeRead && RangeDone != 255))
        return false;
    RangeCmd = cmd;
    RangeFrom = from;
    RangeTo = to;
    RangeProgress = 0;
    RangeDone = 0;
    NextState = ReaderState::RangeRead;
    uint32_t deadline = Clock().TickCount() + RangeFirstDeadlineMs;
    uint32_t progressSeen = 0;
    for (;;) {
        if (pump)
            pump();
        if (RangeDone == 255)
            break;
        const uint32_t now = Clock().TickCount();
        if (const uint32_t progress = RangeProgress; progress != progressSeen) {
            progressSeen = progress;
            deadline = now + RangeProgressDeadlineMs;
        }
        if (int32_t(now - deadline) > 0)
            throw LinkException(Translate("Истек таймаут чтения!"));
        Clock().Sleep(RangePollMs);
    }
    // RangeDone was stored after the last byte, so the buffer is complete here.
    {
        std::lock_guard lock(SharedLock);
        if (!RangeDisagreement.empty())
            throw LinkException(RangeDisagreement);
    }
    out = RangeBuf;
    return true;
}

bool TComReader::WaitReady(const std::function<void()>& pump) {
    const uint32_t start = Clock().TickCount();
    for (;;) {
        const uint8_t state = CurrentState;
        if (state < ReaderState::Connect || state == ReaderState::Polling)
            break;
        if (TicksSince(start, Clock().TickCount()) >= ReadyTimeoutMs) {
            AddLog("WaitIdle exit on timeout!");
            break;
        }
        if (pump)
            pump();
        Clock().Sleep(ReadyPollMs);
    }
    return CurrentState == ReaderState::Polling;
}

std::string TComReader::StopText() const {
    std::lock_guard lock(SharedLock);
    return LastStopText;
}

std::string TComReader::FailureText() const {
    std::lock_guard lock(SharedLock);
    return LastFailureText;
}

TEcuIdent TComReader::Ident() const {
    std::lock_guard lock(SharedLock);
    return PublishedIdent;
}

std::shared_ptr<const TListParams> TComReader::Params() const {
    std::lock_guard lock(SharedLock);
    return Set;
}

std::shared_ptr<const TListParams> TComReader::AddressSet() const {
    std::lock_guard lock(SharedLock);
    return AddrSet;
}

TFaultBuf TComReader::FaultBuffer() const {
    std::lock_guard lock(SharedLock);
    return AgreedFaults;
}

std::string TComReader::FaultReadDisturbed() const {
    std::lock_guard lock(SharedLock);
    return FaultDisagreement;
}

TFaultContext TComReader::FaultContext() const {
    std::lock_guard lock(SharedLock);
    return TFaultContext{PublishedIdent.UnitType, PublishedIdent.Supplier, PublishedIdent.DiagIndex,
                         PublishedIdent.VariantLetter, PublishedIdent.HasPmsFaultMap()};
}

void TComReader::Post(uint32_t n, intptr_t wParam) {
    Host().PostMessage(WM_USER + n, wParam, 0);
}

void TComReader::PrepareConnect(const TConnectSettings& settings) {
    Settings = settings;
    // As the connect command does: the log starts as "tmp001.bin" until the unit is named.
    Log.ClearLogName();
    Log.SetClient(settings.Client);
    Log.EnableLog();
    Link.PortName = settings.PortName;
    Link.UseElm = settings.Adapter == 'E';
    Link.UseElmTables = Link.UseElm && !settings.ElmAsKkl;
    Actuators.ActivationOn = settings.ActivationOn;
    StopAsked = false;
    CurrentState = ReaderState::Connect;
    NextState = ReaderState::Connect;
}

bool TComReader::Connect(const TConnectSettings& settings) {
    if (IsAlive())
        return false;
    std::unique_lock lock(ResumeLock);
    // A wake-up in progress is a connection already: waiting for it to suspend would hold the window
    // for the whole of that connection.
    if (!Suspended && CurrentState == ReaderState::Connect)
        return false;
    // The thread may still be ending the last connection (a few seconds at most): its fields are its own
    // until it suspends.
    ResumeSignal.wait(lock, [this] { return Suspended; });
    if (Terminated)
        return false;
    PrepareConnect(settings);
    Suspended = false;
    Resumed = true;
    if (!Thread.joinable())
        Thread = std::thread(&TComReader::ThreadLoop, this);
    ResumeSignal.notify_all();
    return true;
}

void TComReader::ThreadLoop() {
    for (;;) {
        {
            std::unique_lock lock(ResumeLock);
            ResumeSignal.wait(lock, [this] { return Resumed || Terminated; });
            Resumed = false;
            if (Terminated)
                break;
        }
        while (!Terminated && Step()) {
        }
        std::lock_guard lock(ResumeLock);
        Suspended = true;
        ResumeSignal.notify_all();
        if (Terminated)
            break;
    }
    // A connection cut short by the end of the program still frees its port.
    if (CurrentState != ReaderState::Terminate)
        Step();
}

void TComReader::Terminate() {
    {
        std::lock_guard lock(ResumeLock);
        Terminated = true;
        ResumeSignal.notify_all();
    }
    UserStop().store(true);
    if (Thread.joinable())
        Thread.join();
    if (CurrentState != ReaderState::Terminate)
        Step();
}

bool TComReader::Step() {
    if (DeferPending.exchange(false))
        ApplyDeferral(DeferSeconds, DeferKeepShort);
    Link.IdleTime = IdleTimeMs;
    Link.IdleCmd = uint8_t(IdleCmdPair >> 8);
    Link.IdleParam = uint8_t(IdleCmdPair & 0xFF);

    PrevState = CurrentState;
    const uint8_t state = Terminated ? ReaderState::Terminate : NextState.load();
    CurrentState = state;
    if (state == ReaderState::Terminate) {
        // Only the port of a running connection is the worker's to free.
        if (ConnectionOpen) {
            ConnectionOpen = false;
            ReturnActuators();
            try {
                Link.CloseLinkPort();
            } catch (const std::exception& error) {
                AddLog(error.what());
            }
        }
        Log.FlushLog();
        if (Events)
            Events->SessionEnded({}); // a visit cut short by closing is still recorded
        return false;
    }
    try {
        if (state == ReaderState::Polling || state == ReaderState::ViewPolling) {
            TActuatorContext context = ActuatorContext();
            const uint16_t act = Actuators.PendingAct.load();
            SendPendingAct(context);
            if (Events && act != NoAct && act != DiscardAct && IsActuatorChannel(uint8_t(act >> 8)))
                Events->FunctionRun("actuator",
                                    FormatText("%.2X %u", unsigned(act >> 8), unsigned(act & 0xFF)), true);
        }
        RunState(state);
    } catch (const std::exception& error) {
        // A stop the user asked for ends the ELM327's waits with an error of their own: that is still
        // the user's stop (and its closing ATPC), not a lost link.
        if (StopAsked) {
            CurrentState = ReaderState::StoppedByUser;
        } else {
            CurrentState = ReaderState::StoppedOnError;
            StopReason = FailureReason(error);
        }
    }
    const uint8_t now = CurrentState;
    if (now == ReaderState::StoppedByUser || now == ReaderState::StoppedOnError || !IsAliveAt(now)) {
        EndConnection();
        return false;
    }
    return true;
}

void TComReader::RunState(uint8_t state) {
    switch (state) {
    case ReaderState::Connect:
        RunConnect();
        break;
    case ReaderState::RangeRead:
        RangeStep();
        break;
    case ReaderState::Polling:
        PollingStep();
        break;
    case ReaderState::FaultView:
        FaultViewStep();
        break;
    case ReaderState::Erase:
        EraseStep();
        break;
    case ReaderState::ViewPolling:
        ViewPollingStep();
        break;
    case ReaderState::Smoothness:
        if (!SmoothnessStep())
            PollingStep();
        break;
    case ReaderState::Measure:
        if (!MeasureStep())
            PollingStep();
        break;
    default: // the stop states: the cycle ends the connection
        break;
    }
}

void TComReader::ReturnActuators() {
    if (!Actuators.OutputsChanged.load())
        return;
    // The user-stop flag has ended the wait in progress; it would abort these commands as well.
    UserStop().store(false);
    try {
        TActuatorContext context = ActuatorContext();
        ResetActuators(context);
        AddLog(Translate("Исполнительные устройства возвращены в штатное состояние."));
    } catch (const std::exception&) {
        // The unit's own time-out is no plan: the user is told to end the test mode by the ignition.
        Actuators.OutputsChanged.store(false);
        AddLog(Translate("Не удалось вернуть исполнительные устройства в штатное состояние: выключите "
                         "зажигание."));
    }
}

void TComReader::EndConnection() {
    ReturnActuators();
    const uint8_t state = CurrentState;
    if (Link.UseElm && state == ReaderState::StoppedByUser) {
        // The user-stop flag has done its work (ending a wait in progress); it would abort this command.
        UserStop().store(false);
        if (!Link.ElmCommandOk("ATPC", "OK", AtpcTimeoutMs))
            AddLog(Translate("ELM327 ошибка выполнения ATPC!"));
    }
    std::string text;
    if (state == ReaderState::StoppedByUser)
        text = Translate("Обмен остановлен.");
    else
        text = TranslateFormat("Связь прервана!!! Время простоя %d мс",
                               int(TicksSince(Link.LastRxTick, Clock().TickCount())));
    // The reason belongs to a stop on error; a function that went on past it (coding after a failed
    // client check) ends as the user's stop.
    if (state == ReaderState::StoppedOnError)
        text += ", StopOnError: " + StopReason;
    // A noisy line is named, with its counts, in the stop line and in the trace beside the log.
    if (Link.Noise.DroppedPairs > 0) {
        const std::string noise = Link.LineDisturbedText();
        Log.AppendText(noise);
        if (text.find(noise) == std::string::npos)
            text += " " + noise;
    }
    AddLog(text);
    AddLog(" ");
    AddLog(" ");
    StopReason.clear();
    {
        std::lock_guard lock(SharedLock);
        LastStopText = text;
    }
    if (ModeObserver)
        ModeObserver->Reset();
    Post(17, ConnectionStopped);
    try {
        Link.CloseLinkPort(); // only a port this connection opened: a refused one belongs to another job
    } catch (const std::exception& error) {
        AddLog(error.what()); // a port that vanished may fail its close; the object is gone all the same
    }
    ConnectionOpen = false;
    Post(3, 0);
    Log.FlushLog();
    if (Events)
        Events->SessionEnded(text);
    {
        std::lock_guard lock(ViewLock);
        PendingView.reset();
        ViewHandedOver = false;
    }
    CurrentView.reset();
    NextState = ReaderState::Connect;
}

} // namespace velmora
