// The one clock of the program: millisecond tick count, high-resolution counter, sleep.
// Every wait and every time stamp goes through Clock(), so that tests can run timing logic in virtual
// time with a TManualClock. Any thread may call it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace velmora {

// The part of a wait on the counter that is spun rather than slept (µs): a sleeping thread wakes up to a
// few hundred microseconds late on a busy machine.
inline constexpr int64_t WaitSpinMarginUs = 500;

class TClock {
public:
    virtual ~TClock() = default;
    // Milliseconds since an arbitrary start; 32 bits, wrapping after 49.7 days like the Windows tick count.
    virtual uint32_t TickCount() = 0;
    // High-resolution counter and its frequency in counts per second.
    virtual int64_t PerfCounter() = 0;
    virtual int64_t PerfFrequency() = 0;
    virtual void Sleep(uint32_t ms) = 0;
    // Waits until the high-resolution counter reaches `counter` (byte spacing finer than a millisecond):
    // sleeps (SleepMicros) while the rest is longer than a wake-up may come late, and spins only the last
    // WaitSpinMarginUs, so the moment is kept to the counter without a core spinning for milliseconds.
    virtual void WaitUntil(int64_t counter);
    // Sleeps `us` microseconds, for waits that end between two milliseconds (a frame ends 1.04 ms after
    // it began at 9600 baud). The default rounds up to whole milliseconds.
    virtual void SleepMicros(int64_t us);

    // The counter scaled to milliseconds, for byte timing and response times.
    double PerfMs();
};

// Monotonic system time.
class TRealClock final : public TClock {
public:
    uint32_t TickCount() override;
    int64_t PerfCounter() override;
    int64_t PerfFrequency() override;
    void Sleep(uint32_t ms) override;
    void SleepMicros(int64_t us) override;
};

// Virtual time for tests: nothing moves until Sleep or Advance is called. The counter runs at 1 MHz.
class TManualClock final : public TClock {
public:
    explicit TManualClock(uint32_t startTick = 1000) : Micros(int64_t(startTick) * 1000) {}

    uint32_t TickCount() override;
    int64_t PerfCounter() override;
    int64_t PerfFrequency() override { return 1000000; }
    void Sleep(uint32_t ms) override { Advance(ms); }
    // Nothing would move the counter while waiting: it jumps to `counter`.
    void WaitUntil(int64_t counter) override;
    void SleepMicros(int64_t us) override { AdvanceMicros(std::max<int64_t>(us, 0)); }

    void Advance(uint32_t ms) { AdvanceMicros(int64_t(ms) * 1000); }
    void AdvanceMicros(int64_t us) { Micros += us; }

private:
    std::atomic<int64_t> Micros;
};

// The clock in use; a TRealClock unless a test installs another one.
TClock& Clock();
// Installs `clock` (nullptr restores the real clock). The caller keeps ownership.
void SetClock(TClock* clock);

// Milliseconds from `since` to `now` on the wrapping tick count.
inline uint32_t TicksSince(uint32_t since, uint32_t now) {
    return now - since;
}

// Installs a clock for the lifetime of a scope (tests).
class TScopedClock {
public:
    explicit TScopedClock(TClock& clock) { SetClock(&clock); }
    ~TScopedClock() { SetClock(nullptr); }
    TScopedClock(const TScopedClock&) = delete;
    TScopedClock& operator=(const TScopedClock&) = delete;
};

} // namespace velmora
