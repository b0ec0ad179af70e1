// The wake-up of the engine unit: on a KKL cable a break and a slow exchange of single bytes one second
// apart, through an ELM327 the adapter's own command; then the identification.

#include "engine_link/engine_link.h"
#include "engine_link/ident_reader.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/base_port.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr int LinkBaud = 9600;
// The first wake-up byte leaves this long after the break began; the others follow a second apart (ms).
constexpr uint32_t FirstByteMs = 390;
constexpr uint32_t ByteSpacingMs = 1000;
constexpr uint32_t AfterBreakMs = 100;
constexpr uint32_t AfterSendMs = 10;
constexpr uint32_t EchoTimeoutMs = 800;
constexpr uint32_t LongestSendWaitMs = 1500;
constexpr uint32_t EchoPollMs = 10;

// 0xAA opens and closes the exchange; units that do not answer the first 0xAA wait for the 0x00 pair.
constexpr uint8_t WakeBytes[] = {0xAA, 0x00, 0x00, 0xAA};

// The failure by what came back: below 0 no echo at all, 0 only the echoes, above 0 wrong answers.
struct TWakeFailure {
    int MaxBalance;
    const char* Text;
};
constexpr TWakeFailure WakeFailures[] = {
    {-1, "ОШИБКА! Адаптер K-LINE не подключен, либо неисправен!"},
    {0, "ОШИБКА! ECU не отвечает!"},
    {INT32_MAX, "ОШИБКА! Сбой коннекта!"},
};

const char* WakeFailureText(int balance) {
    for (const TWakeFailure& row : WakeFailures) {
        if (balance <= row.MaxBalance)
            return row.Text;
    }
    return WakeFailures[std::size(WakeFailures) - 1].Text;
}

uint32_t TickEdge() {
    const uint32_t before = Clock().TickCount();
    while (Clock().TickCount() == before)
        Clock().Sleep(1);
    return Clock().TickCount();
}

} // namespace

bool TEngineLink::WakeUp() {
    SetProgressMark(MarkWakeUp);
    FailureText.clear();
    if (!(UseElm ? WakeUpElm() : WakeUpKkl()))
        return false;
    AfterWakeUp();
    return true;
}

bool TEngineLink::WakeUpKkl() {
    TBasePort& port = LinkPort();
    AddLog("Connect...");
    const uint32_t t0 = TickEdge();
    const double q0 = Clock().PerfMs();

    port.SetCommBreak();
    Clock().Sleep(uint32_t(KLineBreakMs.load()));
    port.ClearCommBreak();
    AddLog(Translate("Передача: ____") + " [" + std::to_string(int(Clock().PerfMs() - q0 + 0.5)) + " ms]");
    port.SetParams(LinkBaud, ParitySpace, OneStopBit);
    ParityCache = ParitySpace;
    Clock().Sleep(AfterBreakMs);

    int balance = 0;
    uint32_t due = t0 + FirstByteMs;
    UserStop().store(false);
    bool awake = false;
    for (size_t attempt = 0; attempt < std::size(WakeBytes) && !awake; ++attempt) {
        const uint8_t sent = WakeBytes[attempt];
        SendByteAt(sent, due);
        AddLog(std::to_string(TicksSince(t0, Clock().TickCount())));
        --balance;
        due += ByteSpacingMs;
        Clock().Sleep(AfterSendMs);
        LogT("Передача: %d", int(sent));
        const TEchoResult echo = ReadEcho(sent, EchoTimeoutMs);
        if (echo.AnyByte)
            balance += echo.LastByte == sent ? 1 : 2;
        if (echo.LastByte == 0xFF - sent) {
            if (sent == 0xAA)
                awake = true;
            else if (attempt == 2)
                due -= ByteSpacingMs; // the unit answered the 0x00 pair: the closing 0xAA goes at once
        }
        if (UserStop().load())
            break;
    }
    if (!awake) {
        AddLog("");
        FailureText = Translate(WakeFailureText(balance));
        // Bytes that were nobody's answer point at the line rather than the unit.
        if (Noise.StrayBytes > 0)
            FailureText += " " + LineDisturbedText();
        AddLog(FailureText);
        return false;
    }
    MarkAnswer();
    LogT("Connect time %d ms", int(TicksSince(t0, Clock().TickCount())));
    AddLog(DateTimeText());
    Host().PostMessage(WM_USER + 1, 0, 0);
    return true;
}

bool TEngineLink::WakeUpElm() {
    SetProgressMark(MarkElmWakeUp);
    Host().PostMessage(WM_USER + 1, 0, 0);
    TElmContext elm = ElmContext();
    if (!ElmConnectEngine(elm)) {
        FailureText = Translate(ElmConnectFailure);
        return false;
    }
    MarkAnswer();
    return true;
}

void TEngineLink::AfterWakeUp() {
    PostTicks = true;
    SetProgressMark(MarkIdentify);
    Identify(
        Ident, [this](uint8_t cmd, uint8_t param) { return Request(cmd, param); }, CodingPending);
}

void TEngineLink::SendByteAt(uint8_t value, uint32_t dueTick) {
    SetProgressMark(MarkSendByte);
    TickEdge();
    const int32_t ahead = int32_t(dueTick - Clock().TickCount());
    if (ahead > 0)
        Clock().Sleep(std::min(uint32_t(ahead), LongestSendWaitMs));
    TBasePort& port = LinkPort();
    if (ParityCache != ParitySpace) {
        port.SetParity(ParitySpace);
        ParityCache = ParitySpace;
    }
    LastParamByte = value;
    port.WriteByte(value);
}

TEchoResult TEngineLink::ReadEcho(uint8_t expectedEcho, uint32_t timeoutMs) {
    SetProgressMark(MarkReadEcho);
    TBasePort& port = LinkPort();
    TEchoResult result;
    bool echoSeen = false, answered = false, extra = false, anyBefore = false;
    std::string received = Translate("Внимание! Принято байт, больше чем ожидалось:");
    const uint32_t start = Clock().TickCount();
    while (!answered && TicksSince(start, Clock().TickCount()) < timeoutMs) {
        if (port.InQueue() <= 0) {
            Clock().Sleep(EchoPollMs);
            continue;
        }
        TPortBuffer buffer{RxBuf.data(), 0, 0, int32_t(RxBuf.size())};
        const int count = std::clamp(port.ReadBuf(buffer), 0, int(RxBuf.size()));
        for (int i = 0; i < count; ++i) {
            const uint8_t b = RxBuf[size_t(i)];
            received += " " + std::to_string(b);
            if (answered) {
                extra = true; // bytes behind the answer in the same read
                continue;
            }
            const bool first = !anyBefore;
            anyBefore = true;
            if (echoSeen && b == uint8_t(0xFF - expectedEcho)) {
                answered = true;
                result.LastByte = b;
                LogT("Принято (ответ): %d", int(b));
            } else if (echoSeen) {
                // Not the unit's answer to this byte: a stray one, and the answer may still come.
                extra = true;
                result.LastByte = b;
                ++Noise.StrayBytes;
            } else if (first && b == 0x00 && expectedEcho == 0xAA) {
                // the trailing edge of the break
            } else if (b == expectedEcho) {
                echoSeen = true;
                result.LastByte = b;
                LogT("Принято (ЭХО): %d", int(b));
            } else {
                // Nothing comes before the echo of our own byte but the line's noise.
                extra = true;
                result.LastByte = b;
                ++Noise.StrayBytes;
            }
        }
    }
    if (!echoSeen)
        AddLog(Translate("Внимание! ЭХО посылки не получено!"));
    if (extra)
        AddLog(received);
    result.AnyByte = echoSeen || answered || extra;
    return result;
}

} // namespace velmora
