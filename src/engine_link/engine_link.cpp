#include "engine_link/engine_link.h"

#include <algorithm>
#include <cmath>

#include "engine_link/exchange_log.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"
#include "links/wifi_port.h"
#include "params/ecu_param.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr int LinkBaud = 9600;
// Read time-outs of the K-line: none between bytes, 1 ms per byte, 300 ms constant.
constexpr int ReadIntervalMs = 0;
constexpr int ReadPerByteMs = 1;
constexpr int ReadConstantMs = 300;
// Bytes asked for per answer: echo and answer; on a retry as many as the line holds.
constexpr int AnswerBytes = 2;
// Tries of a pair whose answer was lost or wrong, and of one that met stray bytes on the line.
constexpr int AnswerAttempts = 3;
constexpr int NoisyLineAttempts = 6;
// Before a pair goes again the line must have been quiet this long (longer than a unit takes to
// answer), but the wait ends after the limit on a line that never falls quiet (ms).
constexpr double QuietLineMs = 20;
// An early answer waits this long beyond the unit's usual time for the unit's own answer behind it (ms).
constexpr double LateAnswerMarginMs = 2;
constexpr double SettleLimitMs = 300;
// An answer later than this after the previous one is reported (ms).
constexpr uint32_t BigTimeoutMs = 999;
// The link counts as silent this long after a reset (ms).
constexpr uint32_t SilentAfterResetMs = 10000;
// RequestTimed waits only for send times within this window (ms).
constexpr uint32_t DueWindowMs = 1000;
// The VIN read and a zero parameter byte each want a pause before them (ms).
constexpr uint32_t VinPauseMs = 100;
constexpr uint32_t ZeroParamPauseMs = 10;
constexpr uint32_t IdleSleepMs = 50;
// On an FTDI cable an LH unit loses bytes sent in some phases of its 41 ms cycle; sends are moved
// out of them (ms).
constexpr double AlignWindowMs = 300;

struct TLeftOutRule {
    uint8_t UnitType;
    bool (*Applies)(uint8_t supplier, uint8_t cmd, uint8_t param);
};

// HFM/PMS from Bosch or Siemens take a lone address above 0x40 as a read with command 0x10; LH
// units supply 0x00, EZ units 0xFF. VDO units never leave the command out.
bool HfmPmsLeftOut(uint8_t supplier, uint8_t cmd, uint8_t param) {
    return (supplier == SupplierBosch || supplier == SupplierSiemens) && cmd == 0x10 && param >= 0x41 &&
           param != 0xAA;
}
constexpr TLeftOutRule LeftOutRules[] = {
    {UnitHfm, HfmPmsLeftOut},
    {UnitPms, HfmPmsLeftOut},
    {UnitLh, [](uint8_t, uint8_t cmd, uint8_t) { return cmd == 0x00; }},
    {UnitEz, [](uint8_t, uint8_t cmd, uint8_t) { return cmd == 0xFF; }},
};

// Waits `ms` on the high-resolution clock without giving the thread away for whole ticks.
void BusyWaitMs(double ms) {
    const double end = Clock().PerfMs() + ms;
    for (double now = Clock().PerfMs(); now < end;) {
        Clock().Sleep(0);
        const double next = Clock().PerfMs();
        // A clock that did not move (virtual time) is moved by a whole tick.
        if (next == now)
            Clock().Sleep(1);
        now = Clock().PerfMs();
    }
}

// Sleeps 1 ms at a time until `dueTick`, when it lies within the next second.
void WaitForDue(uint32_t dueTick, uint32_t stepMs) {
    const uint32_t ahead = TicksSince(Clock().TickCount(), dueTick);
    if (ahead == 0 || ahead > DueWindowMs)
        return;
    while (int32_t(dueTick - Clock().TickCount()) > 0)
        Clock().Sleep(stepMs);
}

} // namespace

bool CommandLeftOut(uint8_t unitType, uint8_t supplier, uint8_t cmd, uint8_t param) {
    for (const TLeftOutRule& rule : LeftOutRules) {
        if (rule.UnitType == unitType)
            return rule.Applies(supplier, cmd, param);
    }
    return false;
}

TEngineLink::TEngineLink(TExchangeLog& log) : Log(log) {
    Reset();
}

void TEngineLink::Reset() {
    Ident = TEcuIdent{};
    ParityCache = ParityNone;
    LastCmdByte = LastParamByte = 0;
    RxCount = 0;
    LastRxTick = Clock().TickCount() - SilentAfterResetMs;
    LastRxMs = 0;
    PostTicks = false;
    SilenceExpected = false;
    Timing.Reset();
    Noise.Reset();
    FailureText.clear();
    ElmState = TElmState{};
    // A stop of the previous connection must not end the waits of this one.
    UserStop().store(false);
}

bool TEngineLink::OpenLinkPort() {
    SetProgressMark(MarkOpenPort);
    ParityCache = ParityNone;
    // A WiFi adapter that stops taking bytes must not hold the worker past the user's Stop.
    SetWiFiSendAbort(&UserStop());
    if (!Line)
        Line = TLineLease::Take(EngineSessionJob);
    if (!Line) {
        FailureText = LineBusyText();
        AddLog(FailureText);
        return false;
    }
    if (!CreatePort(LinkBaud, PortName)) {
        // With the cause and its fix (no permission, held by another program), where the port tells it.
        FailureText = OpenFailureText(PortName);
        AddLog(FailureText);
        return false;
    }
    TBasePort& port = LinkPort();
    Log.SetLineTrace(!UseElm);
    port.SetParams(LinkBaud, ParityNone, OneStopBit);
    port.SetTimeouts(ReadIntervalMs, ReadPerByteMs, ReadConstantMs, 0, 0);
    if (!UseElm)
        return true;
    TElmContext elm = ElmContext();
    if (ElmInit(elm))
        return true;
    FailureText = Translate("Ошибка обмена с ELM327");
    return false;
}

void TEngineLink::CloseLinkPort() {
    if (!Line)
        return;
    // Given back after the port is gone, also when closing it throws.
    TLineLease held = std::move(Line);
    FreePort();
}

TBasePort& TEngineLink::LinkPort() {
    TBasePort* port = Port();
    if (!port)
        throw LinkException(Translate("Порт не открыт"));
    return *port;
}

TElmContext TEngineLink::ElmContext() {
    return TElmContext{LinkPort(), [this](std::string_view line) { Log.AppendText(line); }, UserStop(),
                       ElmState};
}

void TEngineLink::MarkAnswer() {
    LastRxTick = Clock().TickCount();
}

void TEngineLink::PostTick() {
    if (PostTicks)
        Host().PostMessage(WM_USER + 4, intptr_t(Clock().TickCount()), 0);
}

void TEngineLink::SendByte(uint8_t value, bool isCommand) {
    SetProgressMark(MarkSendByte);
    TBasePort& port = LinkPort();
    const uint8_t parity = isCommand ? ParityNone : ParitySpace;
    if (parity != ParityCache) {
        port.SetParity(parity);
        ParityCache = parity;
    }
    (isCommand ? LastCmdByte : LastParamByte) = value;
    if (CurrentPortNumber() == FtdiPortNumber && Ident.UnitType == UnitLh) {
        double dt = Clock().PerfMs() - LastRxMs;
        if (dt < 0 || dt > AlignWindowMs)
            dt = 0;
        const int phase = (int(dt) % 41) % 10;
        if (phase < 2)
            BusyWaitMs(2 - phase);
        else if (phase > 4)
            BusyWaitMs(12 - phase);
    }
    // Taken before the write: a thread held up around the write then only makes the answer look later,
    // never sooner than the unit gave it.
    SentAtMs = Clock().PerfMs();
    // A byte that did not go out shows as a missing echo in ReadAnswer, and the pair goes again.
    port.WriteByte(value);
}

TAnswerVerdict TEngineLink::ReadAnswer(uint8_t expected, bool isCommand, int attempt, TPairTry& pair) {
    SetProgressMark(MarkReadAnswer);
    TBasePort& port = LinkPort();
    TPortBuffer buffer{RxBuf.data(), 0, 0, int32_t(RxBuf.size())};
    RxCount = std::clamp(port.ReadBufEx(buffer, AnswerBytes), 0, int(RxBuf.size()));
    const double elapsedMs = Clock().PerfMs() - SentAtMs;
    if (RxCount == AnswerBytes)
        LastRxMs = Clock().PerfMs();
    const std::span<const uint8_t> bytes(RxBuf.data(), size_t(RxCount));
    pair.Received.insert(pair.Received.end(), bytes.begin(), bytes.end());

    TAnswerVerdict verdict = JudgeAnswer(bytes, expected, isCommand);
    if (verdict != TAnswerVerdict::Lost)
        MarkAnswer();
    bool early = false;
    if (verdict == TAnswerVerdict::Sound) {
        // An answer sooner than this unit has answered so far may be a stray byte in its place: then the
        // unit's own answer still comes behind it.
        early = Timing.Early(isCommand, elapsedMs) && LateAnswerCame(isCommand, pair);
        if (!early) {
            Timing.Learn(isCommand, elapsedMs);
            pair.Sound.insert(pair.Sound.end(), bytes.begin(), bytes.end());
            return verdict;
        }
        verdict = TAnswerVerdict::Stray;
    }
    pair.Strays += early ? 1 : StrayByteCount(bytes, expected, isCommand);
    if (verdict == TAnswerVerdict::Wrong)
        LogT("Ошибка ответа на команду %d", int(expected));

    std::string line = attempt == 1 ? DateTimeText() + " " : std::string();
    line += TranslateFormat("Отправлено: %d ( %s ). Принято :", int(expected), isCommand ? "cmd" : "prm");
    for (uint8_t b : bytes)
        line += " " + std::to_string(b);
    const size_t echo = size_t(std::find(bytes.begin(), bytes.end(), expected) - bytes.begin());
    if (echo == bytes.size())
        line += ", " + Translate("ЭХО не получено!");
    else if (echo + 1 == bytes.size())
        line += ", " + Translate("Нет ответа!");
    if (early)
        line += ", " + TranslateFormat("ответ раньше, чем блок отвечает (%.1f мс)", elapsedMs) + ", " +
                Translate("ответ блока пришел позже");
    if (!SilenceExpected)
        AddLog(line);
    return verdict;
}

bool TEngineLink::LateAnswerCame(bool isCommand, TPairTry& pair) {
    TBasePort& port = LinkPort();
    const double until = SentAtMs + Timing.ShortestMs(isCommand) + LateAnswerMarginMs;
    for (double now = Clock().PerfMs(); port.InQueue() <= 0; now = Clock().PerfMs()) {
        if (now >= until)
            return false;
        port.WaitInput(uint32_t(std::ceil(until - now)));
    }
    TPortBuffer buffer{RxBuf.data(), 0, 0, int32_t(RxBuf.size())};
    const int count = std::clamp(port.ReadBuf(buffer), 0, int(RxBuf.size()));
    pair.Received.insert(pair.Received.end(), RxBuf.begin(), RxBuf.begin() + count);
    return true;
}

void TEngineLink::SettleLine(TPairTry& pair) {
    // Until the line has been quiet for longer than any unit takes to answer, so that a late answer or
    // further noise is not read as the answer of the repeat.
    TBasePort& port = LinkPort();
    const double start = Clock().PerfMs();
    double lastByte = start;
    for (;;) {
        const double now = Clock().PerfMs();
        if (now - lastByte >= QuietLineMs || now - start >= SettleLimitMs)
            break;
        if (!port.WaitInput(uint32_t(std::ceil(QuietLineMs - (now - lastByte)))))
            continue;
        TPortBuffer buffer{RxBuf.data(), 0, 0, int32_t(RxBuf.size())};
        const int count = std::clamp(port.ReadBuf(buffer), 0, int(RxBuf.size()));
        if (count <= 0)
            continue;
        pair.Received.insert(pair.Received.end(), RxBuf.begin(), RxBuf.begin() + count);
        pair.Strays += count;
        lastByte = Clock().PerfMs();
    }
}

void TEngineLink::NoteRepeat(uint8_t cmd, uint8_t param, const TPairTry& pair) {
    // A silence that was expected is no sign of the line.
    if (SilenceExpected && pair.Strays == 0)
        return;
    ++Noise.DroppedPairs;
    Noise.StrayBytes += uint32_t(pair.Strays);
    // The bytes of a pair that was not used stay out of the log of readings, beside it in the trace.
    std::string text = FormatText("repeat %.2X %.2X, received:", unsigned(cmd), unsigned(param));
    for (uint8_t b : pair.Received)
        text += FormatText(" %.2X", unsigned(b));
    Log.AppendText(text);
}

uint8_t TEngineLink::Request(uint8_t cmd, uint8_t param, bool logIt) {
    SetProgressMark(MarkRequest);
    if (UseElm)
        return ElmRequest(cmd, param);
    std::lock_guard lock(PortLock());
    if (cmd == 0xF9 && param == 0x00)
        Clock().Sleep(VinPauseMs);
    const uint32_t sinceAnswer = TicksSince(LastRxTick, Clock().TickCount());
    if (sinceAnswer > BigTimeoutMs && !SilenceExpected)
        LogT("Большой таймаут обмена: %d мс. Запрос: %.4xh", int(sinceAnswer), unsigned(cmd) * 256 + param);
    const uint8_t value =
        LinePair(cmd, param, CommandLeftOut(Ident.UnitType, Ident.Supplier, cmd, param), [&] {
            if (param == 0x00)
                Clock().Sleep(ZeroParamPauseMs);
        });
    PostTick();
    if (logIt)
        AddLog(FormatText("cmd %d, send %d receive %d", int(cmd), int(param), int(value)));
    return value;
}

uint8_t TEngineLink::LinePair(uint8_t cmd, uint8_t param, bool leftOut,
                              const std::function<void()>& beforeParam,
                              const std::function<void()>& beforeCmd) {
    int failures = 0;
    bool straysSeen = false;
    for (int attempt = 1;; ++attempt) {
        TPairTry pair;
        TAnswerVerdict verdict = TAnswerVerdict::Sound;
        if (!leftOut) {
            if (beforeCmd)
                beforeCmd();
            SendByte(cmd, true);
            verdict = ReadAnswer(cmd, true, attempt, pair);
        }
        if (verdict == TAnswerVerdict::Sound) {
            if (beforeParam)
                beforeParam();
            SendByte(param, false);
            verdict = ReadAnswer(param, false, attempt, pair);
        }
        if (verdict == TAnswerVerdict::Sound) {
            Log.AppendReceived(pair.Sound);
            if (attempt > 1)
                AddLog(Translate("Связь восстановлена."));
            return pair.Sound.back();
        }
        // Not a reading: whatever was taken is dropped, the line settles, and the whole pair goes again.
        SettleLine(pair);
        NoteRepeat(cmd, param, pair);
        straysSeen = straysSeen || pair.Strays > 0;
        ++failures;
        // Stray bytes are the line's noise, not the unit's silence: they earn a few more repeats.
        if (failures >= (straysSeen ? NoisyLineAttempts : AnswerAttempts)) {
            if (Noise.StrayBytes > 0)
                throw LinkException(LineDisturbedText() + " " +
                                    Translate("Попытки восстановить связь истекли!"));
            throw LinkException(Translate("Попытки восстановить связь истекли!"));
        }
        if (!SilenceExpected || straysSeen)
            ++Noise.Repeats;
    }
}

std::string TEngineLink::LineDisturbedText() const {
    return TranslateFormat("Помехи на линии K: посторонних байт %d, пар отброшено и повторено %d.",
                           int(Noise.StrayBytes.load()), int(Noise.DroppedPairs.load()));
}

uint8_t TEngineLink::RequestTimed(uint8_t cmd, uint8_t param, uint32_t cmdDueTick, uint32_t paramDueTick) {
    SetProgressMark(MarkRequest);
    if (UseElm) {
        constexpr uint32_t ElmDueStepMs = 16;
        WaitForDue(cmdDueTick, ElmDueStepMs);
        if (ParamList) {
            for (const auto& item : *ParamList) {
                // A table read without a value falls back to the pair, which asks again or fails.
                if (item->CmdHi == cmd && item->CmdLo == param && ReadParameter(*item))
                    return uint8_t(item->RawWord.load() & 0xFF);
            }
        }
        return ElmRequest(cmd, param);
    }
    std::lock_guard lock(PortLock());
    // Timed functions run before and outside the family rules: only the idle-read shortcut applies.
    const bool leftOut = cmd == 0x10 && param > 0x40 && param != 0xAA;
    const uint8_t value = LinePair(
        cmd, param, leftOut, [&] { WaitForDue(paramDueTick, 1); }, [&] { WaitForDue(cmdDueTick, 1); });
    PostTick();
    return value;
}

bool TEngineLink::ReadParameter(TECUparam& param) {
    SetProgressMark(MarkReadParameter);
    if (UseElm && UseElmTables && Ident.UnitType != UnitLh)
        return ElmReadParameter(param);
    const int count = std::clamp(param.DataLength(), 1, 4);
    std::array<uint8_t, 4> bytes{};
    for (int i = 0; i < count; ++i)
        bytes[size_t(i)] = Request(param.CmdHi, uint8_t(param.CmdLo + i));
    SetData(param, bytes, count);
    return true;
}

void TEngineLink::SetData(TECUparam& param, std::array<uint8_t, 4> bytes, int count) {
    if (count == 2 && Ident.HasReversedByteOrder())
        std::swap(bytes[0], bytes[1]);
    param.SetData(bytes[0], bytes[1], bytes[2], bytes[3]);
}

void TEngineLink::KeepAlive(bool force, bool sleepIfIdle) {
    SetProgressMark(MarkKeepAlive);
    if (!force && IdleTime > TicksSince(LastRxTick, Clock().TickCount()) + IdleSleepMs) {
        if (sleepIfIdle)
            Clock().Sleep(IdleSleepMs);
        return;
    }
    Request(IdleCmd, IdleParam);
}

void TEngineLink::PauseAlive(uint32_t ms) {
    const uint32_t start = Clock().TickCount();
    while (TicksSince(start, Clock().TickCount()) < ms)
        KeepAlive(false, true);
}

} // namespace velmora
