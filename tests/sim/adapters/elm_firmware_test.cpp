#include <regex>

#include <gtest/gtest.h>

#include "firmware_rig.h"
#include "sim/adapters/elm_firmware.h"
#include "sim/sim_profile.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using testing::TFirmwareRig;

struct TExchange {
    const char* Command; // sent with its CR
    const char* Answer;  // everything the adapter sends back, or a pattern when it starts with '^'
};

TEST(ElmFirmware, AnswersCommandsAsTheSettingsAsk) {
    TFirmwareRig rig(TSimAdapterKind::Elm);
    const TExchange script[] = {
        // Defaults: echo on, no line feeds, spaces, no headers.
        {"ATZ", "ATZ\r\rELM327 v1.5\r\r>"},
        {"at i", "at i\rELM327 v1.5\r\r>"},
        {"ATE0", "ATE0\rOK\r\r>"},
        {"ATI", "ELM327 v1.5\r\r>"},
        {"ATL1", "OK\r\n\r\n>"},
        {"ATXYZ", "?\r\n\r\n>"},
        {"AT", "OK\r\n\r\n>"},
        {"ATL0", "OK\r\r>"},
        {"HELLO", "?\r\r>"},
        {"ATRV", "^1[0-4]\\.[0-9]V\r\r>"},
        {"ATPC", "OK\r\r>"},
        // The first request wakes the unit on the bus.
        {"0100", "BUS INIT: ...OK\r41 00 00 00 00 00\r\r>"},
        {"0105", "NO DATA\r\r>"},
        {"HFMDATAF000", "RF00027\r\r>"},
        {"HFMDATAF001", "RF00142\r\r>"},
        {"HFMDATA10", "?\r\r>"},
        {"HFMDATAF0G0", "?\r\r>"},
        // Table reads: command byte + 0x40 and the address; whole parameters of one or two bytes. 0x55/13
        // is the unit's constant 1.25 V (raw 64).
        {"950D", "95 0D 40\r\r>"},
        {"^9501", "^95 01 [0-9A-F]{2} [0-9A-F]{2}\r\r>"},
        {"ATS0", "OK\r\r>"},
        {"950D", "950D40\r\r>"},
        {"^9501", "^9501[0-9A-F]{4}\r\r>"},
        // Headers: ISO 9141-2 header and checksum around the data.
        {"ATH1", "OK\r\r>"},
        {"0100", "486B1041000000000004\r\r>"},
        {"950D", "486B10950D40A5\r\r>"},
        {"ATH0", "OK\r\r>"},
        {"HFMDATAF000", "RF00027\r\r>"},
        // A lone CR repeats the last command.
        {"", "RF00027\r\r>"},
        // ATZ restores the defaults and ends the bus session.
        {"ATZ", "\rELM327 v1.5\r\r>"},
        {"0100", "0100\rBUS INIT: ...OK\r41 00 00 00 00 00\r\r>"},
    };
    // The regex rows carry the command after the '^'.
    for (const TExchange& step : script) {
        const char* command = step.Command[0] == '^' ? step.Command + 1 : step.Command;
        std::string answer = rig.Send(std::string(command) + "\r");
        if (step.Answer[0] == '^')
            EXPECT_TRUE(std::regex_match(answer, std::regex(step.Answer + 1))) << command << " -> " << answer;
        else
            EXPECT_EQ(answer, step.Answer) << command;
    }
}

// The answers come at the adapter's 38400 baud, and behind a request pair the K-line exchange takes its
// own time (two bytes out, their echoes and two answers at 9600 baud, plus the unit's reaction).
TEST(ElmFirmware, AnswersWithTheTimingOfItsLines) {
    TFirmwareRig rig(TSimAdapterKind::Elm);
    rig.Send("ATE0\r");
    for (char c : std::string("ATI\r"))
        rig.Adapter->HostByte(uint8_t(c), rig.Now);
    double sent = rig.Now;
    double cr = sent + 4 * CharMs(ElmBaud);
    std::vector<TRxByte> got;
    while (rig.Adapter->NextOutputMs() != NeverMs)
        for (const TRxByte& b : rig.Adapter->Output(rig.Now = rig.Adapter->NextOutputMs()))
            got.push_back(b);
    ASSERT_EQ(got.size(), std::string("ELM327 v1.5\r\r>").size());
    EXPECT_NEAR(got.front().TimeMs - cr, 1 + CharMs(ElmBaud), 0.01);
    EXPECT_NEAR(got.back().TimeMs - got.front().TimeMs, (got.size() - 1) * CharMs(ElmBaud), 0.01);

    // The wake-up: the BUS INIT text comes at once, its result after the slow exchange of seconds.
    for (char c : std::string("HFMCONNECT\r"))
        rig.Adapter->HostByte(uint8_t(c), rig.Now);
    double start = rig.Now;
    std::string early;
    for (const TRxByte& b : rig.Adapter->Output(start + 50))
        early += char(b.Value);
    EXPECT_EQ(early, "BUS INIT: ...");
    EXPECT_EQ(rig.Drain(), "OK\r\r>");
    EXPECT_GT(rig.Now - start, 390);

    // A request pair: command and parameter byte each out and back at 9600 baud (11 bits with parity).
    start = rig.Now;
    EXPECT_EQ(rig.Send("HFMDATAF000\r"), "RF00027\r\r>");
    double minimum = 12 * CharMs(ElmBaud) + 4 * CharMs(9600);
    EXPECT_GT(rig.Now - start, minimum);
    EXPECT_LT(rig.Now - start, minimum + 40);
}

// A unit left alone falls asleep: the request finds no answer, and the next one wakes it again.
TEST(ElmFirmware, WakesAUnitThatFellAsleep) {
    TFirmwareRig rig(TSimAdapterKind::Elm);
    rig.Send("ATE0\r");
    EXPECT_EQ(rig.Send("HFMCONNECT\r"), "BUS INIT: ...OK\r\r>");
    rig.Idle(5000);
    EXPECT_EQ(rig.Send("HFMDATAF000\r"), "NO DATA\r\r>");
    EXPECT_EQ(rig.Send("HFMDATAF000\r"), "BUS INIT: ...OK\rRF00027\r\r>");
    EXPECT_TRUE(static_cast<TElmFirmware&>(*rig.Adapter).Connected());
}

// The firmware tries the usual break, then the shorter one LH units want; a unit that takes neither
// leaves the bus down.
TEST(ElmFirmware, TriesTwoBreaksBeforeItGivesUp) {
    testing::TTempFolder folder;
    const std::pair<const char*, const char*> cases[] = {
        {"BreakMinMs=120\nBreakMaxMs=140\n", "BUS INIT: ...OK\r\r>"},
        {"BreakMinMs=300\nBreakMaxMs=400\n", "BUS INIT: ...ERROR\r\r>"},
    };
    for (auto [breaks, answer] : cases) {
        std::string unit = folder.WriteFile("unit.ini", std::string("[Unit]\nBase=hfm\n") + breaks).string();
        TFirmwareRig rig(TSimAdapterKind::Elm, unit);
        rig.Send("ATE0\r");
        double start = rig.Now;
        EXPECT_EQ(rig.Send("HFMCONNECT\r"), answer) << breaks;
        // The first attempt runs its four bytes a second apart before the second break.
        EXPECT_GT(rig.Now - start, 3000) << breaks;
    }
}

// Characters sent at another baud rate are garbage to the firmware: nothing comes back.
TEST(ElmFirmware, IgnoresALineAtAnotherBaudRate) {
    TFirmwareRig rig(TSimAdapterKind::Elm);
    rig.Adapter->HostLine(9600, 0, OneStopBit, rig.Now);
    EXPECT_EQ(rig.Send("ATI\r"), "");
    rig.Adapter->HostLine(38400, 0, OneStopBit, rig.Now);
    EXPECT_EQ(rig.Send("ATI\r"), "ATI\rELM327 v1.5\r\r>");
}

// After USBKKL the adapter is a plain K-line cable on the same bus until it is reset (powered off):
// bytes come back as their echo, a break and the slow bytes wake the unit, and AT commands are bytes.
TEST(ElmFirmware, PassesTheKLineThroughAfterUsbKkl) {
    TFirmwareRig rig(TSimAdapterKind::Elm);
    EXPECT_EQ(rig.Send("USBKKL\r"), "USBKKL\rEXEC_AS_KKL_MODE\r");
    EXPECT_TRUE(rig.Adapter->PassThrough());

    rig.Adapter->HostLine(9600, 0, OneStopBit, rig.Now);
    EXPECT_EQ(rig.Send("ATZ\r"), "ATZ\r");

    double t0 = rig.Now + 10;
    rig.Adapter->HostBreak(true, t0);
    rig.Adapter->HostBreak(false, t0 + 165);
    rig.Adapter->HostLine(9600, 4, OneStopBit, t0 + 165);
    rig.Now = t0 + 390;
    // The break's framing error (0x00), the echo, and the unit's answer to the first 0xAA.
    EXPECT_EQ(rig.Send("\xAA"), std::string("\x00\xAA\x55", 3));
    rig.Adapter->HostLine(9600, 0, OneStopBit, rig.Now);
    EXPECT_EQ(rig.Send("\xF0"), "\xF0\x0F");
    rig.Adapter->HostLine(9600, 4, OneStopBit, rig.Now);
    EXPECT_EQ(rig.Send(std::string(1, '\0')), std::string("\x00\x27", 2));
}

} // namespace
} // namespace velmora
