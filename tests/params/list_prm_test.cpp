#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "params/list_prm.h"
#include "params/param_list.h"
#include "params/poll_controls.h"
#include "platform/clock.h"

namespace velmora {
namespace {

// A graph-like view: not a screen view, so it is read on every visit. Counts its destruction.
class TPlainView : public TBaseParam {
public:
    TPlainView(TECUparam& param, int* freed = nullptr) : TBaseParam(param), Freed(freed) {}
    ~TPlainView() override {
        if (Freed)
            ++*Freed;
    }
    void UpdateView() override {}

private:
    int* Freed;
};

// Records 0..count-1, each read once at the clock's current tick.
std::vector<std::unique_ptr<TECUparam>> Records(int count, uint8_t level) {
    std::vector<std::unique_ptr<TECUparam>> records;
    for (int n = 0; n < count; ++n) {
        records.push_back(std::make_unique<TECUparam>(uint16_t(n)));
        records.back()->PollLevel = level;
        records.back()->SetData(1, 0, 0, 0);
    }
    return records;
}

TVisualParam& AddScreenView(TListPrm& list, TECUparam& param, bool mainZone) {
    auto view = std::make_unique<TVisualParam>(param);
    view->PollEveryCycle = mainZone;
    return static_cast<TVisualParam&>(list.Add(std::move(view)));
}

// The numbers NextToPoll answers in `calls` calls (-1 for none); each answer is read, as the worker
// would, at the clock's current tick.
std::vector<int> Poll(TListPrm& list, int calls) {
    std::vector<int> numbers;
    for (int i = 0; i < calls; ++i) {
        TECUparam* param = list.NextToPoll();
        numbers.push_back(param ? param->Number : -1);
        if (param)
            param->SetData(1, 0, 0, 0);
    }
    return numbers;
}

TEST(ListPrm, SideZoneViewsAreReadOnlyWhenDueAfterTheFirstCycle) {
    TManualClock clock;
    TScopedClock scoped(clock);
    auto records = Records(3, 1); // level 1: due 1024 ms after the last read
    TListPrm list;
    AddScreenView(list, *records[0], true);
    AddScreenView(list, *records[1], false);
    AddScreenView(list, *records[2], true);

    // First cycle: everything, then the top-zone view 1 is passed over until it is due.
    EXPECT_EQ(Poll(list, 6), (std::vector<int>{0, 1, 2, 0, 2, 0}));
    EXPECT_FALSE(list.FirstCycle);
    clock.Advance(1024);
    EXPECT_EQ(Poll(list, 3), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(Poll(list, 3), (std::vector<int>{2, 0, 2}));

    // ResetDisplay starts a first cycle again.
    list.ResetDisplay();
    EXPECT_EQ(Poll(list, 3), (std::vector<int>{0, 1, 2}));
}

TEST(ListPrm, AnswersNoneWhenNothingIsDueInsteadOfSpinning) {
    TManualClock clock;
    TScopedClock scoped(clock);
    auto records = Records(2, 1);
    TListPrm list;
    EXPECT_EQ(list.NextToPoll(), nullptr);
    AddScreenView(list, *records[0], false);
    AddScreenView(list, *records[1], false);
    list.FirstCycle = false;
    EXPECT_EQ(Poll(list, 2), (std::vector<int>{-1, -1}));
    clock.Advance(1024);
    EXPECT_EQ(Poll(list, 3), (std::vector<int>{0, 1, -1}));
}

TEST(ListPrm, GraphViewsAreReadEveryTimeAndRestartBeginsAtTheFirst) {
    TManualClock clock(5000);
    TScopedClock scoped(clock);
    auto records = Records(3, 200);
    TListPrm list;
    for (auto& record : records)
        list.Add(std::make_unique<TPlainView>(*record));
    list.FirstCycle = false;
    EXPECT_EQ(Poll(list, 4), (std::vector<int>{0, 1, 2, 0}));
    clock.Advance(70);
    list.Restart();
    EXPECT_EQ(list.Cursor(), TListPrm::RestartCursor);
    EXPECT_EQ(list.CycleStartTick, 5070u);
    EXPECT_EQ(Poll(list, 1), (std::vector<int>{0}));
}

TEST(ListPrm, MarkedViewIsFreedWhenTheCursorReachesItWithoutSkippingTheNext) {
    TManualClock clock;
    TScopedClock scoped(clock);
    auto records = Records(3, 0);
    int freed = 0;
    TListPrm list;
    for (auto& record : records)
        list.Add(std::make_unique<TPlainView>(*record, &freed));
    EXPECT_EQ(Poll(list, 1), (std::vector<int>{0}));

    list.FindByNumber(1)->Mark();
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(list.FindByNumber(1), nullptr); // gone for the window at once
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(Poll(list, 1), (std::vector<int>{2}));
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(Poll(list, 2), (std::vector<int>{0, 2}));
}

TEST(ListPrm, RemoveByNumberTakesTheLastAndKeepsTheCursorOnItsView) {
    TManualClock clock;
    TScopedClock scoped(clock);
    auto records = Records(3, 0);
    TListPrm list;
    list.Add(std::make_unique<TPlainView>(*records[1]));
    list.Add(std::make_unique<TPlainView>(*records[0]));
    list.Add(std::make_unique<TPlainView>(*records[1]));
    list.Add(std::make_unique<TPlainView>(*records[2]));
    EXPECT_EQ(Poll(list, 2), (std::vector<int>{1, 0}));
    EXPECT_TRUE(list.RemoveByNumber(1)); // the view at index 2, the next to visit
    EXPECT_EQ(Poll(list, 2), (std::vector<int>{2, 1}));
    EXPECT_TRUE(list.RemoveByNumber(1));
    EXPECT_FALSE(list.RemoveByNumber(1));
    EXPECT_EQ(Poll(list, 2), (std::vector<int>{0, 2}));
}

TEST(ListPrm, CombinedViewAnswersItsThreePartsInTurn) {
    TManualClock clock;
    TScopedClock scoped(clock);
    auto records = Records(24, 0);
    TListPrm list;
    AddScreenView(list, *records[1], true);
    auto& combined = static_cast<TVisualParamEx&>(
        list.Add(std::make_unique<TVisualParamEx>(255, *records[20], *records[21], *records[22])));
    combined.PollEveryCycle = true;
    AddScreenView(list, *records[3], true);
    EXPECT_EQ(Poll(list, 8), (std::vector<int>{1, 20, 21, 22, 3, 1, 20, 21}));

    // A list of one combined view starts its parts again after the last one.
    TListPrm single;
    single.Add(std::make_unique<TVisualParamEx>(254, *records[20], *records[21], *records[22]));
    EXPECT_EQ(Poll(single, 5), (std::vector<int>{20, 21, 22, 20, 21}));
}

TEST(ListPrm, IsPollEveryCycleByZoneAndCombinedParts) {
    auto records = Records(24, 0);
    TListPrm list;
    AddScreenView(list, *records[1], true);
    AddScreenView(list, *records[2], false);
    auto& combined = static_cast<TVisualParamEx&>(
        list.Add(std::make_unique<TVisualParamEx>(255, *records[20], *records[21], *records[22])));
    combined.PollEveryCycle = true;
    list.Add(std::make_unique<TPlainView>(*records[5]));
    struct TCase {
        int Number;
        bool Expected;
    };
    const TCase cases[] = {{1, true}, {2, false}, {21, false}, {255, true}, {5, false}, {9, false}};
    for (const TCase& c : cases)
        EXPECT_EQ(list.IsPollEveryCycle(c.Number), c.Expected) << c.Number;
}

TEST(PollControls, PauseAndIntervalsOnSetsAndViewLists) {
    TManualClock clock(10000);
    TScopedClock scoped(clock);
    TListParams set;
    for (int n : {0, 1, 2}) {
        auto param = std::make_unique<TECUparam>(uint16_t(n));
        param->SetCmdWord(uint16_t(0x5500 + n));
        set.Add(std::move(param));
    }
    set[1].SetBitId(2, 0);
    for (auto& param : set)
        param->SetData(1, 0, 0, 0);

    struct TPause {
        int Seconds;
        int32_t Interval;
    };
    for (const TPause& c : std::initializer_list<TPause>{
             {0, 0}, {-3, 0}, {1, -11024}, {30, -(10000 + 30 * 1024)}, {31, -(10000 + 32 * 1024)}}) {
        set.PausePolling(c.Seconds);
        EXPECT_EQ(set[2].PollInterval, c.Interval) << c.Seconds;
    }
    EXPECT_FALSE(set[0].IsPollDue());
    clock.Advance(32 * 1024);
    EXPECT_TRUE(set[0].IsPollDue());

    EXPECT_TRUE(set.SetPollById(2, 300, KeepLastTick));
    EXPECT_EQ(set[1].PollInterval, 300);
    EXPECT_EQ(set[1].LastTick, 10000u);
    EXPECT_TRUE(set.SetPollByNumber(2, 700, 1234));
    EXPECT_EQ(set[2].LastTick, 1234u);
    EXPECT_TRUE(set.SetPollByNumber(1, 0, 5555)); // 0: read at once
    EXPECT_EQ(set[1].LastTick, 0u);
    EXPECT_EQ(set[1].PollInterval, 0);
    EXPECT_FALSE(set.SetPollByNumber(9, 300, KeepLastTick));
    EXPECT_FALSE(set.SetPollById(0, 300, KeepLastTick)); // 0 is what unnamed records carry
    EXPECT_EQ(set[0].PollInterval, -(10000 + 32 * 1024));
    set.ResetPolls();
    for (auto& param : set) {
        EXPECT_EQ(param->LastTick, 0u) << param->Number;
        EXPECT_EQ(param->PollInterval, 0) << param->Number;
    }

    // A view list reaches the parts of a combined view too.
    auto records = Records(24, 0);
    TListPrm list;
    list.Add(std::make_unique<TVisualParamEx>(255, *records[20], *records[21], *records[22]));
    list.PausePolling(2);
    EXPECT_EQ(records[20]->PollInterval, -(42768 + 2048));
    EXPECT_TRUE(list.SetPollByNumber(21, 50, KeepLastTick));
    EXPECT_EQ(records[21]->PollInterval, 50);
    list.ResetPolls();
    EXPECT_EQ(records[22]->LastTick, 0u);
    EXPECT_EQ(records[21]->PollInterval, 0);
}

TEST(PollControls, PauseHoldsAtEveryTickCount) {
    // Past 2^31 ms (24.8 days of uptime) and across the wrap of the tick count (49.7 days).
    for (uint32_t start : {0x7FFFF000u, 0x80000000u, 0xFFFFF000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(start);
        TManualClock clock(start);
        TScopedClock scoped(clock);
        TListParams set;
        auto record = std::make_unique<TECUparam>(uint16_t(1));
        record->SetCmdWord(0x5501);
        ASSERT_TRUE(set.Add(std::move(record)));
        set[0].LastTick = start - 5000;
        set[0].PollLevel = 1;
        ASSERT_TRUE(set[0].IsPollDue());
        set.PausePolling(30);
        EXPECT_LT(set[0].PollInterval, -1000) << "shown as paused";
        EXPECT_FALSE(set[0].IsPollDue());
        EXPECT_EQ(TicksSince(start, set[0].NextPollTick()), 30u * 1024);
        clock.Advance(30 * 1024 - 1);
        EXPECT_FALSE(set[0].IsPollDue());
        clock.Advance(1);
        EXPECT_TRUE(set[0].IsPollDue());
    }
}

// The window adds and marks views while the worker polls: nothing freed under the worker's feet.
TEST(ListPrm, WindowAndWorkerShareTheList) {
    auto records = Records(50, 0);
    TListPrm list;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done)
            list.NextToPoll();
    });
    for (int round = 0; round < 200; ++round) {
        TBaseParam& view = list.Add(std::make_unique<TPlainView>(*records[size_t(round % 50)]));
        if (round % 3 == 0)
            view.Mark();
        list.IsPollEveryCycle(round % 50);
        if (round % 7 == 0)
            list.RemoveByNumber(round % 50);
    }
    done = true;
    worker.join();
    EXPECT_GT(list.Count(), 0u);
}

} // namespace
} // namespace velmora
