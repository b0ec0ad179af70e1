// The smoothness tab's memo lines and edits from the worker's results, the deviation texts, the slot
// and column tables, and the numbered save files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "params/param_list.h"
#include "params/unit_codes.h"
#include "smoothness/smooth_cylinders.h"
#include "smoothness/smooth_display.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(SmoothDisplay, DeviationIsAPercentageWithOneDecimal) {
    const std::pair<int, const char*> cases[] = {
        {7, "+0.7%"},    {73, "+7.3%"},    {14, "+1.4%"}, {-7, "-0.7%"}, {0, "0.0%"},         {5, "+0.5%"},
        {100, "+10.0%"}, {-120, "-12.0%"}, {96, "+9.6%"}, {-3, "-0.3%"}, {-32768, "-3276.8%"}};
    for (const auto& [deviation, text] : cases)
        EXPECT_EQ(DeviationText(deviation), text) << deviation;
}

TEST(SmoothDisplay, ResultsLandInTheirFiringOrderColumnsWithAVerdict) {
    TSmoothLines lines;
    TSmoothUpdate u = lines.OnResult(0, 0, 720, 4, false);
    EXPECT_TRUE(u.MemoLines.empty()) << "a line of only \"*\" is not added";
    EXPECT_TRUE(u.ClearEdits);
    EXPECT_EQ(u.RpmText, "-");
    // Cylinders 1, 3, 4, 2 at characters 3, 12, 21 and 30.
    const std::pair<int, int> results[] = {{1, 7}, {3, -14}, {4, 260}, {2, 0}};
    for (const auto& [cylinder, deviation] : results) {
        u = lines.OnResult(cylinder, deviation, 718, 4, false);
        EXPECT_EQ(u.Cylinder, cylinder);
        EXPECT_EQ(u.RpmText, "718");
    }
    EXPECT_EQ(lines.Line(), "* +0.7%    -1.4%    +26.0%   0.0%");
    EXPECT_EQ(lines.OnResult(3, 3, 718, 4, false).EditText, "+0.3%");
    EXPECT_EQ(lines.Line(), "* +0.7%    +0.3%    +26.0%   0.0%") << "a shorter text leaves nothing behind";

    u = lines.OnResult(0, 0, 718, 4, false);
    EXPECT_EQ(u.MemoLines, std::vector<std::string>{"* +0.7%    +0.3%    +26.0%   0.0%     "
                                                    "подозрение: цилиндр 4 (+26.0%, порог 0.7%)"});
    EXPECT_EQ(lines.Line(), "*");
}

TEST(SmoothDisplay, EveryRoundThatShowsADeviationIsKept) {
    // Only the larger deviations shown: rounds start at cylinder 1 without a mark, and a round whose one
    // shown deviation has a short text is the round that names a suspect.
    struct TCase {
        std::vector<std::pair<int, int>> Round; // cylinder, deviation
        std::vector<std::string> Kept;
    };
    const TCase cases[] = {
        {{{1, 2}, {3, -3}, {4, 0}, {2, 5}}, {}},
        {{{1, 2}, {3, 9}, {4, 0}, {2, 5}},
         {"           +0.9%                      подозрение: цилиндр 3 (+0.9%, порог 0.7%)"}},
        {{{1, -8}, {3, 2}, {4, 0}, {2, 1}},
         {"  -0.8%                               неровно: цилиндр 1 (-0.8%, порог 0.7%)"}},
        {{{1, 2}, {3, 1}, {4, 0}, {2, -7}},
         {"                             -0.7%    неровно: цилиндр 2 (-0.7%, порог 0.7%)"}},
    };
    for (const TCase& c : cases) {
        TSmoothLines lines;
        lines.OnResult(0, 0, 718, 4, true);
        lines.OnResult(1, 20, 718, 4, true); // the first round, with its mark
        std::vector<std::string> kept;
        for (const auto& [cylinder, deviation] : c.Round) {
            TSmoothUpdate u = lines.OnResult(cylinder, deviation, 718, 4, true);
            EXPECT_EQ(u.EditText, deviation > -7 && deviation < 7 ? "" : DeviationText(deviation));
            kept.insert(kept.end(), u.MemoLines.begin(), u.MemoLines.end());
        }
        for (const std::string& line : lines.OnResult(1, 0, 718, 4, true).MemoLines)
            kept.push_back(line);
        ASSERT_FALSE(kept.empty());
        EXPECT_TRUE(kept[0].starts_with("* +2.0%")) << kept[0];
        EXPECT_EQ(std::vector<std::string>(kept.begin() + 1, kept.end()), c.Kept);
    }
    // All shown and inside the threshold: the round is even.
    TSmoothLines lines;
    for (const auto& [cylinder, deviation] : {std::pair{1, 2}, {3, -3}, {4, 0}, {2, 5}})
        lines.OnResult(cylinder, deviation, 718, 4, false);
    EXPECT_EQ(lines.OpenLine(), "  +0.2%    -0.3%    0.0%     +0.5%    ровно (все в пределах 0.7%)");
}

TEST(SmoothDisplay, CylinderOneMidRoundStartsANewLine) {
    TSmoothLines lines;
    lines.OnResult(0, 0, 720, 6, false);
    lines.OnResult(5, 10, 720, 6, false);
    EXPECT_EQ(lines.Line(), "*          +1.0%");
    const TSmoothUpdate u = lines.OnResult(1, -20, 720, 6, false);
    EXPECT_EQ(u.MemoLines, std::vector<std::string>{"*          +1.0%                                        "
                                                    "подозрение: цилиндр 5 (+1.0%, порог 0.7%)"});
    EXPECT_EQ(lines.Line(), "  -2.0%");
    // Six cylinders: 1, 5, 3, 6, 2, 4 from the left.
    lines.OnResult(4, 30, 720, 6, false);
    EXPECT_EQ(lines.Line(), "  -2.0%                                        +3.0%");
}

TEST(SmoothDisplay, TheRunSumsUpItsRounds) {
    // Rounds of deviations in the columns 1, 3, 4, 2; one noisy round does not outweigh the others.
    struct TCase {
        std::vector<std::array<int, 4>> Rounds;
        std::optional<std::string> Summary;
    };
    const TCase cases[] = {
        {{}, std::nullopt},
        {{{1, -2, 3, 0}, {0, 1, -1, 2}}, "Итог: ровно во всех кругах (2)"},
        {{{0, 90, -80, 1}, {1, 85, -78, 0}, {9, 0, 1, -8}},
         "Итог: чаще всего назван цилиндр 3 (кругов: 2 из 3)"},
    };
    for (const TCase& c : cases) {
        TSmoothLines lines;
        for (const std::array<int, 4>& round : c.Rounds) {
            lines.OnResult(0, 0, 700, 4, false);
            const int cylinders[] = {1, 3, 4, 2};
            for (size_t i = 0; i < 4; ++i)
                lines.OnResult(cylinders[i], round[i], 700, 4, false);
        }
        lines.OnResult(0, 0, 700, 4, false);
        EXPECT_EQ(lines.Summary(), c.Summary);
    }
}

TEST(SmoothDisplay, EachRunOpensWithItsHeading) {
    const std::vector<std::string> six =
        TSmoothLines::RunHeading({"11.12.2026 06:00:00", "Иванов, VIN WDB1240", "HFM Bosch", 6});
    ASSERT_EQ(six.size(), 3u);
    EXPECT_EQ(six[0], std::string(60, '-')) << "runs in one file stay apart";
    EXPECT_EQ(six[1], "11.12.2026 06:00:00  Автомобиль: Иванов, VIN WDB1240  Блок: HFM Bosch");
    // Headings in firing order, over the columns of the values (counted in characters, not bytes).
    EXPECT_EQ(six[2], "  Цил. 1   Цил. 5   Цил. 3   Цил. 6   Цил. 2   Цил. 4   Вывод");
    const std::vector<std::string> four = TSmoothLines::RunHeading({"d", "", "", 4});
    EXPECT_EQ(four[1], "d  Автомобиль: неизвестно  Блок: неизвестно");
    EXPECT_EQ(four[2], "  Цил. 1   Цил. 3   Цил. 4   Цил. 2   Вывод");
}

TEST(SmoothCylinders, SlotsWalkTheFiringOrder) {
    for (int n : {4, 6}) {
        // From the slot before cylinder 1 the walk visits the cylinders in the window's column order.
        int slot = StartSlot(n, 1);
        std::vector<int> visited;
        for (int i = 0; i < n; ++i) {
            slot = SlotTable(n)[size_t(slot - 1)];
            visited.push_back(slot);
        }
        const std::span<const uint8_t> columns = SmoothColumns(n);
        EXPECT_EQ(visited, std::vector<int>(columns.begin(), columns.end())) << n;
    }
    EXPECT_EQ(StartSlot(4, 1), 2);
    EXPECT_EQ(StartSlot(6, 1), 4);
    EXPECT_EQ(StartSlot(4, 6), 1) << "no such cylinder: slot 1";
    EXPECT_EQ(SmoothColumn(4, 5), 0);
}

TEST(SmoothCylinders, PeriodParametersJoinAnHfmSet) {
    for (int n : {4, 6}) {
        TListParams set;
        set.LoadBuiltinSet(UnitHfm, 0);
        EXPECT_EQ(PeriodParamCount(set), 0);
        AppendPeriodParams(set, n);
        EXPECT_EQ(PeriodParamCount(set), n);
        EXPECT_EQ(SmoothCylinders(set), n);
        EXPECT_EQ(set.FindByNumber(SmoothTabParam) != nullptr, true);
        for (int slot = 1; slot <= n; ++slot) {
            const TECUparam* param = set.FindByNumber(89 + SlotTable(n)[size_t(slot - 1)]);
            ASSERT_NE(param, nullptr);
            EXPECT_EQ(param->CmdHi, 0x55);
            EXPECT_EQ(param->CmdLo, param->Number);
            EXPECT_EQ(param->DataLength(), 2);
            EXPECT_EQ(param->Divisor, PeriodTicksPerMs);
            EXPECT_TRUE(param->Name.ends_with(" " + std::to_string(slot))) << param->Name;
        }
        // A set that holds them already does not get them twice (the count goes by numbers: the records
        // are counted).
        const size_t records = set.Count();
        AppendPeriodParams(set, n);
        EXPECT_EQ(set.Count(), records) << "added once";
    }
}

TEST(SmoothDisplay, SavesGoToOneFileUntilCleared) {
    testing::TTempFolder folder;
    int fileNo = 0;
    const std::filesystem::path first = SmoothSaveFile(folder.Path(), fileNo);
    EXPECT_EQ(first.filename(), "smooth001.txt");
    ASSERT_TRUE(SaveSmoothLines(first, {"a", "b"}));
    EXPECT_EQ(SmoothSaveFile(folder.Path(), fileNo), first);
    ASSERT_TRUE(SaveSmoothLines(first, {"c"}));
    EXPECT_EQ(folder.ReadFile("smooth001.txt"), "c\n");
    fileNo = 0; // "Очистить"
    EXPECT_EQ(SmoothSaveFile(folder.Path(), fileNo).filename(), "smooth002.txt");
    EXPECT_FALSE(SaveSmoothLines(folder.Path() / "missing" / "smooth001.txt", {"x"}));
}

} // namespace
} // namespace velmora
