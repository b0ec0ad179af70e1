// Whole K-line exchanges on a TKLineBus, for simulated adapters whose firmware runs the engine protocol
// itself (the ELM327's wake-up and HFMDATA request pairs): they go through the same bytes, parity bits and
// timing as a KKL tester's, so the unit's answers and the line's faults stay the same.
// One thread at a time, like the bus.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/kline_bus.h"

namespace velmora {

class TKLineTester {
public:
    explicit TKLineTester(TKLineBus& bus) : Bus(bus) {}

    // Break of breakMs, then 0xAA, 0x00, 0x00, 0xAA with space parity one second apart, as the engine
    // link does; stops at the first 0x55 that answers an 0xAA. `nowMs` is advanced past the exchange.
    bool WakeUp(double& nowMs, double breakMs = 165);
    // One request pair at 9600 baud: the command byte 8N1 (left out when sendCommand is false), checked
    // for its complement, then the parameter byte with space parity. The value, or nothing when an echo
    // or an answer is missing or wrong, or when the line shows that a stray byte may stand in the
    // answer's place (a byte before the echo, an answer sooner after its echo than the unit has ever
    // answered); the line is then left to fall quiet first, as a careful firmware does. `nowMs` is advanced
    // to the moment the answer arrived (or gave up after timeoutMs per byte).
    std::optional<uint8_t> Request(uint8_t command, uint8_t param, double& nowMs, bool sendCommand = true,
                                   double timeoutMs = 300);

private:
    // Sends one byte and waits for its echo and one answer byte.
    std::optional<uint8_t> Exchange(uint8_t value, uint8_t parity, double& nowMs, double timeoutMs);

    // The shortest gaps between an echo and its answer of the last few sound answers, per kind of byte.
    struct TGaps {
        double Ms[8] = {};
        unsigned Count = 0;
    };
    TGaps Gaps[2];
    TKLineBus& Bus;
};

} // namespace velmora
