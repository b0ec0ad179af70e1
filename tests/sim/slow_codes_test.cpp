#include <gtest/gtest.h>

#include "sim_bench.h"

namespace velmora {
namespace {

using testing::TSimBench;

// Holds the line low for lowMs and counts the pulses that follow, as the slow-code reader does: drain
// 500 ms, then one count per 100-ms poll that finds bytes, until 4000 ms pass without any.
int BlinkAfter(TSimBench& b, double lowMs) {
    TKLineBus& bus = b.Car->Bus();
    bus.SetBreak(true, b.NowMs);
    b.NowMs += lowMs;
    bus.SetBreak(false, b.NowMs);
    b.NowMs += 500;
    bus.Receive(b.NowMs);
    int count = 0;
    double last = b.NowMs;
    while (b.NowMs < last + 4000) {
        b.NowMs += 100;
        if (!bus.Receive(b.NowMs).empty()) {
            ++count;
            last = b.NowMs;
        }
    }
    return count;
}

TEST(SlowCodes, StoredFaultsBlinkInTurnAndComeRound) {
    TSimBench b("hfm"); // stored bits 5 and 12: codes 7 and 14
    EXPECT_EQ(BlinkAfter(b, 3000), 7);
    EXPECT_EQ(BlinkAfter(b, 3000), 14);
    EXPECT_EQ(BlinkAfter(b, 3000), 7);
}

TEST(SlowCodes, EraseCodeByCodeThenAdaptationResetOnEmptyMemory) {
    TSimBench b("lh"); // slots 3 and 9
    EXPECT_EQ(BlinkAfter(b, 3000), 3);
    EXPECT_EQ(BlinkAfter(b, 7000), 0) << "erasing shows nothing";
    EXPECT_EQ(BlinkAfter(b, 3000), 9);
    EXPECT_EQ(BlinkAfter(b, 7000), 0);
    EXPECT_EQ(BlinkAfter(b, 3000), 1) << "memory empty";
    EXPECT_EQ(b.Unit().FaultByte(3), 0);
    EXPECT_NE(b.Unit().Engine().Signal(TSignal::AdaptIdleAir), 0);
    EXPECT_EQ(BlinkAfter(b, 7000), 0);
    EXPECT_EQ(b.Unit().Engine().Signal(TSignal::AdaptIdleAir), 0) << "the adaptation was reset";
}

TEST(SlowCodes, EraseHoldDependsOnTheUnitsAge) {
    // A unit built before 08/93 erases after 5.5 s; a later one takes that for a request of the next code.
    TSimBench old("hfm40"); // stored bit 3: code 4
    EXPECT_EQ(BlinkAfter(old, 3000), 4);
    EXPECT_EQ(BlinkAfter(old, 5500), 0);
    EXPECT_EQ(BlinkAfter(old, 3000), 1);

    TSimBench late("hfm");
    EXPECT_EQ(BlinkAfter(late, 3000), 7);
    EXPECT_EQ(BlinkAfter(late, 5500), 14);
    EXPECT_EQ(late.Unit().FaultByte(0), 0x10) << "code 7 is still stored";
}

TEST(SlowCodes, AWakeUpBreakCutsTheBlinkingShort) {
    TSimBench b("hfm");
    b.Car->Bus().SetBreak(true, b.NowMs);
    b.NowMs += 3000;
    b.Car->Bus().SetBreak(false, b.NowMs);
    b.Wait(2000); // the first pulse has come, six more are on their way
    ASSERT_TRUE(b.Wake());
    double before = b.NowMs;
    EXPECT_EQ(b.Request(0xF0, 0x00), 0x27);
    EXPECT_LT(b.NowMs - before, 15) << "no pulse left on the line";
}

} // namespace
} // namespace velmora
