#include "platform/clock.h"

namespace velmora {

namespace {

TRealClock realClock;
std::atomic<TClock*> currentClock{&realClock};

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
