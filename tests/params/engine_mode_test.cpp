#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_recorder.h"
#include "params/engine_mode.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"

namespace velmora {
namespace {

using testing::THostRecorder;
using testing::TPosted;

// One read passing the value handler: `afterMs` after the previous one, raw word of parameter `number`.
struct TRead {
    uint32_t AfterMs;
    uint16_t Number;
    uint16_t Raw;
};

// Raw values of the HFM/PMS set (builtin_hfm_set.cpp).
TRead Rpm(uint32_t after, int rpm) {
    return {after, 1, uint16_t(rpm * 4)};
}
TRead Coolant(uint32_t after, int celsius) {
    return {after, 0, uint16_t(celsius + 40)};
}
TRead Speed(uint32_t after, int kmh) {
    return {after, 15, uint16_t(kmh * 255 / 306)};
}
TRead Throttle(uint32_t after, int degrees) {
    return {after, 5, uint16_t(degrees * 255 / 90)};
}
TRead Status23(uint32_t after, uint8_t bits) {
    return {after, 23, bits};
} // 0x01 idle, 0x08 starter
// 0x02 post-start, 0x04 warm-up, 0x08 cut-off, 0x10 full load
TRead Status25(uint32_t after, uint8_t bits) {
    return {after, 25, bits};
}

TPosted Shown(int mode) {
    return {WmEngineMode, ModeShown, mode};
}
TPosted Cleared(int mode) {
    return {WmEngineMode, ModeCleared, mode};
}

class EngineModeTest : public ::testing::Test {
protected:
    void Load(int unitType) {
        Set.LoadBuiltinSet(unitType, 0);
        Observer = std::make_unique<TEngineModeObserver>(Set, unitType);
    }
    void Feed(const std::vector<TRead>& reads) {
        for (const TRead& read : reads) {
            Clock.Advance(read.AfterMs);
            TECUparam* param = Set.FindByNumber(read.Number);
            ASSERT_NE(param, nullptr) << read.Number;
            param->SetData(uint8_t(read.Raw), uint8_t(read.Raw >> 8), 0, 0);
            Observer->OnValue(*param);
        }
    }
    int32_t IntervalOf(int number) { return Set.FindByNumber(number)->PollInterval; }
    int32_t PausedUntilNow(uint32_t ms) { return -int32_t(Clock.TickCount() + ms); }

    TManualClock Clock{10000};
    TScopedClock Scoped{Clock};
    THostRecorder Host;
    TListParams Set;
    std::unique_ptr<TEngineModeObserver> Observer;
};

TEST_F(EngineModeTest, ValueSequencesPostModeEvents) {
    struct TCase {
        std::string Name;
        int UnitType;
        std::vector<TRead> Reads;
        std::vector<TPosted> Events;
    };
    const std::vector<TCase> cases = {
        {"waiting, cranking, then a steady warm idle",
         UnitHfm,
         {Rpm(0, 0), Rpm(600, 0), Rpm(500, 0), Status23(100, 0x08), Rpm(0, 200), Rpm(500, 800),
          Status23(0, 0x01), Coolant(0, 85), Rpm(1000, 800), Rpm(1000, 800), Status23(500, 0x01),
          Coolant(0, 85), Rpm(500, 800), Rpm(1000, 800), Rpm(999, 800), Rpm(1, 800)},
         {Shown(99), Cleared(99), Shown(1), Cleared(1), Shown(106)}},
        {"overrun cut-off bit",
         UnitHfm,
         {Coolant(0, 90), Rpm(0, 2500), Speed(0, 60), Status23(0, 0), Status25(100, 0x08), Rpm(100, 2200),
          Status25(100, 0)},
         {Shown(98), Cleared(98)}},
        {"full load by its bit, then by the throttle held 300 ms",
         UnitHfm,
         {Rpm(0, 3000), Status25(0, 0x10), Status25(200, 0), Throttle(100, 80), Rpm(299, 3000), Rpm(1, 3000),
          Throttle(100, 10)},
         {Shown(3), Cleared(3), Shown(3), Cleared(3)}},
        {"post-start enrichment hands over to warm-up",
         UnitHfm,
         {Rpm(0, 1200), Status25(0, 0x02), Status25(1000, 0x04), Status25(1000, 0)},
         {Shown(7), Cleared(7), Shown(8), Cleared(8)}},
        {"a status not read for more than 5 s no longer holds its mode",
         UnitHfm,
         {Rpm(0, 2000), Status25(0, 0x08), Rpm(1000, 2000), Rpm(1000, 2000), Rpm(1000, 2000), Rpm(1000, 2000),
          Rpm(1000, 2000), Rpm(1, 2000)},
         {Shown(98), Cleared(98)}},
        {"oxygen-sensor observation after 3 s of raised idle",
         UnitHfm,
         {Coolant(0, 90), Speed(0, 0), Status23(0, 0), Rpm(0, 2500), Rpm(1000, 2500), Rpm(1000, 2500),
          Rpm(999, 2500), Rpm(1, 2500)},
         {Shown(107)}},
        {"LH overrun from the idle contact at speed (no cut-off bit)",
         UnitLh,
         // engine speed raw 192 = 2493 rpm, idle contact is bit 4 of 23, road speed raw 50 = 60 km/h
         {{0, 1, 192}, {0, 23, 0x10}, {0, 15, 50}, {299, 1, 192}, {1, 1, 192}},
         {Shown(98)}},
        {"values without identifiers decide nothing", UnitHfm, {{0, 13, 50}, {2000, 44, 100}}, {}},
    };
    for (const TCase& c : cases) {
        Set.Clear();
        Host.Clear();
        Load(c.UnitType);
        Feed(c.Reads);
        EXPECT_EQ(Host.Posted(), c.Events) << c.Name;
    }
}

TEST_F(EngineModeTest, OverrunRetunesPollingAndRenewsTheBackOff) {
    Load(UnitHfm);
    Feed({Coolant(0, 90), Speed(0, 60), Rpm(0, 2200), Status25(0, 0x08)});
    ASSERT_EQ(Observer->Mode(), EngineMode::OverrunCutOff);
    EXPECT_EQ(IntervalOf(1), 300);                  // engine speed
    EXPECT_EQ(IntervalOf(15), 1000);                // road speed
    EXPECT_EQ(IntervalOf(25), 500);                 // the cut-off bit, so that the mode can end
    EXPECT_EQ(IntervalOf(0), PausedUntilNow(4096)); // everything else held back 4 × 1024 ms

    // The mode lasts beyond the back-off: it is renewed, the mode's own intervals kept.
    Feed({Status25(2000, 0x08), Rpm(2000, 2100), Status25(96, 0x08)});
    EXPECT_EQ(IntervalOf(0), PausedUntilNow(4096));
    EXPECT_EQ(IntervalOf(1), 300);

    Feed({Status25(100, 0)});
    EXPECT_EQ(Observer->Mode(), EngineMode::None);
    for (const auto& param : Set)
        EXPECT_EQ(param->PollInterval, 0) << param->Number;
}

TEST_F(EngineModeTest, OxygenObservationReadsTheSensorEvery3Ms) {
    Load(UnitHfm);
    Feed({Coolant(0, 90), Speed(0, 0), Status23(0, 0), Rpm(0, 2500), Rpm(3000, 2500)});
    ASSERT_EQ(Observer->Mode(), EngineMode::O2RaisedIdle);
    EXPECT_EQ(IntervalOf(7), 3);
    EXPECT_EQ(IntervalOf(9), PausedUntilNow(8 * 1024));
}

TEST_F(EngineModeTest, EngineStartAndStopReassignPollLevels) {
    Load(UnitHfm);
    EXPECT_EQ(Set.FindByNumber(9)->PollLevel, 255); // adaptation, engine standing
    Feed({Rpm(0, 800)});
    EXPECT_EQ(Set.FindByNumber(9)->PollLevel, 90);
    Feed({Rpm(100, 0)});
    EXPECT_EQ(Set.FindByNumber(9)->PollLevel, 255);
}

TEST_F(EngineModeTest, ResetClearsTheShownModeAndForgetsValues) {
    Load(UnitHfm);
    Feed({Rpm(0, 1200), Status25(0, 0x02)});
    EXPECT_EQ(IntervalOf(0), 0); // post-start enrichment holds nothing back
    EXPECT_EQ(IntervalOf(1), 0);
    Host.Clear();
    Observer->Reset();
    EXPECT_EQ(Host.Posted(), std::vector<TPosted>{Cleared(7)});
    EXPECT_EQ(Observer->Mode(), EngineMode::None);
    EXPECT_EQ(IntervalOf(1), 0);
    // Forgotten: a read of an unrelated value does not bring the mode back.
    Feed({Coolant(10, 20)});
    EXPECT_EQ(Observer->Mode(), EngineMode::None);
}

} // namespace
} // namespace velmora
