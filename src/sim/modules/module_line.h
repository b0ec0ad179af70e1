// The simulated ELM327 firmware's side of the framed module protocol: the 5-baud address bit by bit with
// its parity and stop bit, the baud rate measured on the module's sync byte, and one framed request with
// its answer, on a TKLineBus. The firmware's ISOCONNECT and ISOMSG run on it. One thread, like the bus.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/kline_bus.h"

namespace velmora {

struct TModuleLineSettings {
    uint8_t Address = 0x41;
    bool FiveBaud = true;   // false: the address goes out as one byte at the working rate
    double InterByteMs = 0; // pause between the bytes of a request, from one byte's end
    double AnswerTimeoutMs = 500;
    double RequestDelayMs = 0; // silence before each request
};

class TModuleLine {
public:
    explicit TModuleLine(TKLineBus& bus) : Bus(bus) {}

    // Wakes the module: the address (5 baud, or one byte at 10400), the sync byte with the rate measured
    // on it, the two key bytes and the module's first frame, which is returned. `nowMs` is advanced past
    // the exchange. Nothing when the module did not answer.
    std::optional<std::vector<uint8_t>> Connect(const TModuleLineSettings& settings, double& nowMs);
    // One request (command and data; the frame's address, length and sum are added here) and the
    // module's answer frame, or nothing when none came within the answer time-out.
    std::optional<std::vector<uint8_t>> Message(const TModuleLineSettings& settings,
                                                const std::vector<uint8_t>& request, double& nowMs);

private:
    // Reads one frame that starts with `address`, skipping what comes before it, until the deadline.
    std::optional<std::vector<uint8_t>> ReadFrame(uint8_t address, double& nowMs, double deadlineMs);
    std::vector<uint8_t> Pending;
    TKLineBus& Bus;
};

} // namespace velmora
