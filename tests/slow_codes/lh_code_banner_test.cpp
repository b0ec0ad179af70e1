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
