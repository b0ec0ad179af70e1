#include <gtest/gtest.h>

#include "sim_bench.h"

namespace velmora {
namespace {

using testing::TSimBench;

// The on/off ratio (%) behind the LH's 0x10 0x90, on the scale (0;100)-(255;0).
double OnOffPercent(uint8_t raw) {
    return 100.0 - raw * 100.0 / 255.0;
}

TEST(LhOnOffCode, AFaultHoldsTheRatioSteadyAtItsCode) {
    TSimBench b("lh-maf");
    ASSERT_TRUE(b.Wake());
    for (int reading = 0; reading < 4; ++reading) {
        const std::optional<uint8_t> raw = b.Request(0x10, 0x90);
        ASSERT_TRUE(raw);
        EXPECT_NEAR(OnOffPercent(*raw), 40.0, 0.2) << "reading " << reading;
        b.Wait(600);
        ASSERT_TRUE(b.Request(0x00, 0x89)) << "kept awake";
    }
}

} // namespace
} // namespace velmora
