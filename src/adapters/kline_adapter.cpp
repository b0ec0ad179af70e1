#include "adapters/kline_adapter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "adapters/module_frame.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

// The sync byte a module answers its address with, and how long it is awaited, ms.
constexpr uint8_t SyncByte = 0x55;
constexpr uint32_t SyncWaitMs = 1500;
constexpr uint32_t SyncPollMs = 20;
// After the sync the key bytes are collected for at most this long, ms, until the text "55 kk kk" is
// whole (8 characters).
constexpr uint32_t KeyBytesWaitMs = 100;
constexpr size_t SyncAndKeysChars = 8;
// The module's first message after the wake-up, ms.
constexpr int FirstMessageWaitMs = 1800;
constexpr int FastAttempts = 3;
// Room for the longest frame the header accepts (MaxPacketLength bytes as hex text): a short string of
// 255 characters would cut a 128-byte frame and make it fail its length check.
constexpr int AnswerBufferChars = 2 * TBaseAdapter::MaxPacketLength;

std::string TimeOfDay() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

int64_t MsToCounts(double ms) {
    return int64_t(std::llround(ms * double(Clock().PerfFrequency()) / 1000.0));
}

} // namespace

void TKLineAdapter::Init(uint8_t address, char connectType, int baud, int parity) {
    TBaseAdapter::Init(address, connectType, baud, parity);
    RequirePort().SetParams(baud, uint8_t(parity), TwoStopBits);
}

bool TKLineAdapter::Connect() {
    return ConnectType == 'F' ? FastConnect() : SlowConnect();
}

void TKLineAdapter::Stamp() {
    LastExchangeCounter = Clock().PerfCounter();
    LastExchangeTick = Clock().TickCount();
}

void TKLineAdapter::LogAttempt(int& reportedInterByte) {
    Log(">" + HexByte(Address) + "     " + TimeOfDay());
    if (InterByteTime != reportedInterByte) {
        Log(TranslateFormat("Межбайтовый интервал: %d мс", InterByteTime));
        reportedInterByte = InterByteTime;
    }
}

void TKLineAdapter::SendFiveBaudAddress() {
    TBasePort& port = RequirePort();
    // Start bit and bits 0-6, least significant first; a 0 bit holds the line low. Each run of 0 bits
    // is one break, each run of 1 bits the release after it. Bit 7 and the stop bit are left high.
    uint32_t low = BitPeriod;
    uint8_t mask = 1;
    while (mask < 0x80) {
        uint32_t high = 0;
        for (; mask < 0x80 && !(Address & mask); mask = uint8_t(mask << 1))
            low += BitPeriod;
        for (; mask < 0x80 && (Address & mask); mask = uint8_t(mask << 1))
            high += BitPeriod;
        port.SetCommBreak();
        Clock().Sleep(low);
        port.ClearCommBreak();
        Clock().Sleep(high);
        low = 0;
    }
}

bool TKLineAdapter::ReadFirstMessage() {
    std::string packet;
    if (!ReceivePacket(packet, AnswerBufferChars, FirstMessageWaitMs, true))
        return false;
    const std::string payload = ParsePacket(packet);
    Ident = payload.size() > 2 ? payload.substr(2) : "";
    bool more = false, failed = false;
    ShowModuleInfo(payload, more, failed);
    return true;
}

bool TKLineAdapter::SlowConnect() {
    TBasePort& port = RequirePort();
    if (!Silent)
        AddLog(Translate("Подключение") + " ...");
    LastSent.clear();
    PrintProtocol();
    LogAttempt(ReportedSlowInterByte);

    SendFiveBaudAddress();
    Stamp();
    LastSent.clear();

    // Whatever comes before the sync (the breaks' framing errors, the echo) is shown as received.
    std::string received;
    bool synced = false;
    uint32_t lastByteTick = Clock().TickCount();
    const uint32_t start = lastByteTick;
    while (!synced && !Aborted() && TicksSince(start, Clock().TickCount()) < SyncWaitMs) {
        if (port.InQueue() <= 0) {
            Clock().Sleep(SyncPollMs);
            continue;
        }
        uint8_t value = 0;
        while (!synced && port.ReadByte(value)) {
            if (value == SyncByte) {
                synced = true;
            } else {
                received += " " + HexByte(value);
                lastByteTick = Clock().TickCount();
            }
        }
    }
    const uint32_t syncTick = Clock().TickCount();
    Log(received.empty() ? Translate("  ЭХО коннекта не получено") : Translate("  Принято:") + received);
    if (!synced)
        return false;

    std::string keys = HexByte(SyncByte);
    const uint32_t keysStart = Clock().TickCount();
    while (keys.size() < SyncAndKeysChars && TicksSince(keysStart, Clock().TickCount()) < KeyBytesWaitMs) {
        uint8_t value = 0;
        if (port.InQueue() > 0 && port.ReadByte(value))
            keys += " " + HexByte(value);
        else
            Clock().Sleep(1);
    }
    LastExchangeTick = Clock().TickCount();
    Log(TranslateFormat("Время ответа ЭБУ: %u ms", unsigned(TicksSince(lastByteTick, syncTick))));
    Log(Translate("  Принято:") + " " + keys);
    ReadFirstMessage();
    return true;
}

bool TKLineAdapter::FastConnect() {
    TBasePort& port = RequirePort();
    if (!Silent)
        AddLog("Connect");
    LastSent.clear();
    for (int attempt = 0; attempt < FastAttempts && !Aborted(); ++attempt) {
        LogAttempt(ReportedFastInterByte);
        port.WriteByte(Address);
        Stamp();
        LastSent = HexByte(Address);
        if (ReadFirstMessage())
            return true;
    }
    return false;
}

void TKLineAdapter::SendPacket(std::string_view request, bool noDelay) {
    const std::vector<uint8_t> frame = BuildModuleFrame(KLineAddress, request);
    if (frame.empty())
        return;
    TBasePort& port = RequirePort();
    LastRequest = std::string(request);
    if (!noDelay)
        Clock().Sleep(uint32_t(std::max(RequestDelay, 0)));
    Clock().WaitUntil(Clock().PerfCounter() + MsToCounts(InterByteTime));

    std::string gaps;
    if (InterByteTime <= 0) {
        port.WritePortEx(frame.data(), int(frame.size()));
    } else {
        // About InterByteTime + 1 ms from one byte to the next, on the counter.
        const int64_t spacing = Clock().PerfFrequency() / (1000 / (InterByteTime + 1));
        int64_t previous = LastExchangeCounter;
        for (uint8_t b : frame) {
            Clock().WaitUntil(previous + spacing);
            const int64_t now = Clock().PerfCounter();
            gaps += "  " + std::to_string(now - previous);
            previous = now;
            port.WriteByte(b);
        }
    }
    Stamp();
    const std::string frameText = HexText(frame);
    LastSent = frameText;
    if (frame[1] >= 0x80)
        Log(std::string(request) + " ответ, пакет: " + frameText);
    else
        Log(frameText);
    if (!gaps.empty())
        Log(gaps);
}

bool TKLineAdapter::ReceivePacket(std::string& packet, int maxLength, int timeoutMs, bool showLog) {
    TBasePort& port = RequirePort();
    const uint32_t timeout = uint32_t(std::clamp(timeoutMs, 0, MaxReceiveMs));
    bool awaitingEcho = LastSent.size() >= 2;
    const uint32_t start = Clock().TickCount();
    uint32_t armed = start;
    std::string echo;
    TFrameScanner scanner(KLineAddress, MaxPacketLength);
    bool complete = false;
    double firstByteMs = 0, endMs = 0;
    bool first = true;
    while (!complete && !Aborted()) {
        if (!first) {
            if (TicksSince(armed, Clock().TickCount()) >= timeout)
                break;
            Clock().Sleep(1);
        }
        first = false;
        uint8_t value = 0;
        while (!complete && port.InQueue() > 0 && port.ReadByte(value)) {
            if (awaitingEcho) {
                echo += HexByte(value);
                if (echo.find(LastSent) != std::string::npos) {
                    if (showLog)
                        Log(echo);
                    LastSent.clear();
                    echo.clear();
                    armed = Clock().TickCount();
                    awaitingEcho = false;
                }
                continue;
            }
            const TFrameScanner::TStep step = scanner.Feed(value);
            if (step.FrameStarted)
                firstByteMs = Clock().PerfMs();
            if (!step.Garbage.empty())
                Log(Translate("  Принят мусор:") + " " + step.Garbage);
            if (!step.Flushed.empty())
                Log(step.Flushed);
            if (step.Complete) {
                complete = true;
                endMs = Clock().PerfMs();
            }
        }
    }
    const uint32_t elapsed = TicksSince(start, Clock().TickCount());
    packet = awaitingEcho ? echo : scanner.Text();
    if (awaitingEcho)
        Log(Translate("Внимание! ЭХО посылки не получено!"));
    if (complete) {
        const double sentMs = double(LastExchangeCounter) * 1000.0 / double(Clock().PerfFrequency());
        Stamp();
        if (showLog)
            Log(packet + TranslateFormat(" (прием пакета %ld ms, период обмена %ld ms)",
                                         std::lround(endMs - firstByteMs), std::lround(endMs - sentMs)));
    } else if (packet.empty()) {
        Log(TranslateFormat("  НЕТ ответа (%u ms)", unsigned(elapsed)));
    } else {
        Log(packet + " ( " + std::to_string(elapsed) + " ms)");
    }
    // Cut on a byte boundary, so that the text stays whole bytes.
    if (int(packet.size()) > maxLength)
        packet.resize(size_t(std::max(maxLength, 0)) & ~size_t(1));
    return complete;
}

bool TKLineAdapter::Exchange(std::string_view request, std::string& answer, int maxLength) {
    SendPacket(request, false);
    std::string packet;
    const bool received = ReceivePacket(packet, AnswerBufferChars, AnswerTimeout, true);
    answer = packet.substr(0, size_t(std::max(maxLength, 0)));
    return received;
}

} // namespace velmora
