#include "slow_codes/slow_codes.h"

#include <gtest/gtest.h>

#include <optional>

#include "line_rig.h"
#include "sim/engine_model.h"
#include "sim/sim_unit.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using testing::TLineRig;

TSlowCodeResult RunSlowCodes(TLineRig& rig, TSlowCodeOptions options) {
    std::atomic<bool> stop{false};
    return SlowCodes(rig.Request(), options, stop);
}

TEST(SlowCodes, ReadsTheListUntilItComesRound) {
    TLineRig rig("SIM:hfm-blink"); // codes 4, 7, 14
    const TSlowCodeResult result = RunSlowCodes(rig, {});
    EXPECT_EQ(result.Outcome, TSlowCodeOutcome::Read);
    EXPECT_EQ(result.Codes, (std::vector<int>{4, 7, 14}));
    EXPECT_EQ(rig.LowTimes(), (std::vector<int>{3000, 3000, 3000, 3000})) << "the fourth reading is 4 again";
    const std::vector<std::string> expected = {
        " ", "Чтение кодов неисправностей: запуск", " 4", " 7", " 14", "Чтение завершено.", "Завершено!"};
    EXPECT_EQ(rig.Host.Logs(), expected);
    EXPECT_EQ(rig.Car().Unit().BlinkCodes(), (std::vector<int>{4, 7, 14})) << "reading erases nothing";
    EXPECT_EQ(Port(), nullptr);
}

TEST(SlowCodes, ASingleStoredCodeEndsOnTheThirdReading) {
    TLineRig rig("SIM:hfm40"); // code 4 alone
    const TSlowCodeResult result = RunSlowCodes(rig, {});
    EXPECT_EQ(result.Codes, (std::vector<int>{4, 4}));
    EXPECT_EQ(rig.LowTimes().size(), 3u);
    EXPECT_TRUE(rig.Logged("Чтение завершено."));
}

TEST(SlowCodes, APulseWhoseBytesStraddleAPollCountsOnce) {
    // The unit's pulses follow its own clock: a slow release shifts the reader's polls so that they fall
    // between the bytes of one pulse. A cable that drops the pulse's zero bytes leaves one byte per pulse.
    struct TCase {
        int64_t LagUs;
        bool DropZeros;
    };
    const TCase cases[] = {{0, false}, {1500, false}, {2500, false}, {51500, false}, {0, true}, {2500, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.LagUs << (c.DropZeros ? " one byte per pulse" : ""));
        TLineRig rig("SIM:hfm-blink"); // codes 4, 7, 14
        rig.ReleaseLagUs = c.LagUs;
        rig.DropZeros = c.DropZeros;
        EXPECT_EQ(RunSlowCodes(rig, {}).Codes, (std::vector<int>{4, 7, 14}));
    }
}

TEST(SlowCodes, EmptyMemoryAndSilentLine) {
    testing::TTempFolder folder;
    const auto profile = folder.WriteFile("empty.ini", "[Unit]\nBase=hfm40\n[Faults]\nStored=\n");
    {
        TLineRig rig("SIM:" + profile.string());
        const TSlowCodeResult result = RunSlowCodes(rig, {});
        EXPECT_EQ(result.Outcome, TSlowCodeOutcome::Read);
        EXPECT_TRUE(result.Codes.empty());
        EXPECT_TRUE(rig.Logged("Память неисправностей пуста.")) << rig.Host.LogText();
        EXPECT_TRUE(rig.Logged("Чтение завершено."));
    }
    {
        TLineRig rig("SIM:cable");
        const TSlowCodeResult result = RunSlowCodes(rig, {false, true, true});
        EXPECT_EQ(result.Outcome, TSlowCodeOutcome::NoCode);
        EXPECT_TRUE(rig.Logged("На линии не обнаружен медленный код."));
        EXPECT_TRUE(
            rig.Logged("Причина: к-линия не подключена или зажигание выключено или адаптер неисправен."));
        EXPECT_FALSE(result.AdaptationReset) << "no adaptation hold after a silent line";
        EXPECT_EQ(rig.LowTimes(), std::vector<int>{3000});
        EXPECT_TRUE(rig.Logged("Завершено!"));
    }
}

TEST(SlowCodes, EraseHoldsPerCodeForTheUnitsAge) {
    struct TCase {
        const char* Sim;
        bool Bosch93;
        int Hold;
    };
    // The late unit erases after 6 s, the one built before 08/93 between 5 and 7.5 s.
    const TCase cases[] = {{"SIM:hfm-blink", false, 7000}, {"SIM:hfm-blink", true, 5500}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Bosch93);
        TLineRig rig(c.Sim);
        const TSlowCodeResult result = RunSlowCodes(rig, {c.Bosch93, true, false});
        EXPECT_EQ(result.Codes, (std::vector<int>{4, 7, 14}));
        EXPECT_EQ(rig.LowTimes(), (std::vector<int>{3000, c.Hold, 3000, c.Hold, 3000, c.Hold, 3000}));
        EXPECT_EQ(rig.Car().Unit().BlinkCodes(), std::vector<int>{1}) << "every code erased";
        EXPECT_TRUE(rig.Logged("Чтение и удаление кодов неисправностей: запуск"));
    }
}

// An erase the unit does not take: the codes come round again. That is no success: the run names the
// codes left, gives no adaptation hold and ends as not erased.
TEST(SlowCodes, CodesShownAgainAfterTheirEraseAreNamedAndTheRunFails) {
    testing::TTempFolder folder;
    // The unit erases only on holds of 6 to 6.5 s; the reader holds 7 s.
    const auto profile = folder.WriteFile("narrow.ini", "[Unit]\nBase=hfm-blink\n[Blink]\nEraseMaxMs=6500\n");
    TLineRig rig("SIM:" + profile.string());
    const TSlowCodeResult result = RunSlowCodes(rig, {false, true, true});
    EXPECT_EQ(result.Outcome, TSlowCodeOutcome::NotErased) << rig.Host.LogText();
    EXPECT_EQ(result.Remaining, (std::vector<int>{4, 7, 14}));
    EXPECT_FALSE(result.AdaptationReset);
    EXPECT_TRUE(rig.Logged("Коды не удалены, в памяти остались: 4, 7, 14")) << rig.Host.LogText();
    EXPECT_FALSE(rig.Logged("Завершено!"));
    EXPECT_FALSE(rig.Logged("Сброс адаптаци завершен."));
    EXPECT_EQ(rig.Car().Unit().BlinkCodes(), (std::vector<int>{4, 7, 14}));
    EXPECT_EQ(Port(), nullptr);
}

TEST(SlowCodes, AdaptationPulseOnlyAfterTheFinalEmptyReading) {
    TLineRig rig("SIM:hfm-blink");
    const TSlowCodeResult result = RunSlowCodes(rig, {true, true, true});
    EXPECT_TRUE(result.AdaptationReset);
    EXPECT_EQ(rig.LowTimes(), (std::vector<int>{3000, 5500, 3000, 5500, 3000, 5500, 3000, 8500}));
    EXPECT_EQ(rig.Car().Unit().Engine().Signal(TSignal::AdaptIdleAir), 0) << "the unit reset its adaptation";
    const std::vector<std::string> logs = rig.Host.Logs();
    const std::vector<std::string> tail(logs.end() - 5, logs.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "Чтение завершено.", "Выключить зажигание, ждать не менее 2 секунд.",
                        "Включить  зажигание, ждать не менее 10 секунд, потом запустить двигатель.",
                        "Сброс адаптаци завершен.", "Завершено!"}));
    EXPECT_TRUE(rig.Logged("Сброс адаптации ЭБУ двигателя: запуск"));
}

TEST(SlowCodes, StopEndsTheRunAndReleasesTheLine) {
    TLineRig rig("SIM:hfm-blink");
    std::atomic<bool> stop{false};
    std::vector<TSlowCodeProgress> seen;
    const TSlowCodeResult result =
        SlowCodes(rig.Request(), {false, true, false}, stop, [&](const TSlowCodeProgress& progress) {
            seen.push_back(progress);
            if (progress.Phase == TSlowCodePhase::Erasing)
                stop = true;
        });
    EXPECT_EQ(result.Outcome, TSlowCodeOutcome::Stopped);
    EXPECT_EQ(result.Codes, std::vector<int>{4});
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().Phase, TSlowCodePhase::LineLow);
    int mostPulses = 0;
    for (const TSlowCodeProgress& p : seen)
        mostPulses = std::max(mostPulses, p.Pulses);
    EXPECT_EQ(mostPulses, 4) << "each burst is reported as it is counted";
    EXPECT_FALSE(rig.Car().Bus().BreakOn());
    EXPECT_EQ(rig.LowTimes(), std::vector<int>{3000}) << "the erase hold was not begun";
    EXPECT_TRUE(rig.Logged("Обмен остановлен."));
    EXPECT_FALSE(rig.Logged("Завершено!"));
    EXPECT_EQ(Port(), nullptr);
}

// The rig's clock, raising `stop` once the line has been held low for `afterMs` in a hold begun after
// `armed` was set: the user stops in the middle of an erase or adaptation hold.
class TStopInHoldClock : public TClock {
public:
    TStopInHoldClock(TLineRig& rig, std::atomic<bool>& stop, uint32_t afterMs)
        : Rig(rig), Stop(stop), AfterMs(afterMs) {}
    uint32_t TickCount() override { return Rig.ManualClock.TickCount(); }
    int64_t PerfCounter() override { return Rig.ManualClock.PerfCounter(); }
    int64_t PerfFrequency() override { return Rig.ManualClock.PerfFrequency(); }
    void SleepMicros(int64_t us) override { Rig.ManualClock.SleepMicros(us); }
    void Sleep(uint32_t ms) override {
        Rig.ManualClock.Sleep(ms);
        if (!Armed || !Rig.Sim->Car() || !Rig.Car().Bus().BreakOn())
            return;
        const uint32_t now = TickCount();
        if (!LowSince)
            LowSince = now;
        if (TicksSince(*LowSince, now) >= AfterMs)
            Stop = true;
    }
    bool Armed = false;

private:
    TLineRig& Rig;
    std::atomic<bool>& Stop;
    const uint32_t AfterMs;
    std::optional<uint32_t> LowSince;
};

// A stop in the middle of an erase or adaptation hold cuts it short: that is no completed hold, so
// nothing is erased or reset, and the run ends as stopped.
TEST(SlowCodes, AStopWithinAHoldIsNoCompletedHold) {
    testing::TTempFolder folder;
    const auto empty = folder.WriteFile("empty.ini", "[Unit]\nBase=hfm40\n[Faults]\nStored=\n");
    struct TCase {
        std::string Sim;
        TSlowCodeOptions Options;
        TSlowCodePhase Hold;
        std::vector<int> Codes; // left in the unit
    };
    const TCase cases[] = {
        {"SIM:hfm40", {false, true, false}, TSlowCodePhase::Erasing, {4}},
        {"SIM:" + empty.string(), {false, false, true}, TSlowCodePhase::ResettingAdaptation, {1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sim);
        TLineRig rig(c.Sim);
        std::atomic<bool> stop{false};
        TStopInHoldClock clock(rig, stop, 1000); // seen from the first step of the hold on
        TSlowCodeResult result;
        double adaptBefore = 0;
        {
            TScopedClock scoped(clock);
            result = SlowCodes(rig.Request(), c.Options, stop, [&](const TSlowCodeProgress& progress) {
                if (progress.Phase == c.Hold) {
                    adaptBefore = rig.Car().Unit().Engine().Signal(TSignal::AdaptIdleAir);
                    clock.Armed = true;
                }
            });
        }
        SetClock(&rig.ManualClock);
        EXPECT_EQ(result.Outcome, TSlowCodeOutcome::Stopped) << rig.Host.LogText();
        EXPECT_FALSE(result.AdaptationReset);
        EXPECT_EQ(rig.LowTimes(), (std::vector<int>{3000, 1100})) << "the hold was cut short";
        EXPECT_EQ(rig.Car().Unit().BlinkCodes(), c.Codes);
        EXPECT_EQ(rig.Car().Unit().Engine().Signal(TSignal::AdaptIdleAir), adaptBefore);
        EXPECT_TRUE(rig.Logged("Обмен остановлен."));
        EXPECT_FALSE(rig.Logged("Сброс адаптаци завершен."));
        EXPECT_FALSE(rig.Logged("Завершено!"));
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST(SlowCodes, APortThatFailsEndsTheRunAndIsFreed) {
    TLineRig rig("SIM:hfm-blink");
    rig.FailBreak = true;
    EXPECT_EQ(RunSlowCodes(rig, {}).Outcome, TSlowCodeOutcome::PortFailed);
    EXPECT_EQ(rig.Host.Logs().back(), "Порт LINERIG: сбой драйвера");
    EXPECT_EQ(Port(), nullptr);
}

TEST(SlowCodes, RefusalsSendNothing) {
    TLineRig rig("SIM:hfm-blink");
    std::atomic<bool> stop{false};
    TLineRequest busy = rig.Request();
    busy.SessionRunning = true;
    EXPECT_EQ(SlowCodes(busy, {}, stop).Outcome, TSlowCodeOutcome::Refused);
    EXPECT_EQ(SlowCodes(rig.Request('E'), {}, stop).Outcome, TSlowCodeOutcome::Refused);
    EXPECT_EQ(rig.Host.Logs(), (std::vector<std::string>{"Во время сеанса обмена функция недоступна!",
                                                         "Функция недоступна для адаптера ELM327!"}));
    EXPECT_EQ(rig.Sim->Car(), nullptr);
}

} // namespace
} // namespace velmora
