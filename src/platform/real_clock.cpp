// The real clock on Linux: the monotonic steady clock, in nanoseconds.
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace velmora {

namespace {

int64_t SteadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

uint32_t TRealClock::TickCount() {
    return uint32_t(SteadyNanos() / 1000000);
}

int64_t TRealClock::PerfCounter() {
    return SteadyNanos();
}

int64_t TRealClock::PerfFrequency() {
    return 1000000000;
}

void TRealClock::Sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TRealClock::SleepMicros(int64_t us) {
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace velmora
