#include "sim/modules/module_line.h"

#include <algorithm>
#include <bit>

#include "links/base_port.h"

namespace velmora {

namespace {

constexpr double FiveBaudBitMs = 200;
constexpr int FastBaud = 10400;
// How long the firmware waits for the sync byte after the address and for the first frame after it, ms.
constexpr double SyncWaitMs = 1500;
constexpr double FirstFrameWaitMs = 1800;
constexpr uint8_t SyncByte = 0x55;
constexpr uint8_t MinFrame = 5;

} // namespace

std::optional<std::vector<uint8_t>> TModuleLine::ReadFrame(uint8_t address, double& nowMs,
                                                           double deadlineMs) {
    for (;;) {
        for (const TRxByte& b : Bus.Receive(nowMs))
            Pending.push_back(b.Value);
        // Drop what cannot start a frame, then wait until the frame is whole.
        while (!Pending.empty() && Pending[0] != address)
            Pending.erase(Pending.begin());
        if (Pending.size() >= 3 && Pending[2] < MinFrame) {
            Pending.erase(Pending.begin());
            continue;
        }
        if (Pending.size() >= 3 && Pending.size() >= Pending[2]) {
            std::vector<uint8_t> frame(Pending.begin(), Pending.begin() + Pending[2]);
            Pending.erase(Pending.begin(), Pending.begin() + Pending[2]);
            return frame;
        }
        if (nowMs >= deadlineMs)
            return std::nullopt;
        nowMs = std::min(std::max(Bus.NextEventMs(), nowMs + 1), deadlineMs);
    }
}

std::optional<std::vector<uint8_t>> TModuleLine::Connect(const TModuleLineSettings& settings, double& nowMs) {
    Pending.clear();
    nowMs = std::max(nowMs, Bus.NowMs());
    if (settings.FiveBaud) {
        // Start bit, seven address bits, odd parity, stop bit: low for each 0.
        uint8_t address = settings.Address & 0x7F;
        if (std::popcount(unsigned(address)) % 2 == 0)
            address |= 0x80;
        bool low[9] = {true};
        for (int bit = 0; bit < 8; ++bit)
            low[bit + 1] = !(address & (1 << bit));
        for (int bit = 0; bit < 9; ++bit) {
            Bus.SetBreak(low[bit], nowMs);
            nowMs += FiveBaudBitMs;
        }
        Bus.SetBreak(false, nowMs);
        nowMs += FiveBaudBitMs; // the stop bit
        Bus.Receive(nowMs);     // the break's framing errors
        Bus.SetLine(FastBaud, ParityNone);
        Bus.DetectBaud();
    } else {
        Bus.SetLine(FastBaud, ParityNone);
        Bus.Send(settings.Address, nowMs);
    }
    const double syncDeadline = nowMs + SyncWaitMs;
    bool synced = !settings.FiveBaud;
    while (!synced && nowMs < syncDeadline) {
        for (const TRxByte& b : Bus.Receive(nowMs)) {
            if (synced)
                Pending.push_back(b.Value);
            else
                synced = b.Value == SyncByte;
        }
        if (!synced)
            nowMs = std::min(std::max(Bus.NextEventMs(), nowMs + 1), syncDeadline);
    }
    if (!synced)
        return std::nullopt;
    return ReadFrame(settings.Address, nowMs, nowMs + FirstFrameWaitMs);
}

std::optional<std::vector<uint8_t>> TModuleLine::Message(const TModuleLineSettings& settings,
                                                         const std::vector<uint8_t>& request, double& nowMs) {
    if (request.empty())
        return std::nullopt;
    std::vector<uint8_t> frame = {settings.Address, request[0], uint8_t(request.size() + 4)};
    frame.insert(frame.end(), request.begin() + 1, request.end());
    unsigned sum = 0;
    for (uint8_t b : frame)
        sum += b;
    frame.push_back(uint8_t(sum));
    frame.push_back(uint8_t(sum >> 8));

    nowMs = std::max(nowMs, Bus.NowMs()) + settings.RequestDelayMs;
    Bus.Receive(nowMs);
    Pending.clear();
    double at = nowMs;
    for (uint8_t b : frame)
        at = Bus.Send(b, at) + settings.InterByteMs;
    nowMs = at;
    // The wire's echo of the request comes first (unless the cable has none).
    std::optional<std::vector<uint8_t>> answer =
        ReadFrame(settings.Address, nowMs, nowMs + settings.AnswerTimeoutMs);
    if (answer && *answer == frame)
        answer = ReadFrame(settings.Address, nowMs, nowMs + settings.AnswerTimeoutMs);
    return answer;
}

} // namespace velmora
