// What the blink codes mean per unit: the published codes say what is wrong, the others say plainly that
// their meaning is not known, and without a unit nothing is claimed.
#include "slow_codes/blink_code_meanings.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr const char* Unknown = "Значение кода неизвестно";

TEST(BlinkCodeMeanings, EachUnitHasItsOwnTableAndUnknownCodesSaySo) {
    const struct {
        TBlinkUnit Unit;
        int Code;
        const char* Meaning;
    } cases[] = {
        {TBlinkUnit::Hfm, 1, "Неисправностей нет"},
        {TBlinkUnit::Hfm, 4, "Датчик массового расхода воздуха B2/5 (коды 009-010)"},
        {TBlinkUnit::Hfm, 6, "Потенциометр дроссельной заслонки, европейские блоки (коды 014-016)"},
        {TBlinkUnit::Hfm, 21, "Выходной каскад зажигания 3 (катушка цилиндров 1 и 6)"},
        {TBlinkUnit::Hfm, 47, Unknown}, // not listed between 46 and 48
        {TBlinkUnit::Hfm, 51, Unknown},
        {TBlinkUnit::Lh, 4,
         "Датчик массы воздуха: напряжение вне диапазона или обрыв/замыкание провода массы"},
        {TBlinkUnit::Lh, 21, "Лямбда-зонд: обрыв цепи"}, // HFM's 21 is an ignition stage: the tables differ
        {TBlinkUnit::Lh, 30, Unknown},
        {TBlinkUnit::Unknown, 4, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BlinkCodeMeaning(c.Unit, c.Code), c.Meaning) << BlinkUnitName(c.Unit) << " " << c.Code;
    // Every listed number has its meaning.
    for (int code = 1; code <= 50; ++code)
        EXPECT_EQ(BlinkCodeMeaning(TBlinkUnit::Hfm, code) == Unknown, code == 47) << code;
    for (int code = 1; code <= 29; ++code)
        EXPECT_NE(BlinkCodeMeaning(TBlinkUnit::Lh, code), Unknown) << code;
}

TEST(BlinkCodeMeanings, LogLinesNameTheUnitOrAskForIt) {
    using TLines = std::vector<std::string>;
    EXPECT_EQ(BlinkCodeLines(TBlinkUnit::Lh, {3, 31}),
              (TLines{"Значения кодов (LH):",
                      " 3 - Датчик температуры охлаждающей жидкости, цепь 2: обрыв или замыкание",
                      " 31 - Значение кода неизвестно"}));
    EXPECT_EQ(BlinkCodeLines(TBlinkUnit::Unknown, {3}),
              TLines{"Значения кодов не показаны: выберите блок на панели медленных кодов."});
    EXPECT_TRUE(BlinkCodeLines(TBlinkUnit::Hfm, {}).empty());
}

} // namespace
} // namespace velmora
