#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/clock.h"

namespace velmora {
namespace {

TEST(ManualClock, SleepAdvancesVirtualTimeOnly) {
    TManualClock clock(5000);
    TScopedClock installed(clock);
    Clock().Sleep(250);
    EXPECT_EQ(Clock().TickCount(), 5250u);
    EXPECT_EQ(Clock().PerfCounter(), 5250000);
    EXPECT_DOUBLE_EQ(Clock().PerfMs(), 5250.0);
}

TEST(ManualClock, TickCountWrapsLikeTheWindowsCounter) {
    TManualClock clock(0xFFFFFF00u);
    clock.Advance(0x200);
    EXPECT_EQ(clock.TickCount(), 0x100u);
    EXPECT_EQ(TicksSince(0xFFFFFF00u, clock.TickCount()), 0x200u);
}

// A clock whose counter (1 MHz) moves only when it is slept or read: every read is a turn of a spin
// loop worth 1 µs. It records the sleeps a wait asks for.
class TSpinCountingClock final : public TClock {
public:
    uint32_t TickCount() override { return uint32_t(Micros / 1000); }
    int64_t PerfCounter() override { return Micros++; }
    int64_t PerfFrequency() override { return 1000000; }
    void Sleep(uint32_t ms) override { SleepMicros(int64_t(ms) * 1000); }
    void SleepMicros(int64_t us) override {
        Sleeps.push_back(us);
        Micros += us;
    }
    int64_t Micros = 1000000;
    std::vector<int64_t> Sleeps;
};

// A wait on the counter sleeps all but the spin margin and spins only that; a wait shorter than the
// margin, or one already over, does not sleep at all. It never ends before the counter is reached.
TEST(Clock, WaitUntilSleepsAllButTheLastHalfMillisecond) {
    struct {
        int64_t WaitUs;
        std::vector<int64_t> Sleeps;
    } cases[] = {
        {6000, {6000 - WaitSpinMarginUs}},
        {WaitSpinMarginUs + 1, {1}},
        {WaitSpinMarginUs, {}},
        {200, {}},
        {-50, {}},
    };
    for (const auto& c : cases) {
        TSpinCountingClock clock;
        const int64_t target = clock.Micros + c.WaitUs;
        clock.WaitUntil(target);
        EXPECT_EQ(clock.Sleeps, c.Sleeps) << c.WaitUs;
        EXPECT_GE(clock.Micros, target) << c.WaitUs;
        // The spin ends on the first read past the target.
        EXPECT_LE(clock.Micros, std::max(target, int64_t(1000000)) + 3) << c.WaitUs;
    }
}

TEST(RealClock, IsInstalledByDefaultAndMovesForward) {
    uint32_t before = Clock().TickCount();
    int64_t counter = Clock().PerfCounter();
    Clock().Sleep(2);
    EXPECT_GE(TicksSince(before, Clock().TickCount()), 1u);
    EXPECT_GT(Clock().PerfCounter(), counter);
}

} // namespace
} // namespace velmora
