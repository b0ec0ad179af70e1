#include "line_tests/kline_impulse.h"

#include <gtest/gtest.h>

#include "line_rig.h"

namespace velmora {
namespace {

using testing::TLineRig;

const std::atomic<bool> NoStop{false};

// The rig's virtual time, with a stop raised once `stopAtMs` of it have passed.
class TStoppingClock final : public TClock {
public:
    TStoppingClock(TManualClock& inner, uint32_t stopAtMs)
        : Inner(inner), StopAt(inner.TickCount() + stopAtMs) {}
    uint32_t TickCount() override { return Inner.TickCount(); }
    int64_t PerfCounter() override { return Inner.PerfCounter(); }
    int64_t PerfFrequency() override { return Inner.PerfFrequency(); }
    void Sleep(uint32_t ms) override {
        Inner.Sleep(ms);
        if (int32_t(Inner.TickCount() - StopAt) >= 0)
            Stop = true;
    }
    std::atomic<bool> Stop{false};

private:
    TManualClock& Inner;
    uint32_t StopAt;
};

TEST(KLineImpulse, HoldsTheLineLowForTheMenuLengths) {
    const std::pair<uint32_t, const char*> cases[] = {
        {4000, "Подача импульса в K-линию на 4 секунд."},
        {6000, "Подача импульса в K-линию на 6 секунд."},
        {8000, "Подача импульса в K-линию на 8 секунд."},
    };
    for (const auto& [ms, text] : cases) {
        SCOPED_TRACE(ms);
        TLineRig rig("SIM:cable");
        ASSERT_TRUE(KLineImpulse(rig.Request(), ms, NoStop));
        EXPECT_EQ(rig.LowTimes(), std::vector<int>{int(ms)}) << "the car saw one hold of that length";
        EXPECT_FALSE(rig.Car().Bus().BreakOn());
        EXPECT_EQ(rig.Host.Logs(), (std::vector<std::string>{"", text, "Запуск!", "Завершено!"}));
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST(KLineImpulse, RefusedDuringASessionAndForAnElm327) {
    TLineRig rig("SIM:cable");
    TLineRequest busy = rig.Request();
    busy.SessionRunning = true;
    EXPECT_FALSE(KLineImpulse(busy, 6000, NoStop));
    EXPECT_FALSE(KLineImpulse(rig.Request('E'), 6000, NoStop));
    EXPECT_EQ(rig.Host.Logs(), (std::vector<std::string>{"Во время сеанса обмена функция недоступна!",
                                                         "Функция недоступна для адаптера ELM327!"}));
    EXPECT_EQ(rig.Sim->Car(), nullptr) << "nothing was sent";
}

TEST(KLineImpulse, StopEndsTheHoldWithinASlice) {
    TLineRig rig("SIM:cable");
    TStoppingClock clock(rig.ManualClock, 1000);
    {
        TScopedClock scoped(clock);
        EXPECT_FALSE(KLineImpulse(rig.Request(), 8000, clock.Stop));
    }
    ASSERT_EQ(rig.LowTimes().size(), 1u);
    EXPECT_LE(rig.LowTimes()[0], 1100) << "released within a slice of the stop, not after 8 s";
    EXPECT_FALSE(rig.Car().Bus().BreakOn());
    EXPECT_EQ(rig.Host.Logs().back(), "Обмен остановлен.");
    EXPECT_EQ(Port(), nullptr);
}

TEST(KLineImpulse, APortThatFailsEndsItWithItsTextAndIsFreed) {
    TLineRig rig("SIM:cable");
    rig.FailBreak = true;
    EXPECT_FALSE(KLineImpulse(rig.Request(), 4000, NoStop));
    EXPECT_EQ(rig.Host.Logs().back(), "Порт LINERIG: сбой драйвера");
    EXPECT_FALSE(rig.Logged("Завершено!"));
    EXPECT_EQ(Port(), nullptr);
}

} // namespace
} // namespace velmora
