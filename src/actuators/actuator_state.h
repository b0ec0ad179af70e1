// The request fields of the actuator functions (actuator tests, adaptation, coding) and what a function
// needs to run: the engine link and the unit's parameter set. The window thread writes
// the request fields, the worker reads and clears them; every field is atomic for that reason.
#pragma once

#include <atomic>
#include <cstdint>

namespace velmora {

class TEngineLink;
class TListParams;

// Values of AdaptMode.
constexpr uint8_t AdaptNone = 0;
constexpr uint8_t AdaptResetPhase1 = 13;
constexpr uint8_t AdaptResetPhase2 = 14;
constexpr uint8_t AdaptThrottle = 17;
constexpr uint8_t AdaptThrottleBosch = 21;

// PendingAct: nothing waiting, "discard what waits", or the reset: every output back to the unit's
// standard state.
constexpr uint16_t NoAct = 0;
constexpr uint16_t DiscardAct = 0xFFFF;
constexpr uint16_t ResetAct = 0xFEFE;

struct TActuatorState {
    // Enter the actuator test mode at connection start (the activation menu item is checked).
    std::atomic<bool> ActivationOn{false};
    // Actuator command waiting to be sent: command byte * 256 + value; NoAct or DiscardAct.
    std::atomic<uint16_t> PendingAct{NoAct};
    // An actuator command went out since the test mode opened or was last reset: the outputs may be away
    // from the unit's standard state, and the worker returns them before the connection ends.
    std::atomic<bool> OutputsChanged{false};
    // The adaptation function the next connection runs (AdaptNone, AdaptResetPhase1 ...).
    std::atomic<uint8_t> AdaptMode{AdaptNone};
    // New coding: bytes 2, 1, 0 are the high, middle and low code-number bytes; 0 = no coding run.
    std::atomic<uint32_t> CodingPending{0};
    // Where the coding is read: byte 3 the command byte, bytes 2, 1, 0 the three addresses.
    std::atomic<uint32_t> CodingLoc{0};
};

// What the worker hands to each actuator function.
struct TActuatorContext {
    TEngineLink& Link;
    TActuatorState& State;
    // The unit's parameter set; "read parameter n" skips numbers it does not hold. May be null.
    const TListParams* Params = nullptr;
};

// How an adaptation run ends the connection.
enum class TFunctionEnd {
    Stop,        // stopped as by the user (state 1)
    StopOnError, // the unit refused the special mode (state 2)
};

} // namespace velmora
