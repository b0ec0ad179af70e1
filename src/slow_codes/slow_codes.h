// Slow (blink) codes: the line is pulled to ground with the serial break, the unit answers by pulsing the
// line, and each pulse reaches the cable as a burst of garbage bytes; the number of bursts is the code.
// The same line signal, held longer, erases the code shown or resets the engine's adaptation values.
// A run takes minutes: call it off the window thread (it reports progress and ends on `stop`), one run at
// a time, while no engine connection runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "line_tests/line_port.h"

namespace velmora {

class TBasePort;

// Line timing (ms).
struct TBlinkTimingTable {
    static constexpr uint32_t RequestLowMs = 3000; // line low to ask for the next code
    static constexpr uint32_t DrainMs = 500;       // after the release, in DrainStepMs steps
    static constexpr uint32_t DrainStepMs = 50;
    static constexpr uint32_t PollStepMs = 100;        // while counting
    static constexpr uint32_t CodeEndSilenceMs = 4000; // no burst for this long ends a code
    static constexpr uint32_t EraseLowMs = 7000;
    static constexpr uint32_t EraseLowBosch93Ms = 5500;
    static constexpr uint32_t AdaptLowMs = 7000;
    static constexpr uint32_t AdaptLowBosch93Ms = 8500;
    static constexpr uint32_t AfterPulseMs = 1000; // after each erase or reset hold
};

struct TSlowCodeOptions {
    bool Bosch93 = false;    // a Bosch unit built before 08/93 (other hold times)
    bool Erase = false;      // erase each code after it is shown
    bool Adaptation = false; // reset the adaptation once the memory reads empty
};

// Where a run stands, for a progress display.
enum class TSlowCodePhase { LineLow, Counting, Erasing, ResettingAdaptation };
struct TSlowCodeProgress {
    TSlowCodePhase Phase = TSlowCodePhase::LineLow;
    int Reading = 0; // readings done so far
    int Pulses = 0;  // bursts counted in the current reading
};
using TSlowCodeProgressSink = std::function<void(const TSlowCodeProgress&)>;

enum class TSlowCodeOutcome {
    Refused,    // session running, ELM327, or the port did not open: nothing was sent
    NoCode,     // no pulse at all on the line
    Read,       // the list was read (it came round, or the memory is empty)
    Stopped,    // the user stopped the run
    PortFailed, // the port failed during the run (its text is in the log)
    NotErased,  // the erase was asked for, but codes were shown again after it (Remaining)
};

struct TSlowCodeResult {
    TSlowCodeOutcome Outcome = TSlowCodeOutcome::Refused;
    std::vector<int> Codes;       // the codes shown, in order (1 and 0 are not codes)
    std::vector<int> Remaining;   // NotErased: the codes still shown after their erase, in order
    bool AdaptationReset = false; // the adaptation hold was given
};

// One reading: the request hold, the drain, then bursts counted until the line stays quiet. The number
// of bursts (0: none); -1 when `stop` was raised.
int ReadBlinkCode(TBasePort& port, const std::atomic<bool>& stop, const TSlowCodeProgressSink& progress = {},
                  int reading = 0);

// The whole run with its log lines: reads the codes until the list comes round (the first code again
// after at least two readings) or the memory reads empty, erasing each when asked, and resets the
// adaptation after a final empty reading when asked. With the erase, only a memory that reads empty
// counts as erased: a code shown again after its erase ends the run as NotErased, naming the codes left.
// Takes the line (unless request.Held holds it) and always frees the port it opened.
TSlowCodeResult SlowCodes(const TLineRequest& request, const TSlowCodeOptions& options,
                          const std::atomic<bool>& stop, const TSlowCodeProgressSink& progress = {});

} // namespace velmora
