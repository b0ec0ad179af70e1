// Adaptation reset over two connections and the throttle adaptations, against the simulated units in
// virtual time.
#include <gtest/gtest.h>

#include "actuators/adaptation.h"
#include "sim_fixture.h"

namespace velmora {
namespace {

class Adaptation : public testing::TActuatorSimTest {};

const std::vector<std::string> Phase1Lines = {
    "",
    "Сброс адаптации: запуск!",
    "Сброс адаптации: ВЫПОЛНЕНО 50%!",
    "",
    "НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ И ВЫЖДАТЬ >10 секунд!",
    "После ВКЛЮЧИТЬ зажигание и нажать кнопку [Connect]!",
    "",
};
const std::vector<std::string> Phase2Lines = {
    "",
    "Сброс адаптации: продолжение!",
    "Сброс адаптации: ВЫПОЛНЕНО!",
    "",
    "НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ И ВЫЖДАТЬ >10 секунд!",
    "После включить зажигание, подключиться к ЭБУ и продолжить работу!",
    "",
};

TEST_F(Adaptation, ResetRunsInTwoPhasesAcrossAnIgnitionCycle) {
    Connect("hfm");
    EXPECT_NE(Signal(TSignal::AdaptLower), 0) << "the unit has learned something to reset";
    State.AdaptMode = AdaptResetPhase1;
    bool done = true;
    EXPECT_EQ(RunAdaptation(Context, done), TFunctionEnd::Stop);
    EXPECT_FALSE(done);
    EXPECT_EQ(State.AdaptMode, AdaptResetPhase2);
    EXPECT_EQ(Host.Logs(), Phase1Lines);
    EXPECT_EQ(Posted(17), (std::vector<intptr_t>{1}));
    EXPECT_EQ(Signal(TSignal::AdaptLower), 0);
    EXPECT_EQ(Signal(TSignal::AdaptUpper), 0);
    EXPECT_FALSE(Unit().InSpecialMode());
    // The mode was left with both closing answers, then eight idle pairs 300 ms apart.
    const std::string bytes = NewLogBytes();
    EXPECT_NE(bytes.find(testing::PairBytes(0xE0, 0x00, 0x00)), std::string::npos);
    EXPECT_NE(bytes.find(testing::PairBytes(0xCF, 0x00, 0xFF)), std::string::npos);
    const std::string idle = testing::PairBytes(0x10, 0x00, 0x00).substr(0, 3);
    size_t idlePairs = 0;
    for (size_t at = bytes.find(idle); at != std::string::npos; at = bytes.find(idle, at + 4))
        ++idlePairs;
    EXPECT_EQ(idlePairs, 8u);

    Reconnect(11000);
    done = false;
    EXPECT_EQ(RunAdaptation(Context, done), TFunctionEnd::Stop);
    EXPECT_TRUE(done);
    EXPECT_EQ(State.AdaptMode, AdaptNone);
    EXPECT_EQ(Host.Logs(), Phase2Lines);
    EXPECT_EQ(Posted(17), (std::vector<intptr_t>{1}));
    EXPECT_NE(NewLogBytes().find(testing::PairBytes(0xD1, 0x08, 0x08)), std::string::npos);
    EXPECT_EQ(Signal(TSignal::AdaptIdleAir), 0) << "the learned idle values are dropped";
}

TEST_F(Adaptation, ThrottleAdaptations) {
    struct TCase {
        uint8_t Mode;
        std::vector<std::string> Lines;
        bool Done;
        bool AsksIgnitionCycle;
        uint32_t AtLeastMs; // how long the run keeps the throttle learning
    };
    const TCase cases[] = {
        {AdaptThrottle,
         {"", "Адаптация дросселя: запуск!", "Адаптация дросселя: ВЫПОЛНЕНО!"},
         true,
         false,
         0},
        {AdaptThrottleBosch,
         {"", "Адаптация дросселя для ЭБУ Bosch: запуск!", "Время выполнения около 10 секунд.",
          "Адаптация дросселя ЭБУ Bosch: ВЫПОЛНЕНО!", "",
          "НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ И ВЫЖДАТЬ >10 секунд!",
          "После включить зажигание, подключиться к ЭБУ и продолжить работу!", ""},
         false,
         true,
         10000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.Mode));
        Connect("hfm");
        const double stopBefore = Signal(TSignal::ThrottleStopV);
        State.AdaptMode = c.Mode;
        const uint32_t start = Clock().TickCount();
        bool done = !c.Done;
        EXPECT_EQ(RunAdaptation(Context, done), TFunctionEnd::Stop);
        EXPECT_EQ(done, c.Done);
        EXPECT_EQ(State.AdaptMode, AdaptNone);
        EXPECT_EQ(Host.Logs(), c.Lines);
        EXPECT_EQ(Posted(17).size(), c.AsksIgnitionCycle ? 1u : 0u);
        EXPECT_GE(Clock().TickCount() - start, c.AtLeastMs);
        EXPECT_FALSE(Unit().InSpecialMode());
        if (c.Mode == AdaptThrottleBosch) {
            EXPECT_NEAR(Signal(TSignal::ThrottleStopV), stopBefore - 0.1, 0.01)
                << "the stop was learned anew";
        }
        FreePort();
    }
}

TEST_F(Adaptation, BoschThrottleWithoutAirMassParameterFailsAndLeavesTheMode) {
    Connect("hfm");
    TListParams none;
    Context.Params = &none;
    State.AdaptMode = AdaptThrottleBosch;
    const uint32_t start = Clock().TickCount();
    bool done = false;
    EXPECT_EQ(RunAdaptation(Context, done), TFunctionEnd::Stop);
    EXPECT_EQ(State.AdaptMode, AdaptNone);
    EXPECT_EQ(Host.Logs(),
              (std::vector<std::string>{"", "Адаптация дросселя для ЭБУ Bosch: запуск!",
                                        "Время выполнения около 10 секунд.", "Ошибка выполнения функции!"}));
    EXPECT_TRUE(Posted(17).empty()) << "nothing done, no ignition cycle asked for";
    EXPECT_LT(Clock().TickCount() - start, 5000u) << "the learning wait is skipped";
    EXPECT_FALSE(Unit().InSpecialMode());
    EXPECT_EQ(NewLogBytes().find(testing::PairBytes(0xD1, 0x40, 0x40)), std::string::npos);
}

} // namespace
} // namespace velmora
