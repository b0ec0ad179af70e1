// Request pairs sent on a fixed schedule, as the units want them on the way into and out of their
// special mode (actuator tests, adaptation, coding): each command byte at its due tick, the parameter
// byte a set time after it, the next pair a set time later. Worker thread (the link's owner).
#pragma once

#include <cstdint>

namespace velmora {

class TEngineLink;

class TTimedPairs {
public:
    // The first command byte goes at `firstDue`; each parameter byte `paramDelayMs` after its command,
    // each pair `stepMs` after the one before.
    TTimedPairs(TEngineLink& link, uint32_t firstDue, uint32_t paramDelayMs, uint32_t stepMs);

    // The schedule of the actuator tests and the adaptation: first command 100 ms from now, parameter
    // 50 ms after it, pairs 200 ms apart.
    static TTimedPairs ModeSchedule(TEngineLink& link);
    // The schedule of the coding run: first command 260 ms after the last answer, parameter 30 ms
    // after it, pairs 60 ms apart.
    static TTimedPairs CodingSchedule(TEngineLink& link);

    // Sends the pair at its due time and returns the unit's value byte.
    uint8_t Send(uint8_t cmd, uint8_t param);
    // Starts the schedule again 100 ms from now, after untimed requests have let it fall behind.
    void Restart();
    void SetStep(uint32_t stepMs) { StepMs = stepMs; }

private:
    TEngineLink& Link;
    uint32_t Due;
    uint32_t ParamDelayMs;
    uint32_t StepMs;
};

// The answer the unit gives to (0xC1, 0xFC) when it opens the special mode.
constexpr uint8_t SpecialModeOpen = 0x03;

// Sends the opening pairs (0xCF, 0xFF), (0xC1, 0xFC); returns the answer to the second, which is
// SpecialModeOpen when the mode opened.
uint8_t OpenSpecialMode(TTimedPairs& pairs);

} // namespace velmora
