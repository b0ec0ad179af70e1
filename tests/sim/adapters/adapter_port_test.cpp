#include <gtest/gtest.h>

#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/adapters/adapter_port.h"

namespace velmora {
namespace {

class AdapterPortTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterSimAdapterPorts(); }
    void TearDown() override { FreePort(); }

    // Writes `text` and reads until the prompt or `timeoutMs` of silence, as an ELM327 caller does.
    std::string Command(std::string_view text, int timeoutMs = 3000) {
        TBasePort& port = *Port();
        EXPECT_TRUE(port.WritePortEx(reinterpret_cast<const uint8_t*>(text.data()), int(text.size())));
        port.SetTimeouts(0, 0, timeoutMs, 0, 0);
        std::string answer;
        uint8_t byte = 0;
        TPortBuffer buffer{&byte, 0, 0, 1};
        while (port.ReadBufEx(buffer, 1) == 1) {
            answer += char(byte);
            if (byte == '>')
                break;
        }
        return answer;
    }

    TManualClock Manual;
    TScopedClock Scoped{Manual};
};

// The port runs in virtual time: a read that waits moves the manual clock by the time the adapter and
// the K-line need.
TEST_F(AdapterPortTest, ElmPortRunsTheFirmwareOnTheClock) {
    ASSERT_TRUE(CreatePort(9600, "SIMELM:hfm"));
    EXPECT_EQ(PortNameToNumber("SIMELM:hfm"), SimElmPortNumber);
    Port()->SetParams(38400, ParityNone, OneStopBit);
    EXPECT_EQ(Command("ATE0\r"), "ATE0\rOK\r\r>");

    uint32_t before = Manual.TickCount();
    EXPECT_EQ(Command("HFMCONNECT\r"), "BUS INIT: ...OK\r\r>");
    uint32_t wake = Manual.TickCount() - before;
    EXPECT_GE(wake, 390u);
    EXPECT_LE(wake, 5000u);
    EXPECT_EQ(Command("HFMDATAF000\r"), "RF00027\r\r>");

    // Nothing on its way: a read gives up after its time-out.
    before = Manual.TickCount();
    EXPECT_EQ(Command("", 300), "");
    EXPECT_EQ(Manual.TickCount() - before, 300u);
}

TEST_F(AdapterPortTest, CarSoftPortIdentifiesAtItsSpeed) {
    ASSERT_TRUE(CreatePort(9600, "SIMCARSOFT"));
    TBasePort& port = *Port();
    port.SetParams(19200, ParityNone, OneStopBit);
    port.SetRTS(false);
    EXPECT_TRUE(port.WriteByte(0x63));
    Manual.Advance(30);
    uint8_t data[32];
    TPortBuffer buffer{data, 0, 0, sizeof data};
    port.ReadBuf(buffer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size_t(buffer.Count)), "V9.9  16/99");
}

TEST_F(AdapterPortTest, UnknownUnitIsReportedAndLeavesNoPort) {
    EXPECT_FALSE(CreatePort(9600, "SIMELM:no-such-unit"));
    EXPECT_EQ(Port(), nullptr);
}

} // namespace
} // namespace velmora
