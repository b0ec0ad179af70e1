// The actuator channel table and its value scales, the activation panel built from it, the coding text
// the user enters and the check-word answers file: pure data, no link.
#include <gtest/gtest.h>

#include "actuators/actuator_channels.h"
#include "actuators/coding.h"
#include "actuators/coding_access.h"
#include "params/ecu_param.h"

namespace velmora {
namespace {

TEST(ActuatorChannels, ThrottleValueFollowsBothSlopes) {
    const struct {
        int Percent;
        uint8_t Value;
    } cases[] = {{100, 255}, {-100, 0}, {0, 64},    {10, 83}, {50, 160},
                 {-50, 32},  {-10, 58}, {130, 255}, {-130, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ThrottleValue(c.Percent), c.Value) << c.Percent;
}

TEST(ActuatorChannels, ControlPositionsAndValuesMatchBothWays) {
    const struct {
        uint8_t Command;
        int Position;
        uint8_t Value;
    } cases[] = {
        {0xD2, 0x08 | 0x80, 0x88}, // check boxes: the bit sum
        {0xD3, 100, 255},
        {0xD3, -100, 0},
        {0xD3, 0, 64},
        {0xD3, 30, 121},
        {0xD6, 0, 0x80},
        {0xD6, -50, 0},
        {0xD6, 25, 192},
        {0xD6, 50, 255},
        {0xDC, 70, 70},
        {0xD4, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Command) + " " + std::to_string(c.Position));
        const TActuatorChannel* channel = FindActuatorChannel(c.Command);
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(ChannelValue(*channel, c.Position), c.Value);
        EXPECT_EQ(ChannelPosition(*channel, c.Value), c.Position);
    }
    // A position beyond the control is held at its end; a value the control cannot show (the fan's
    // 0x80, "not driven") shows as its lowest position.
    EXPECT_EQ(ChannelValue(*FindActuatorChannel(0xDC), 250), 100);
    EXPECT_EQ(ChannelPosition(*FindActuatorChannel(0xDC), 0x80), 0);
}

TEST(ActuatorChannels, PanelHasEveryControlledChannelWithItsCaptionsAndStart) {
    const std::vector<TPanelChannel> panel = BuildActivationPanel(false);
    ASSERT_EQ(panel.size(), 11u) << "0xD0-0xDC without the two channels that have no control";
    for (const TPanelChannel& channel : panel) {
        EXPECT_NE(channel.Command, 0xD5);
        EXPECT_NE(channel.Command, 0xD7);
        EXPECT_EQ(channel.Controls.size(), channel.Control == TControlKind::CheckBoxes ? 8u : 1u);
    }
    const TPanelChannel& injectors = panel[2];
    ASSERT_EQ(injectors.Command, 0xD2);
    EXPECT_EQ(injectors.Name, "Форсунки");
    EXPECT_EQ(injectors.Controls[0].Caption, "Все форсунки выкл.");
    EXPECT_EQ(injectors.Controls[3].Caption, "Форсунка 3 выкл.");
    EXPECT_EQ(injectors.Controls[3].Bit, 0x08);
    EXPECT_EQ(injectors.Controls[7].Caption, "Мотор воздушного насоса");
    EXPECT_EQ(panel[0].Controls[0].Caption, "Фазовращатель 1");
    EXPECT_EQ(panel[0].EntryPosition, 0x0F);
    EXPECT_EQ(BuildActivationPanel(true)[0].EntryPosition, 0x08) << "newest generation";

    const TPanelChannel& throttle = panel[3];
    ASSERT_EQ(throttle.Command, 0xD3);
    EXPECT_EQ(throttle.Control, TControlKind::UpDown);
    EXPECT_EQ(throttle.Min, -100);
    EXPECT_EQ(throttle.Max, 100);
    EXPECT_EQ(throttle.Step, 10);
    EXPECT_EQ(throttle.EntryPosition, 0) << "64: no change";
    EXPECT_EQ(panel[4].Control, TControlKind::TrackBar);
    EXPECT_EQ(panel[5].Step, 5) << "mixture";
    EXPECT_EQ(panel[9].Controls[1].Caption, "Ограничитель оборотов выкл.");
}

TEST(Coding, UserEntryBecomesThePendingCoding) {
    const struct {
        const char* Text;
        std::optional<uint32_t> Coding;
    } cases[] = {
        {"012 005 000", 0x0C0500}, {"  255 0 1 ", 0xFF0001},  {"18 5 0", 0x120500},
        {"012 005", std::nullopt}, {"1 2 3 4", std::nullopt}, {"256 0 0", std::nullopt},
        {"1,2,3", std::nullopt},   {"0 0 0", std::nullopt},   {"", std::nullopt},
        {"a 1 2", std::nullopt},   {"-1 2 3", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCodingText(c.Text), c.Coding) << '"' << c.Text << '"';
}

TEST(Coding, LocationComesFromTheThreeParameters) {
    TECUparam high(37), middle(38), low(39);
    high.SetCmdWord(0x5525);
    middle.SetCmdWord(0x5526);
    low.SetCmdWord(0x5527);
    EXPECT_EQ(CodingLocOf(high, middle, low), 0x55252627u);
}

TEST(CodingAccess, PairsAreReadAndBadLinesReported) {
    const TCodingAccess access = ParseCodingAccess("# comment\r\n"
                                                   "; another\n"
                                                   "\n"
                                                   "1A2B 3C4D\r\n"
                                                   "  beef=0001\n"
                                                   "1234 = 5678\n"
                                                   "12345 0001\n"
                                                   "1A2B 0000\n"
                                                   "1A2B 3C4D\n"
                                                   "0FF0\n"
                                                   "0FF1 0001 0002\n"
                                                   "XY12 0001");
    EXPECT_EQ(access.Answers,
              (std::map<uint16_t, uint16_t>{{0x1A2B, 0x3C4D}, {0xBEEF, 0x0001}, {0x1234, 0x5678}}));
    ASSERT_EQ(access.Errors.size(), 5u);
    EXPECT_NE(access.Errors[0].find("строка 7"), std::string::npos) << access.Errors[0];
    EXPECT_NE(access.Errors[1].find("1A2B"), std::string::npos) << "a second, different answer";
    EXPECT_NE(access.Errors[4].find("XY12 0001"), std::string::npos);
}

} // namespace
} // namespace velmora
