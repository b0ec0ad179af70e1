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

TEST(SmoothDisplay, DeviationHasOneSignificantDigit) {
    const std::pair<int, const char*> cases[] = {{7, "0.7"},    {73, "7"},   {14, "1"},      {-7, "-0.7"},
                                                 {0, "0"},      {5, "0.5"},  {100, "1E+01"}, {-120, "-1E+01"},
                                                 {96, "1E+01"}, {-3, "-0.3"}};
    for (const auto& [deviation, text] : cases)
        EXPECT_EQ(DeviationText(deviation), text) << deviation;
}

TEST(SmoothDisplay, ResultsLandInTheirFiringOrderColumns) {
    TSmoothLines lines;
    TSmoothUpdate u = lines.OnResult(0, 0, 720, 4, false);
    EXPECT_TRUE(u.MemoLines.empty()) << "a line of only \"*\" is not added";
    EXPECT_TRUE(u.ClearEdits);
    EXPECT_EQ(u.RpmText, "-");
    // Cylinders 1, 3, 4, 2 at characters 3, 9, 15 and 21.
    const std::pair<int, int> results[] = {{1, 7}, {3, -14}, {4, 260}, {2, 0}};
    for (const auto& [cylinder, deviation] : results) {
        u = lines.OnResult(cylinder, deviation, 718, 4, false);
        EXPECT_EQ(u.Cylinder, cylinder);
        EXPECT_EQ(u.RpmText, "718");
    }
    EXPECT_EQ(lines.Line(), "* 0.7   -1    3E+01 0");
    EXPECT_EQ(lines.OnResult(3, 3, 718, 4, false).EditText, "0.3");
    EXPECT_EQ(lines.Line(), "* 0.7   0.3   3E+01 0");

    u = lines.OnResult(0, 0, 718, 4, false);
    EXPECT_EQ(u.MemoLines, std::vector<std::string>{"* 0.7   0.3   3E+01 0"});
    EXPECT_EQ(lines.Line(), "*");

    // Only the larger deviations: a round of small ones leaves nothing to add.
    for (const auto& [cylinder, deviation] : {std::pair{1, 6}, {3, -6}, {4, 0}, {2, 5}}) {
        u = lines.OnResult(cylinder, deviation, 718, 4, true);
        EXPECT_EQ(u.EditText, "");
    }
    EXPECT_EQ(lines.OnResult(2, 7, 718, 4, true).EditText, "0.7");
    EXPECT_EQ(lines.OnResult(2, -7, 718, 4, true).EditText, "-0.7");
    EXPECT_EQ(lines.Line(), "*                   -0.7");
    u = lines.OnResult(0, 0, 718, 4, true);
    EXPECT_EQ(u.MemoLines.size(), 1u);
    lines.OnResult(1, 2, 718, 4, true);
    EXPECT_TRUE(lines.OnResult(0, 0, 718, 4, true).MemoLines.empty());
}

TEST(SmoothDisplay, CylinderOneMidRoundStartsANewLine) {
    TSmoothLines lines;
    lines.OnResult(0, 0, 720, 6, false);
    lines.OnResult(5, 10, 720, 6, false);
    EXPECT_EQ(lines.Line(), "*       1");
    const TSmoothUpdate u = lines.OnResult(1, -20, 720, 6, false);
    EXPECT_EQ(u.MemoLines, std::vector<std::string>{"*       1"});
    EXPECT_EQ(lines.Line(), "  -2");
    // Six cylinders: 1, 5, 3, 6, 2, 4 from the left.
    lines.OnResult(4, 30, 720, 6, false);
    EXPECT_EQ(lines.Line(), "  -2                            3");
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
