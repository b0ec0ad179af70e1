// The measurement's prerequisites, its wait for a steady idle speed, and its timed reads against a unit
// stand-in that changes its periods at every read: results when the link keeps up, none when it cannot or
// the periods are too long to wait for (the worker's sim tests run it against the simulated engine).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host_recorder.h"
#include "params/ecu_param.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "smoothness/smooth_cylinders.h"
#include "smoothness/smooth_measure.h"

namespace velmora {
namespace {

class SmoothMeasureTest : public ::testing::Test {
protected:
    TSmoothLink Link() {
        return {[this](TECUparam& param) {
                    Reads.push_back(param.Number);
                    const uint16_t raw = param.Number == 1 ? uint16_t(EngineRpm * 4) : 0;
                    param.SetData(uint8_t(raw), uint8_t(raw >> 8), 0, 0);
                    Clock().Sleep(20);
                },
                [this](int slot, int16_t, uint16_t) { Posts.push_back(slot); }};
    }

    TManualClock ManualClock{5000};
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    int EngineRpm = 720;
    std::vector<int> Reads, Posts;
};

TEST_F(SmoothMeasureTest, PrerequisitesEachHaveTheirMessage) {
    struct TCase {
        const char* What;
        std::vector<int> Periods;
        bool WithRpm;
        std::string Log;
    };
    const TCase cases[] = {
        {"five period parameters",
         {90, 91, 92, 93, 94},
         true,
         "ЭБУ не поддерживает периоды работы цилиндров или кол-во цилиндров неверное (5)"},
        {"none", {}, true, "ЭБУ не поддерживает периоды работы цилиндров или кол-во цилиндров неверное (0)"},
        {"a slot's parameter missing",
         {90, 91, 93, 94},
         true,
         "Ошибка 1 при обработке параметров периодов работы цилиндров"},
        {"no engine speed", {90, 91, 92, 93}, false, "параметр \"Обороты двигателя\" не найден"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Host.Clear();
        Reads.clear();
        TListParams set;
        for (int number : c.Periods) {
            auto param = std::make_unique<TECUparam>(uint16_t(number));
            param->ParseLine("TYPE=W");
            param->SetCmdWord(uint16_t(0x5500 + number));
            set.Add(std::move(param));
        }
        if (c.WithRpm) {
            auto rpm = std::make_unique<TECUparam>(1);
            rpm->SetCmdWord(0x5501);
            rpm->SetBitId(ParamId::EngineSpeed, 0);
            set.Add(std::move(rpm));
        }
        TSmoothMeasure measure;
        EXPECT_EQ(measure.Step(&set, Link()), TSmoothStep::Failed);
        EXPECT_EQ(Host.Logs(), std::vector<std::string>{c.Log});
        EXPECT_EQ(measure.CurrentPhase(), 0);
        EXPECT_TRUE(Reads.empty());
        EXPECT_TRUE(Posts.empty());
    }
}

TEST_F(SmoothMeasureTest, WaitsForAnIdleSpeedBelow1000) {
    TListParams set;
    set.LoadBuiltinSet(UnitHfm, 0);
    AppendPeriodParams(set, 4);
    TSmoothMeasure measure;
    struct TRow {
        int Rpm;
        TSmoothStep Step;
        int PhaseAfter;
    };
    // A stale engine speed is read first; a fresh one out of range only waits (the worker polls).
    const TRow rows[] = {{1000, TSmoothStep::Busy, 1},
                         {1000, TSmoothStep::Idle, 1},
                         {99, TSmoothStep::Idle, 1},
                         {100, TSmoothStep::Busy, 3}};
    TECUparam* rpm = set.FindById(ParamId::EngineSpeed);
    for (const TRow& row : rows) {
        EngineRpm = row.Rpm;
        if (!Reads.empty()) // the polling has read it meanwhile
            rpm->SetData(uint8_t(row.Rpm * 4), uint8_t(row.Rpm * 4 >> 8), 0, 0);
        Reads.push_back(-1);
        EXPECT_EQ(measure.Step(&set, Link()), row.Step) << row.Rpm;
        EXPECT_EQ(measure.CurrentPhase(), row.PhaseAfter) << row.Rpm;
    }
    EXPECT_TRUE(Posts.empty());
    // After the engine speed came in range the start slot was read: slot 2 (parameter 90) comes before
    // cylinder 1.
    EXPECT_EQ(Reads.back(), 90);
    // Silence of more than 35 ms between reads starts over at the idle-speed check.
    ManualClock.Advance(36);
    EngineRpm = 1200;
    rpm->SetData(uint8_t(1200 * 4), uint8_t(1200 * 4 >> 8), 0, 0);
    EXPECT_EQ(measure.Step(&set, Link()), TSmoothStep::Idle);
    EXPECT_EQ(measure.CurrentPhase(), 1);
    EXPECT_TRUE(Posts.empty());
}

// A unit whose period parameters give a new value at every read (alternating low byte), each read taking
// `ReadMs`: how the timed reads fare against the link's speed and the periods' size.
TEST_F(SmoothMeasureTest, ResultsNeedReadsThatKeepUpWithTheEngine) {
    struct TCase {
        const char* What;
        uint32_t ReadMs;
        uint16_t Period; // 1/100 ms
        bool Results;    // results for the cylinders (not only round starts)
        bool LateLines;  // the diagnostic lines of a read due far ahead
    };
    const TCase cases[] = {
        {"a quick link: results in firing order", 1, 2800, true, false},
        {"a link slower than the engine: synchronisation is lost every time", 100, 2800, false, false},
        {"periods too long to wait for: logged and started over", 1, 60000, false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Host.Clear();
        TListParams set;
        set.LoadBuiltinSet(UnitHfm, 0);
        AppendPeriodParams(set, 6);
        uint32_t reads = 0;
        std::vector<std::pair<int, int>> results; // slot, rpm
        const TSmoothLink link{[&](TECUparam& param) {
                                   const uint16_t raw = param.Number == 1 ? uint16_t(720 * 4)
                                                                          : uint16_t(c.Period + reads++ % 2);
                                   param.SetData(uint8_t(raw), uint8_t(raw >> 8), 0, 0);
                                   Clock().Sleep(c.ReadMs);
                               },
                               [&](int slot, int16_t, uint16_t rpm) { results.emplace_back(slot, rpm); }};
        TSmoothMeasure measure;
        for (int step = 0; step < 60; ++step)
            ASSERT_NE(measure.Step(&set, link), TSmoothStep::Failed);
        ASSERT_FALSE(results.empty());
        EXPECT_EQ(results[0].first, 0) << "a round starts with cylinder 0";
        std::vector<int> slots;
        for (const auto& [slot, rpm] : results)
            if (slot != 0)
                slots.push_back(slot);
        EXPECT_EQ(!slots.empty(), c.Results);
        if (c.Results) {
            const std::vector<int> order = {1, 5, 3, 6, 2, 4, 1, 5};
            EXPECT_EQ(std::vector<int>(slots.begin(), slots.begin() + 8), order);
            EXPECT_EQ(results.back().second, 100 * 120000 / (2801 * 6));
        }
        EXPECT_EQ(Host.LogText().find("Задержка чтения") != std::string::npos, c.LateLines) << Host.LogText();
    }
}

} // namespace
} // namespace velmora
