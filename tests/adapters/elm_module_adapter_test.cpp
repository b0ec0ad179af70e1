// The ELM327 module adapter's frames: the wake-up answer and a request's answer taken whole up to the
// longest frame, and cut at the first blank.
#include "adapters/elm_module_adapter.h"

#include <gtest/gtest.h>

#include "adapters/module_frame.h"
#include "fake_elm_port.h"
#include "host_recorder.h"
#include "modules/module_dialogue.h"

namespace velmora {
namespace {

class ElmModuleAdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Adapter.SetPort(&Port);
        Adapter.SetProtocolLog(Protocol);
        Adapter.Init(SrsAddress, 'S', 9600, 0);
        Adapter.SetTimings(3, 100, 500);
    }
    // A module frame as the adapter prints it: "R" and the frame in hex.
    static std::string FrameLine(const std::string& payloadHex) {
        return "R" + HexText(BuildModuleFrame(SrsAddress, payloadHex)) + "\r";
    }

    TManualClock ManualClock;
    TScopedClock ClockScope{ManualClock};
    testing::THostRecorder Host;
    testing::TFakeElmPort Port;
    TProtocolLog Protocol;
    TELM327myAdapter Adapter;
};

TEST_F(ElmModuleAdapterTest, WakeUpAnswerEndsAtTheFirstBlank) {
    Port.Reply("ATZ", {{10, "ELM327 v1.5\r\r>"}});
    Port.Reply("ATE0", {{10, "OK\r\r>"}});
    Port.Reply(TELM327myAdapter::SetupCommand(SrsAddress, 'S', 0, 3, 500, 100), {{10, "OK\r\r>"}});
    // The identification, then a stray line: the answer lines reach the adapter joined by a blank.
    Port.Reply("ISOCONNECT", {{50, FrameLine("8F0028200526000818010102021415") + "7E\r\r>"}});
    ASSERT_TRUE(Adapter.Connect()) << Host.LogText();
    EXPECT_TRUE(Adapter.Info.Identified()) << Protocol.Text();
    EXPECT_EQ(Adapter.Info.Supplier(), 0x18);
}

TEST_F(ElmModuleAdapterTest, LongestFrameOfARequestComesWhole) {
    // Length byte 128: 124 payload bytes, 256 characters of frame text after the "R".
    std::string payload = "D0";
    for (int i = 0; i < 123; ++i)
        payload += "5A";
    ASSERT_EQ(BuildModuleFrame(SrsAddress, payload).size(), 128u);
    Port.Reply("ISOMSG5001", {{20, FrameLine(payload) + "\r>"}});
    std::string answer;
    ASSERT_TRUE(Adapter.Exchange("5001", answer, TModuleDialogue::AnswerChars)) << Host.LogText();
    EXPECT_EQ(answer.size(), 256u);
    EXPECT_EQ(Adapter.ParsePacket(answer), payload) << Protocol.Text();
}

} // namespace
} // namespace velmora
