#include "line_tests/carsoft_check.h"

#include <array>
#include <atomic>
#include <cstdint>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "lang/translated_format.h"
#include "line_tests/line_port.h"
#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int CarSoftBaud = 19200;
constexpr int LineBaud = 9600;
constexpr uint32_t SettleMs = 100;
// The exchange: reset, sync, version, status, reset, select the engine K-line.
constexpr uint8_t CheckBytes[] = {0xFF, 0x00, 0x63, 0xFE, 0xFF, 0x04};
// Answer collection (ms): poll step; silence after the send that ends the step (longer after a reset
// byte, which the interface needs time for); silence after the last byte once bytes have come.
constexpr uint32_t PollStepMs = 30;
constexpr uint32_t FirstByteWaitMs = 300;
constexpr uint32_t FirstByteWaitAfterResetMs = 355;
constexpr uint32_t AfterLastByteMs = 150;
// A line that keeps sending bytes never falls quiet: the answer to one byte ends after this long, ms.
constexpr uint32_t LongestAnswerMs = 3000;
// What the interface's firmware versions answer to the version byte.
constexpr std::string_view IdentificationTexts[] = {"V9.9  16/99", "WD_8.9/8205/1999"};

// The bytes that come after `sent`, until the interface has been quiet long enough, LongestAnswerMs
// have passed, or `stop` is raised.
std::string CollectAnswer(TBasePort& port, uint8_t sent, const std::atomic<bool>* stop) {
    std::string answer;
    std::array<uint8_t, 256> rx{};
    const uint32_t sentAt = Clock().TickCount();
    uint32_t lastByteAt = sentAt;
    for (;;) {
        Clock().Sleep(PollStepMs);
        const bool stopped = stop && stop->load();
        if (stopped || TicksSince(sentAt, Clock().TickCount()) >= LongestAnswerMs)
            return answer;
        TPortBuffer buffer{rx.data(), 0, 0, int32_t(rx.size())};
        if (port.InQueue() > 0 && port.ReadBuf(buffer) > 0) {
            answer.append(reinterpret_cast<const char*>(rx.data()), size_t(buffer.Count));
            lastByteAt = Clock().TickCount();
            continue;
        }
        const uint32_t now = Clock().TickCount();
        if (answer.empty()) {
            const uint32_t limit = sent == 0xFF ? FirstByteWaitAfterResetMs : FirstByteWaitMs;
            if (TicksSince(sentAt, now) >= limit)
                return answer;
        } else if (TicksSince(lastByteAt, now) >= AfterLastByteMs) {
            return answer;
        }
    }
}

bool Identifies(std::string_view answer) {
    for (std::string_view text : IdentificationTexts)
        if (answer.find(text) != std::string_view::npos)
            return true;
    return false;
}

} // namespace

std::string CarSoftAnswerText(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        const auto b = uint8_t(c);
        if (b >= 0x20 && b < 0x7F)
            text += c;
        else
            text += FormatText("<%.2X>", int(b));
    }
    return text;
}

namespace {

bool RunCarSoftCheck(std::string_view portName, const TLineLease* held, const std::atomic<bool>* stop) {
    LogT("Обмен с адаптером CarSoft 7.4");
    TLinePort port(portName, CarSoftBaud, AdapterTestJob, held);
    if (!port)
        return false;
    port->SetParams(CarSoftBaud, ParityNone, OneStopBit);
    port->SetRTS(false);
    Clock().Sleep(SettleMs);

    TExchangeLog unused;
    TEngineLink link(unused);
    bool identified = false;
    for (uint8_t sent : CheckBytes) {
        if (stop && stop->load())
            break;
        link.SendByte(sent, true);
        const std::string answer = CollectAnswer(*port, sent, stop);
        AddLog(FormatText("%.2x = %s", int(sent), CarSoftAnswerText(answer).c_str()));
        identified = identified || Identifies(answer);
    }
    if (stop && stop->load())
        LogT("Обмен остановлен.");
    else if (identified)
        AddLog("OK!");
    else
        LogT("Ошибка обмена с адаптером или используется обычный k-line адаптер");

    port->SetParams(LineBaud, ParityNone, OneStopBit);
    port->SetRTS(true);
    Clock().Sleep(SettleMs);
    return identified;
}

} // namespace

bool CheckCarSoft(std::string_view portName, const TLineLease* held, const std::atomic<bool>* stop) {
    try {
        return RunCarSoftCheck(portName, held, stop);
    } catch (const PortException& failure) {
        return PortFailed(failure);
    }
}

} // namespace velmora
