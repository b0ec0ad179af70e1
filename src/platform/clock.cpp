#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace velmora {

namespace {

TRealClock realClock;
std::atomic<TClock*> currentClock{&realClock};

int64_t SteadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void TClock::WaitUntil(int64_t counter) {
    const int64_t restUs = int64_t(double(counter - PerfCounter()) * 1e6 / double(PerfFrequency()));
    if (restUs > WaitSpinMarginUs)
        SleepMicros(restUs - WaitSpinMarginUs);
    while (PerfCounter() < counter) {
    }
}

void TClock::SleepMicros(int64_t us) {
    if (us > 0)
        Sleep(uint32_t((us + 999) / 1000));
}

double TClock::PerfMs() {
    return double(PerfCounter()) * 1000.0 / double(PerfFrequency());
}

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

void TManualClock::WaitUntil(int64_t counter) {
    int64_t now = Micros.load();
    while (now < counter && !Micros.compare_exchange_weak(now, counter)) {
    }
}

uint32_t TManualClock::TickCount() {
    return uint32_t(Micros.load() / 1000);
}

int64_t TManualClock::PerfCounter() {
    return Micros.load();
}

TClock& Clock() {
    return *currentClock.load();
}

void SetClock(TClock* clock) {
    currentClock.store(clock ? clock : &realClock);
}

} // namespace velmora
