// Where the LH banner's codes come from: the simulated LH unit with a fault holds its on/off ratio on the
// code; the parameter's conversion and colour rule 99 turn the steady value into WM_USER+22.
#include <gtest/gtest.h>

#include "host_recorder.h"
#include "params/builtin_sets.h"
#include "params/color_rules.h"
#include "params/ecu_param.h"
#include "platform/clock.h"
#include "sim_bench.h"
#include "slow_codes/lh_code_banner.h"

namespace velmora {
namespace {

TEST(LhBannerSource, SteadyRatioOfTheSimulatedLhBecomesTheBannerCode) {
    TManualClock clock;
    TScopedClock scoped(clock);
    testing::THostRecorder host;
    ResetColorRules();
    testing::TSimBench bench("lh-maf");
    ASSERT_TRUE(bench.Wake());

    // Parameter 4 of the LH set: the on/off ratio, with rule 99.
    const TBuiltinRow* row = nullptr;
    for (const TBuiltinRow& r : LhSet())
        row = r.Number == 4 ? &r : row;
    ASSERT_NE(row, nullptr);
    TECUparam ratio(4);
    ratio.SetType(row->Type);
    ratio.SetCalc(std::string(row->Calc));
    ColorOf(101, 700); // the kept engine speed: running

    for (int reading = 0; reading < 3; ++reading) {
        const std::optional<uint8_t> raw = bench.Request(0x10, 0x90);
        ASSERT_TRUE(raw);
        ratio.SetData(*raw, 0, 0, 0);
        ColorOf(99, ratio.AsSingle());
        clock.Advance(600);
        bench.Wait(600);
    }
    const std::vector<testing::TPosted> posted = host.Posted();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.front(), (testing::TPosted{WM_USER + 22, 0, 0}))
        << "a new value first empties the banner";
    EXPECT_EQ(posted.back(), (testing::TPosted{WM_USER + 22, 40, 700}));
    EXPECT_EQ(LhBannerLine(posted.back().WParam, posted.back().LParam, 'E').Text,
              "%  40 Hot wire MAF sensor (B2/2)");
}

} // namespace
} // namespace velmora
