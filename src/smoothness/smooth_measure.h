// The smoothness test's measurement: reads the cylinder period parameters in firing order, each just
// after the unit has written it (timed on the high-resolution counter), and reports per read the
// deviation from the period before it (1/10 %) and the engine speed. Runs as the worker's state 9: Step
// on the worker thread; SelectedCylinder is written by the window.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace velmora {

class TECUparam;
class TListParams;

// What the measurement needs from the worker.
struct TSmoothLink {
    // Reads the parameter's bytes from the unit into the record (RawWord, LastTick).
    std::function<void(TECUparam&)> Read;
    // One result: slot 1..n, or 0 at the start of a round; deviation in 1/10 %; speed in rpm.
    std::function<void(int slot, int16_t deviation, uint16_t rpm)> Post;
};

enum class TSmoothStep : uint8_t {
    Busy,  // read from the unit this step
    Idle,  // waiting (for a steady idle speed): the worker may poll meanwhile
    Failed // a prerequisite is missing (logged): back to normal polling
};

class TSmoothMeasure {
public:
    // The measurement drops back to the idle-speed check after this silence (ms).
    static constexpr int64_t ResyncAfterMs = 35;
    // The engine speed is fresh for this long (ms) and must lie in this range (rpm).
    static constexpr uint32_t RpmFreshMs = 700;
    static constexpr int32_t MinRpm = 100, MaxRpm = 999;
    // A read due further ahead than this is logged with the figures behind it (ms) ...
    static constexpr int64_t LateReportMs = 200;
    // ... and one further ahead than this is not waited for: the unit's periods do not fit the engine
    // (a wait this long would let the link go silent), so the round starts over.
    static constexpr int64_t MaxWaitMs = 500;

    // Starts over with the prerequisite check (a new request of the state, a new connection).
    void Restart() { Phase = 0; }
    // One step over the connection's set (null: not connected).
    TSmoothStep Step(const TListParams* set, const TSmoothLink& link);

    // The cylinder the window wants each round to start with (1-6).
    std::atomic<uint8_t> SelectedCylinder{1};

    // Read back for tests: 0 check, 1 waiting for idle, 2/3 synchronising, 9 measuring.
    int CurrentPhase() const { return Phase; }

private:
    bool CheckPrerequisites(const TListParams& set);
    TSmoothStep Measure(const TListParams& set, const TSmoothLink& link);
    uint16_t ReadSlot(const TListParams& set, int slot, const TSmoothLink& link);
    void ReportLate(int64_t aheadMs, int64_t nowMs);
    uint16_t RpmOf(uint32_t period) const;

    int Phase = 0;
    int Cylinders = 4;
    uint32_t Ticks2ms = 1;   // period units per ms
    double T0 = 0;           // ms: the last read before the unit wrote the round's first period
    uint64_t PeriodSum = 0;  // period units read since T0
    uint32_t LastPeriod = 0; // period units
    uint16_t PrevRaw = 0;
    int LastSlot = 1;
    int64_t LastStep = 0; // ms of the previous read
};

// The high-resolution counter in whole ms (rounded).
int64_t PerfNowMs();

} // namespace velmora
