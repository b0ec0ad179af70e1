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

} // namespace

std::optional<uint8_t> TKLineTester::Exchange(uint8_t value, uint8_t parity, double& nowMs,
                                              double timeoutMs) {
    Bus.SetLine(9600, parity);
    Bus.Send(value, nowMs);
    std::vector<uint8_t> got = Collect(Bus, 2, nowMs, nowMs + timeoutMs);
    if (got.size() < 2 || got[0] != value)
        return std::nullopt;
    return got[1];
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
