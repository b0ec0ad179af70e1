#include "line_tests/kline_impulse.h"

#include <gtest/gtest.h>

#include "line_rig.h"

namespace velmora {
namespace {

using testing::TLineRig;

TEST(KLineImpulse, HoldsTheLineLowForTheMenuLengths) {
    const std::pair<uint32_t, const char*> cases[] = {
        {4000, "Подача импульса в K-линию на 4 секунд."},
        {6000, "Подача импульса в K-линию на 6 секунд."},
        {8000, "Подача импульса в K-линию на 8 секунд."},
    };
    for (const auto& [ms, text] : cases) {
        SCOPED_TRACE(ms);
        TLineRig rig("SIM:cable");
        ASSERT_TRUE(KLineImpulse(rig.Request(), ms));
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
    EXPECT_FALSE(KLineImpulse(busy, 6000));
    EXPECT_FALSE(KLineImpulse(rig.Request('E'), 6000));
    EXPECT_EQ(rig.Host.Logs(), (std::vector<std::string>{"Во время сеанса обмена функция недоступна!",
                                                         "Функция недоступна для адаптера ELM327!"}));
    EXPECT_EQ(rig.Sim->Car(), nullptr) << "nothing was sent";
}

TEST(KLineImpulse, APortThatFailsEndsItWithItsTextAndIsFreed) {
    TLineRig rig("SIM:cable");
    rig.FailBreak = true;
    EXPECT_FALSE(KLineImpulse(rig.Request(), 4000));
    EXPECT_EQ(rig.Host.Logs().back(), "Порт LINERIG: сбой драйвера");
    EXPECT_FALSE(rig.Logged("Завершено!"));
    EXPECT_EQ(Port(), nullptr);
}

} // namespace
} // namespace velmora
