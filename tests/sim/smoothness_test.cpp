// The cylinder period parameters read the way the smoothness test reads them: in firing order, each just
// after the unit has written it. The weak cylinder must show up in its own slot.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>

#include "sim_bench.h"

namespace velmora {
namespace {

using testing::TSimBench;

TEST(SimSmoothness, WeakCylinderShowsInItsOwnSlot) {
    TSimBench b("hfm-rough"); // six cylinders, cylinder 3 is 2.5 % slower
    ASSERT_TRUE(b.Wake());
    const int n = 6;
    const std::array<int, 7> next = {0, 5, 4, 6, 1, 3, 2}; // slot s reads parameter 89 + next[s]
    const double ticksPerMs = 100;
    double lastStep = 0;
    auto read = [&](int slot) {
        uint8_t lo = b.Request(0x55, uint8_t(89 + next[slot])).value_or(0);
        uint8_t hi = b.Request(0x55, uint8_t(90 + next[slot])).value_or(0);
        lastStep = b.NowMs;
        return double(hi * 256 + lo);
    };

    // Start at the slot before cylinder 1 and wait for the unit to write a new period.
    int start = 4;
    double prev = read(start), t0 = lastStep, v = prev;
    for (int i = 0; i < 20 && uint8_t(v) == uint8_t(prev); ++i) {
        t0 = lastStep;
        v = read(start);
    }
    ASSERT_NE(uint8_t(v), uint8_t(prev)) << "the period never changed";

    std::map<int, std::vector<int>> deviations;
    double periodSum = 0, lastPeriod = v;
    int lastSlot = start, rounds = 0;
    while (rounds < 6 * n) {
        int s = next[lastSlot];
        double due = t0 + (periodSum + lastPeriod) / ticksPerMs + lastPeriod / (8 * ticksPerMs);
        ASSERT_GE(due, b.NowMs) << "the reads fall behind the engine";
        b.Wait(due - b.NowMs);
        double period = read(s);
        periodSum += period;
        ASSERT_GT((periodSum + n * period * 96 / 100) / ticksPerMs + t0, lastStep) << "synchronisation lost";
        deviations[s].push_back(int(std::lround((period / lastPeriod - 1) * 1000)));
        lastPeriod = period;
        lastSlot = s;
        ++rounds;
    }
    for (int slot = 1; slot <= n; ++slot) {
        double mean = 0;
        for (int d : deviations[slot])
            mean += double(d) / deviations[slot].size();
        if (slot == 3)
            EXPECT_NEAR(mean, 25, 8) << "cylinder 3 is 2.5 % slower than cylinder 5 before it";
        else if (slot == 6)
            EXPECT_NEAR(mean, -24, 8) << "cylinder 6 is back to normal after 3";
        else
            EXPECT_NEAR(mean, 0, 8) << "slot " << slot;
    }
    double rpm = ticksPerMs * 120000 / (lastPeriod * n);
    EXPECT_NEAR(rpm, 720, 40);
}

} // namespace
} // namespace velmora
