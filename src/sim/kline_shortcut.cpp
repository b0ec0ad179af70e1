#include "sim/kline_shortcut.h"

#include <algorithm>
#include <vector>

#include "links/base_port.h"

namespace velmora {

namespace {

// Collects what reaches the receiver until `count` bytes came or the deadline passed.
std::vector<uint8_t> Collect(TKLineBus& bus, size_t count, double& nowMs, double deadlineMs) {
    std::vector<uint8_t> bytes;
    for (;;) {
        for (const TRxByte& b : bus.Receive(nowMs))
            bytes.push_back(b.Value);
        if (bytes.size() >= count || nowMs >= deadlineMs)
            return bytes;
        nowMs = std::min(std::max(bus.NextEventMs(), nowMs), deadlineMs);
    }
}

// The same with the time each byte arrived.
std::vector<TRxByte> CollectTimed(TKLineBus& bus, size_t count, double& nowMs, double deadlineMs) {
    std::vector<TRxByte> bytes;
    for (;;) {
        for (const TRxByte& b : bus.Receive(nowMs))
            bytes.push_back(b);
        if (bytes.size() >= count || nowMs >= deadlineMs)
            return bytes;
        nowMs = std::min(std::max(bus.NextEventMs(), nowMs), deadlineMs);
    }
}

// Reads until nothing came for QuietMs (at most LimitMs): a late answer or more noise is not taken for the
// answer of the next byte.
void Settle(TKLineBus& bus, double& nowMs) {
    constexpr double QuietMs = 20, LimitMs = 300;
    const double start = nowMs;
    double last = nowMs;
    while (nowMs - last < QuietMs && nowMs - start < LimitMs) {
        if (!CollectTimed(bus, 1, nowMs, std::min(last + QuietMs, start + LimitMs)).empty())
            last = nowMs;
    }
}

// Slack of the gap check (ms).
constexpr double GapToleranceMs = 0.2;

} // namespace

std::optional<uint8_t> TKLineTester::Exchange(uint8_t value, uint8_t parity, double& nowMs,
                                              double timeoutMs) {
    Bus.SetLine(9600, parity);
    // What came before this byte is no part of its answer.
    Bus.Receive(nowMs);
    Bus.Send(value, nowMs);
    std::vector<TRxByte> got = CollectTimed(Bus, 2, nowMs, nowMs + timeoutMs);
    bool sound = got.size() == 2 && got[0].Value == value;
    TGaps& gaps = Gaps[parity == ParityNone ? 1 : 0];
    if (sound) {
        const double gap = got[1].TimeMs - got[0].TimeMs;
        const unsigned held = std::min(gaps.Count, 8u);
        const double shortest = held ? *std::min_element(gaps.Ms, gaps.Ms + held) : 0;
        if (held && gap < shortest - GapToleranceMs) {
            sound = false;
        } else {
            gaps.Ms[gaps.Count % 8] = gap;
            ++gaps.Count;
        }
    }
    if (!sound) {
        if (!got.empty())
            Settle(Bus, nowMs);
        return std::nullopt;
    }
    return got[1].Value;
}

bool TKLineTester::WakeUp(double& nowMs, double breakMs) {
    double t0 = nowMs;
    Bus.SetBreak(true, nowMs);
    nowMs += breakMs;
    Bus.SetBreak(false, nowMs);
    Bus.SetLine(9600, ParitySpace);
    double due = t0 + 390;
    for (int attempt = 1; attempt <= 4; ++attempt) {
        uint8_t b = (attempt == 1 || attempt == 4) ? 0xAA : 0x00;
        nowMs = std::max(nowMs, due);
        Bus.Send(b, nowMs);
        due += 1000;
        // The break's framing-error byte and the echo come first; the answer is the byte after the echo.
        double deadline = nowMs + 800;
        std::vector<uint8_t> got;
        std::optional<uint8_t> answer;
        while (!answer && nowMs < deadline) {
            std::vector<uint8_t> more = Collect(Bus, 1, nowMs, deadline);
            got.insert(got.end(), more.begin(), more.end());
            auto echo = std::find(got.begin(), got.end(), b);
            if (echo != got.end() && echo + 1 != got.end())
                answer = *(echo + 1);
        }
        if (answer && *answer == uint8_t(0xFF - b)) {
            if (b == 0xAA)
                return true;
            if (attempt == 3)
                due -= 1000;
        }
    }
    return false;
}

std::optional<uint8_t> TKLineTester::Request(uint8_t command, uint8_t param, double& nowMs, bool sendCommand,
                                             double timeoutMs) {
    if (sendCommand) {
        std::optional<uint8_t> complement = Exchange(command, ParityNone, nowMs, timeoutMs);
        if (!complement || *complement != uint8_t(0xFF - command))
            return std::nullopt;
    }
    return Exchange(param, ParitySpace, nowMs, timeoutMs);
}

} // namespace velmora
