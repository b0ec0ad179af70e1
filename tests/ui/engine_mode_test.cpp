#include "ui/window/engine_mode.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(EngineMode, ModeTexts) {
    struct {
        int Code;
        const char* Text;
    } rows[] = {{1, "Пуск"},
                {3, "Полная нагрузка"},
                {7, "Обогащение после пуска"},
                {98, "ПХХ/Отсечка"},
                {107, "Наблюдение сигнала датчика кислорода"},
                {108, "Наблюдение сигнала датчика кислорода"},
                {104, "Неизвестный режим (код 104)"},
                {0, "Неизвестный режим (код 0)"}};
    for (const auto& row : rows)
        EXPECT_EQ(EngineModeText(row.Code), row.Text) << row.Code;
}

TEST(EngineMode, HighestBitDecidesAndOnlyChangesRedraw) {
    TEngineModeState state;
    auto look = state.Apply(2, 0);
    ASSERT_TRUE(look);
    EXPECT_EQ(look->Text, "Фоновое чтение");
    EXPECT_TRUE(look->Bold);
    EXPECT_FALSE(state.RateVisible());
    EXPECT_FALSE(state.Apply(2, 0)); // the same state again: no redraw

    look = state.Apply(4, 104);
    ASSERT_TRUE(look);
    EXPECT_EQ(look->Text, "Неизвестный режим (код 104)");
    EXPECT_TRUE(state.Apply(4, 104)); // a mode code always redraws

    look = state.Apply(8, 0);
    ASSERT_TRUE(look);
    EXPECT_EQ(look->Text, "Ждите");
    EXPECT_EQ(look->PointSize, 18);
    EXPECT_FALSE(look->Red) << "waiting is no fault";

    state.Apply(-8, 0);
    state.Apply(-4, 0);
    look = state.Apply(-2, 0);
    ASSERT_TRUE(look);
    EXPECT_EQ(look->Text, "");
    EXPECT_FALSE(look->Bold);
    EXPECT_TRUE(state.RateVisible());
    EXPECT_EQ(state.Tag(), 1u);
    EXPECT_FALSE(state.Apply(32, 0)); // memo lines only
}

TEST(EngineMode, RedIsForFaultsOnly) {
    const std::pair<int, bool> rows[] = {{7, false},  {106, false}, {1, false},
                                         {99, false}, {104, false}, {5, true}};
    for (const auto& [code, red] : rows) {
        TEngineModeState state;
        const std::optional<TReactionLook> look = state.Apply(4, code);
        ASSERT_TRUE(look);
        EXPECT_EQ(look->Red, red) << code;
        EXPECT_TRUE(look->Bold) << code;
    }
}

TEST(EngineMode, RateNeedsThreeHundredMilliseconds) {
    TAnswerRate rate;
    ASSERT_TRUE(rate.OnAnswer(10000)); // the first answer starts the count
    EXPECT_FALSE(rate.OnAnswer(10100));
    EXPECT_FALSE(rate.OnAnswer(10299));
    EXPECT_FALSE(rate.OnAnswer(9000)); // older than the stored tick: 0 ms, only counted
    std::optional<int> shown = rate.OnAnswer(10400);
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, 10); // 4 answers in 400 ms
    EXPECT_FALSE(rate.OnAnswer(10699));
    EXPECT_EQ(rate.OnAnswer(10700).value_or(-1), 7); // 2 answers in 300 ms
}

} // namespace
} // namespace velmora
