#include <gtest/gtest.h>

#include "host_recorder.h"
#include "params/color_rules.h"
#include "platform/clock.h"

namespace velmora {
namespace {

class ColorRules : public ::testing::Test {
protected:
    void SetUp() override { ResetColorRules(); }
    void TearDown() override { ResetColorRules(); }
};

TEST_F(ColorRules, PaleColoursAreHalfWayToWhite) {
    EXPECT_EQ(Pale(ColorRed), 0x7F7FFFu);
    EXPECT_EQ(Pale(ColorYellow), 0x7FFFFFu);
    EXPECT_EQ(Pale(ColorGreen), 0x7FBF7Fu);
    EXPECT_EQ(Pale(ColorBlue), 0xFF7F7Fu);
}

TEST_F(ColorRules, ThresholdsPickTheColourLaterTestsOverride) {
    struct TCase {
        int Rule;
        float Value;
        int EngineSpeed;
        uint32_t Colour;
    };
    const uint32_t white = ColorWhite, red = Pale(ColorRed), yellow = Pale(ColorYellow),
                   blue = Pale(ColorBlue);
    const TCase cases[] = {
        {100, 99.9f, 800, white}, {100, 100, 800, red},       {101, 6000, 800, white},
        {104, 15, 800, white},    {104, -15.5f, 800, yellow}, {104, 20.5f, 800, red},
        {105, 0.4f, 800, red},    {105, 0.5f, 800, white},    {108, 1.6f, 800, yellow},
        {108, -2.1f, 800, red},   {109, 10.5f, 800, yellow},  {109, -17.5f, 800, red},
        {112, -21, 800, blue},    {112, 41, 800, yellow},     {112, 61, 800, red},
        {112, 20, 800, white},    {116, 850, 800, red},       {116, 851, 800, white},
        {116, 1100, 800, red},    {141, 13.2f, 800, white},   {141, 13.1f, 800, yellow},
        {141, 12.6f, 800, red},   {141, 14.6f, 800, yellow},  {141, 14.9f, 800, red},
        {141, 12.3f, 0, yellow},  {141, 12.5f, 0, red},       {141, 12.0f, 0, red},
        {141, 13.5f, 0, white},   {7, 1000, 800, white},      {0, 1000, 800, white},
    };
    for (const TCase& c : cases) {
        ColorOf(101, float(c.EngineSpeed));
        EXPECT_EQ(ColorOf(c.Rule, c.Value), c.Colour) << c.Rule << " " << c.Value << " " << c.EngineSpeed;
    }
}

TEST_F(ColorRules, CoolantAndEngineSpeedAreKeptRounded) {
    ColorOf(100, 87.5f);
    ColorOf(101, 812.4f);
    EXPECT_EQ(KeptCoolantTemperature(), 88);
    EXPECT_EQ(KeptEngineSpeed(), 812);
    ColorOf(100, 86.5f);
    EXPECT_EQ(KeptCoolantTemperature(), 86); // half to even
}

TEST_F(ColorRules, RuleNinetyNineColoursAValueSteadyForMoreThanASecond) {
    testing::THostRecorder host;
    TManualClock clock(10000);
    TScopedClock installed(clock);
    const uint32_t notice = WM_USER + 22;

    EXPECT_EQ(ColorOf(99, 30), ColorWhite);
    clock.Advance(1000);
    EXPECT_EQ(ColorOf(99, 30), ColorWhite);
    clock.Advance(1);
    EXPECT_EQ(ColorOf(99, 30), Pale(ColorGreen));
    EXPECT_EQ(host.Posted(), (std::vector<testing::TPosted>{{notice, 0, 0}, {notice, 30, 0}}));

    host.Clear();
    ColorOf(101, 800);
    ColorOf(100, 80);
    struct TCase {
        float Value;
        uint32_t Colour;
    };
    const TCase steady[] = {
        {30.2f, Pale(ColorRed)}, {50, Pale(ColorYellow)}, {95, Pale(ColorGreen)}, {42, Pale(ColorRed)}};
    for (const TCase& c : steady) {
        EXPECT_EQ(ColorOf(99, c.Value), ColorWhite);
        clock.Advance(1500);
        EXPECT_EQ(ColorOf(99, c.Value), c.Colour) << c.Value;
    }
    EXPECT_EQ(host.Posted().back(), (testing::TPosted{notice, 42, 800}));

    ColorOf(100, 60); // a cold engine: 50 is not a warning yet
    EXPECT_EQ(ColorOf(99, 50), ColorWhite);
    clock.Advance(1500);
    EXPECT_EQ(ColorOf(99, 50), ColorWhite);
    EXPECT_EQ(host.Posted().back(), (testing::TPosted{notice, 50, 800}));
}

} // namespace
} // namespace velmora
