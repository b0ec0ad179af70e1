#include <gtest/gtest.h>

#include <vector>

#include "params/list_prm.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "params/poll_controls.h"
#include "params/poll_cursor.h"
#include "params/poll_levels.h"
#include "params/unit_codes.h"
#include "platform/clock.h"

namespace velmora {
namespace {

// A set of records 0..count-1 with a CMD each.
TListParams NumberedSet(int count) {
    TListParams set;
    for (int n = 0; n < count; ++n) {
        auto param = std::make_unique<TECUparam>(uint16_t(n));
        param->SetCmdWord(uint16_t(0x5500 + n));
        set.Add(std::move(param));
    }
    return set;
}

// The numbers chosen in `calls` steps (-1: nothing), each one read at the current tick, `stepMs` apart.
template <class Choose>
std::vector<int> Choices(TManualClock& clock, int calls, uint32_t stepMs, Choose choose) {
    std::vector<int> numbers;
    for (int i = 0; i < calls; ++i) {
        TECUparam* param = choose();
        numbers.push_back(param ? param->Number : -1);
        if (param)
            param->SetData(1, 0, 0, 0);
        clock.Advance(stepMs);
    }
    return numbers;
}

TEST(PollCursor, NormalPollingServesNeverReadThenStalest) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TListParams set = NumberedSet(4);
    TPollCursor cursor;
    auto stalest = [&] { return cursor.NextStalest(set); };

    // Never read: taken in order. Then the stalest each time: a steady round.
    EXPECT_EQ(Choices(clock, 6, 60, stalest), (std::vector<int>{0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(cursor.CycleTick, 1000u + 3 * 60);

    // Marked for immediate reading: taken before the stalest.
    set.SetPollByNumber(3, 0, 0);
    EXPECT_EQ(Choices(clock, 2, 60, stalest), (std::vector<int>{3, 2}));

    // Ties go to the first found from the cursor.
    for (auto& param : set)
        param->SetData(1, 0, 0, 0);
    cursor.ParamCursor = 2;
    EXPECT_EQ(Choices(clock, 2, 0, stalest), (std::vector<int>{2, 3}));
}

TEST(PollCursor, NormalPollingHonoursPausesAndIntervals) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TListParams set = NumberedSet(3);
    for (auto& param : set)
        param->SetData(1, 0, 0, 0);
    set.PausePolling(1);                       // everything held back for 1024 ms ...
    set.SetPollByNumber(1, 100, KeepLastTick); // ... but number 1 every 100 ms
    TPollCursor cursor;
    auto stalest = [&] { return cursor.NextStalest(set); };
    EXPECT_EQ(Choices(clock, 5, 50, stalest), (std::vector<int>{-1, -1, 1, -1, 1}));
    clock.Advance(1024);
    EXPECT_EQ(Choices(clock, 3, 50, stalest), (std::vector<int>{2, 0, 1}));
}

TEST(PollCursor, ScreenPollingTakesDueOrEveryCycleRecordsRoundRobin) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TListParams set = NumberedSet(5);
    for (auto& param : set) {
        param->PollLevel = 2; // due 2048 ms after a read
        param->SetData(1, 0, 0, 0);
    }
    TListPrm screen;
    for (int n : {1, 3}) {
        auto view = std::make_unique<TVisualParam>(set[size_t(n)]);
        view->PollEveryCycle = n == 1; // 1 in the main zone, 3 in the top zone
        screen.Add(std::move(view));
    }
    TPollCursor cursor;
    auto next = [&] { return cursor.NextForScreen(set, screen); };
    EXPECT_EQ(Choices(clock, 3, 60, next), (std::vector<int>{1, 1, 1}));
    clock.Advance(2048);
    EXPECT_EQ(Choices(clock, 7, 60, next), (std::vector<int>{2, 3, 4, 0, 1, 1, 1}));

    TListParams empty;
    EXPECT_EQ(cursor.NextForScreen(empty, screen), nullptr);
    EXPECT_EQ(cursor.NextStalest(empty), nullptr);
}

TEST(PollLevels, TableByFamilyNumberAndEngineState) {
    struct TCase {
        int UnitType;
        int Number;
        int Running;
        int Standing;
    };
    const TCase cases[] = {
        {UnitHfm, 1, 0, 0},      {UnitHfm, 0, 2, 2},   {UnitHfm, 9, 90, 255},   {UnitHfm, 109, 90, 255},
        {UnitPms, 21, 255, 255}, {UnitHfm, 25, 0, 0},  {UnitHfm, 68, 1, 10},    {UnitHfm, 18, 4, 4},
        {UnitLh, 1, 0, 0},       {UnitLh, 8, 90, 255}, {UnitLh, 129, 255, 255}, {UnitLh, 105, 4, 4},
    };
    for (const TCase& c : cases) {
        TListParams set;
        set.LoadBuiltinSet(c.UnitType, 0);
        ASSERT_NE(set.FindByNumber(c.Number), nullptr) << c.Number;
        AssignPollLevels(set, c.UnitType, true);
        EXPECT_EQ(set.FindByNumber(c.Number)->PollLevel, c.Running) << c.UnitType << "/" << c.Number;
        AssignPollLevels(set, c.UnitType, false);
        EXPECT_EQ(set.FindByNumber(c.Number)->PollLevel, c.Standing) << c.UnitType << "/" << c.Number;
    }
}

TEST(ParamIds, BuiltinSetsNameTheirValuesAndBits) {
    struct TCase {
        int UnitType;
        uint8_t Id;
        int Number;
        int Bit; // -1: a whole value
    };
    const TCase cases[] = {
        {UnitHfm, ParamId::EngineSpeed, 1, -1}, {UnitHfm, ParamId::InjectionTime, 3, -1},
        {UnitHfm, ParamId::RoadSpeed, 15, -1},  {UnitHfm, ParamId::O2Sensor, 7, -1},
        {UnitHfm, ParamId::CutOff, 25, 3},      {UnitHfm, ParamId::IdleContact, 23, 0},
        {UnitLh, ParamId::EngineSpeed, 1, -1},  {UnitLh, ParamId::IdleContact, 23, 4},
        {UnitLh, ParamId::WarmUp, 26, -1},      {UnitEz, ParamId::EngineSpeed, 1, -1},
    };
    for (const TCase& c : cases) {
        TListParams set;
        set.LoadBuiltinSet(c.UnitType, 0);
        TECUparam* param = set.FindById(c.Id);
        ASSERT_NE(param, nullptr) << int(c.Id);
        EXPECT_EQ(param->Number, c.Number) << int(c.Id);
        if (c.Bit >= 0) {
            param->SetRaw(uint8_t(1 << c.Bit), 0, 0, 0);
            EXPECT_EQ(param->BitById(c.Id), 1) << int(c.Id);
            param->SetRaw(uint8_t(~(1 << c.Bit)), 0, 0, 0);
            EXPECT_EQ(param->BitById(c.Id), 0) << int(c.Id);
        } else {
            EXPECT_EQ(param->FirstId(), c.Id);
        }
    }
}

} // namespace
} // namespace velmora
