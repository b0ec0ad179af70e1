#include "slow_codes/lh_code_banner.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr uint32_t Red = 0x0000FF, Green = 0x008000, Yellow = 0x00FFFF;

TEST(LhCodeBanner, TextAndColourFromTheTableTheEngineStateSelects) {
    struct TCase {
        intptr_t Code, Table;
        char Language;
        const char* Text;
        uint32_t Colour;
    };
    const TCase cases[] = {
        {40, 760, 'R', "%  40 Датчик массового расхода воздуха, дефект", Red},
        {8, 1, 'E', "%  8 Rich mixture: reached the limit of the lean", Red},
        {100, 1, 'D', "%  100 reached the limit of enrichig", Red},
        {50, 1, 'E', "%  50 O2S 1 (before TWC) (G3/2) not operational or defective, open circuit", Yellow},
        {50, 0, 'R', "%  50 OK", Green},
        {95, 820, 'R', "%  95 Режим Принудительный холостой ход (нет подачи топлива)", Green},
        {30, 0, 'E', "%  30 Engine coolant temperature < 70 oC or >110 oC", Yellow},
        {0, 1, 'R', "%  0 Глюк", Red},
        {20, 0, 'R', "%  20 Режим \"полное открытие дросселя\" распознано", Red},
        {101, 0, 'R', "%  101 ", Red}, // only the running table knows 101
        {15, 1, 'E', "%  15 ", Red},
        // The edges of each running row: a neighbour must not borrow a row's text.
        {6, 1, 'E', "%  6 ", Red},
        {7, 1, 'E', "%  7 Rich mixture: reached the limit of the lean", Red},
        {9, 1, 'E', "%  9 Rich mixture: reached the limit of the lean", Red},
        {10, 1, 'E', "%  10 CTP (idle) recognition applied constantly", Red},
        {11, 1, 'E', "%  11 ", Red},
        {94, 1, 'E', "%  94 ", Red},
        {96, 1, 'E', "%  96 ", Red},
        {97, 1, 'E', "%  97 ", Red},
        {98, 1, 'E', "%  98 reached the limit of enrichig", Red},
        {101, 1, 'E', "%  101 No voltage at LH-SFI control module (N3/1)", Red},
        {102, 1, 'E', "%  102 ", Red},
        {10, 0, 'E', "%  10 CTP (idle) recognition inactive", Red},
        {9, 0, 'E', "%  9 ", Red},
        {91, 0, 'E', "%  91 ", Red},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Code);
        const TLhBannerLine line = LhBannerLine(c.Code, c.Table, c.Language);
        EXPECT_FALSE(line.Clear);
        EXPECT_EQ(line.Text, c.Text);
        EXPECT_EQ(line.Colour, c.Colour);
    }
}

TEST(LhCodeBanner, ZeroZeroEmptiesTheBanner) {
    EXPECT_TRUE(LhBannerLine(0, 0, 'R').Clear);
    EXPECT_FALSE(LhBannerLine(0, 1, 'R').Clear);
}

} // namespace
} // namespace velmora
