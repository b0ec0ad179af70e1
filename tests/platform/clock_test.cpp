#include <gtest/gtest.h>

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

TEST(RealClock, IsInstalledByDefaultAndMovesForward) {
    uint32_t before = Clock().TickCount();
    int64_t counter = Clock().PerfCounter();
    Clock().Sleep(2);
    EXPECT_GE(TicksSince(before, Clock().TickCount()), 1u);
    EXPECT_GT(Clock().PerfCounter(), counter);
}

} // namespace
} // namespace velmora
