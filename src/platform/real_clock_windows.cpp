// The real clock on Windows: the tick count of GetTickCount, the performance counter, and sleeps on a
// high-resolution waitable timer where the system has one (Windows 10 1803 and later), since Sleep()
// alone ends on the scheduler's tick of up to 15.6 ms.
#include <windows.h>

#include "platform/clock.h"

namespace velmora {

namespace {

// Not yet in the MinGW headers.
constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;

int64_t CounterFrequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return int64_t(value.QuadPart);
    }();
    return frequency;
}

// One timer per thread; nullptr where the system offers no high-resolution timer.
HANDLE ThreadTimer() {
    struct TTimer {
        HANDLE Handle =
            CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        ~TTimer() {
            if (Handle)
                CloseHandle(Handle);
        }
    };
    thread_local TTimer timer;
    return timer.Handle;
}

} // namespace

uint32_t TRealClock::TickCount() {
    return GetTickCount();
}

int64_t TRealClock::PerfCounter() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

int64_t TRealClock::PerfFrequency() {
    return CounterFrequency();
}

void TRealClock::Sleep(uint32_t ms) {
    SleepMicros(int64_t(ms) * 1000);
}

void TRealClock::SleepMicros(int64_t us) {
    if (us <= 0)
        return;
    if (HANDLE timer = ThreadTimer()) {
        LARGE_INTEGER due;
        due.QuadPart = -us * 10; // relative, in units of 100 ns
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(timer, INFINITE);
            return;
        }
    }
    ::Sleep(DWORD((us + 999) / 1000));
}

} // namespace velmora
