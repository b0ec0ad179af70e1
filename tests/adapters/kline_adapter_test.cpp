// The K-line module adapter on a scripted port in virtual time: the 5-baud address read off the manual
// clock, the sync and the first message, requests spaced on the counter, answers behind the echo, the
// time-out cap; and the ELM327 module adapter's setup command.
#include <gtest/gtest.h>

#include <algorithm>

#include "adapters/base_adapter.h"
#include "adapters/elm_module_adapter.h"
#include "adapters/kline_adapter.h"
#include "adapters/module_frame.h"
#include "fake_kline_port.h"
#include "host_recorder.h"

namespace velmora {
namespace {

class KLineAdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Adapter.SetPort(&Port);
        Adapter.SetProtocolLog(Protocol);
    }
    bool Logged(const std::string& text) const {
        const auto& lines = Protocol.Items();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
    std::vector<uint8_t> Bytes(std::string_view hex) {
        std::vector<uint8_t> bytes;
        ParseHexText(hex, bytes);
        return bytes;
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TFakeKLinePort Port;
    TProtocolLog Protocol;
    TKLineAdapter Adapter;
};

TEST_F(KLineAdapterTest, FiveBaudAddressIsHeldInWholeBitPeriods) {
    struct TCase {
        uint8_t Address;
        std::vector<double> Steps; // break and release lengths in turn, ms
    };
    const TCase cases[] = {
        {0x18, {800, 400, 400, 0}},    // start + bits 0-2 low, 3-4 high, 5-6 low
        {0x41, {200, 200, 1000, 200}}, // start low, bit 0 high, bits 1-5 low, bit 6 high
        {0x20, {1200, 200, 200, 0}},   // start + bits 0-4 low, bit 5 high, bit 6 low
    };
    for (const TCase& c : cases) {
        Port.Events.clear();
        Adapter.Init(c.Address, 'S', 10400, 0);
        const double start = ManualClock.PerfMs();
        EXPECT_FALSE(Adapter.Connect()); // nobody answers
        std::vector<double> steps;
        double last = start;
        for (const auto& event : Port.Events) {
            ASSERT_TRUE(event.What == "break" || event.What == "release") << event.What;
            steps.push_back(event.Ms - last);
            last = event.Ms;
        }
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.front(), 0) << "the first break starts at once";
        steps.erase(steps.begin());
        // The last release's own sleep, then the 1500 ms sync wait.
        steps.push_back(ManualClock.PerfMs() - last - 1500);
        EXPECT_EQ(steps, c.Steps) << int(c.Address);
        EXPECT_TRUE(Logged("  ЭХО коннекта не получено"));
    }
    // Two stop bits for the module line.
    ASSERT_FALSE(Port.Settings.empty());
    EXPECT_EQ(Port.Settings.back().Baud, 10400);
    EXPECT_EQ(Port.Settings.back().StopBits, TwoStopBits);
}

TEST_F(KLineAdapterTest, SyncKeyBytesAndFirstMessageMakeTheConnection) {
    Adapter.Init(0x41, 'S', 9600, 0);
    // The module answers 2040 ms after the address began: the breaks' zeros first, then sync and keys.
    Port.Arrive(200, {0x00});
    Port.Arrive(2040, {0x55, 0x01, 0x8A});
    const std::string ident = "418F130028200526000218090114020100"
                              "0000";
    std::vector<uint8_t> identFrame = Bytes(ident);
    // Fix the sum so that the frame is valid.
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < identFrame.size(); ++i)
        sum += identFrame[i];
    identFrame[identFrame.size() - 2] = uint8_t(sum);
    identFrame[identFrame.size() - 1] = uint8_t(sum >> 8);
    Port.Arrive(2100, identFrame);
    EXPECT_TRUE(Adapter.Connect());
    EXPECT_TRUE(Logged("  Принято: 00"));
    EXPECT_TRUE(Logged("  Принято: 55 01 8A"));
    EXPECT_TRUE(Logged("Время ответа ЭБУ: "));
    EXPECT_EQ(Adapter.Ident, "0028200526000218090114020100");
    EXPECT_EQ(Adapter.Info.PartNumber(), "0028200526");
    EXPECT_EQ(Adapter.Info.Supplier(), 0x18);
    EXPECT_NE(Host.LogText().find("        Supplier: MBB"), std::string::npos) << Host.LogText();
}

TEST_F(KLineAdapterTest, EchoThenAnswerYieldsOnlyTheAnswer) {
    Adapter.Init(0x41, 'S', 9600, 0);
    Adapter.SetTimings(0, 100, 500);
    Port.OnWrite = [&](const std::vector<uint8_t>& frame) {
        Port.Arrive(1, frame);                    // the echo
        Port.Arrive(30, Bytes("41D00700011901")); // the acknowledgement
    };
    std::string answer;
    EXPECT_TRUE(Adapter.Exchange("5001", answer, 255));
    EXPECT_EQ(answer, "41D00700011901");
    EXPECT_EQ(Adapter.ParsePacket(answer), "D00001");
    EXPECT_TRUE(Logged("415006019800")); // the request, and its echo before the answer
}

TEST_F(KLineAdapterTest, LongestFrameTheHeaderAcceptsComesWhole) {
    // Length byte 128: 128 bytes, 256 hex characters, one more than a 255-character buffer holds.
    std::vector<uint8_t> frame = {0x41, 0xD0, 128};
    frame.resize(126, 0x5A);
    unsigned sum = 0;
    for (uint8_t b : frame)
        sum += b;
    frame.push_back(uint8_t(sum));
    frame.push_back(uint8_t(sum >> 8));
    Adapter.Init(0x41, 'S', 9600, 0);
    Adapter.SetTimings(0, 0, 500);
    Port.OnWrite = [&](const std::vector<uint8_t>& request) {
        Port.Arrive(1, request);
        Port.Arrive(30, frame);
    };
    std::string answer;
    EXPECT_TRUE(Adapter.Exchange("5001", answer, 256));
    EXPECT_EQ(answer, HexText(frame));
    std::string payload = "D0";
    for (int i = 0; i < 123; ++i)
        payload += "5A";
    EXPECT_EQ(Adapter.ParsePacket(answer), payload);
    // A shorter limit cuts on a byte boundary: the text stays whole bytes.
    std::string packet;
    Port.Arrive(1, frame);
    EXPECT_TRUE(Adapter.ReceivePacket(packet, 255, 500, true));
    EXPECT_EQ(packet.size(), 254u);
}

TEST_F(KLineAdapterTest, AnswerWithoutEchoIsNotTakenAndTheMissingEchoIsReported) {
    Adapter.Init(0x41, 'S', 9600, 0);
    Adapter.SetTimings(0, 0, 500);
    Port.OnWrite = [&](const std::vector<uint8_t>&) { Port.Arrive(30, Bytes("41D00700011901")); };
    std::string answer;
    EXPECT_FALSE(Adapter.Exchange("5001", answer, 255));
    EXPECT_TRUE(Logged("Внимание! ЭХО посылки не получено!"));
    EXPECT_TRUE(Logged("41D00700011901")); // what came is still in the log
}

TEST_F(KLineAdapterTest, GarbageBeforeTheAnswerIsReportedAndAFrameFailingItsSumGivesNoPayload) {
    Adapter.Init(0x41, 'S', 9600, 0);
    Adapter.SetTimings(0, 0, 500);
    Port.OnWrite = [&](const std::vector<uint8_t>& frame) {
        Port.Arrive(1, frame);
        Port.Arrive(20, Bytes("7E7E41D00700FF0000"));
    };
    std::string answer;
    EXPECT_TRUE(Adapter.Exchange("5001", answer, 255));
    EXPECT_TRUE(Logged("  Принят мусор: 7E7E"));
    EXPECT_EQ(Adapter.ParsePacket(answer), "");
    EXPECT_TRUE(Adapter.LastFrameBadSum());
    EXPECT_EQ(Adapter.BadSumFrames(), 1);
    EXPECT_TRUE(Logged("Ошибка контрольной суммы пакета!"));
    EXPECT_EQ(Adapter.ParsePacket("41D00700011901"), "D00001");
    EXPECT_FALSE(Adapter.LastFrameBadSum());
}

TEST_F(KLineAdapterTest, ReceiveWaitsAtMostThreeSeconds) {
    Adapter.Init(0x41, 'S', 9600, 0);
    for (int timeout : {500, 3000, 5000}) {
        const uint32_t start = ManualClock.TickCount();
        std::string packet;
        EXPECT_FALSE(Adapter.ReceivePacket(packet, 255, timeout, true));
        const uint32_t waited = ManualClock.TickCount() - start;
        EXPECT_GE(waited, uint32_t(std::min(timeout, 3000)));
        EXPECT_LE(waited, uint32_t(std::min(timeout, 3000)) + 2) << timeout;
    }
    EXPECT_TRUE(Logged("  НЕТ ответа (3000 ms)"));
}

TEST_F(KLineAdapterTest, RequestBytesAreSpacedOnTheCounterAfterTheRequestDelay) {
    Adapter.Init(0x41, 'S', 9600, 0);
    Adapter.SetTimings(3, 100, 500);
    const double start = ManualClock.PerfMs();
    Adapter.SendPacket("5001", false);
    ASSERT_EQ(Port.Events.size(), 6u);
    // 100 ms delay and 3 ms of quiet, then one byte about every InterByteTime + 1 ms.
    EXPECT_GE(Port.Events[0].Ms - start, 103);
    for (size_t i = 1; i < Port.Events.size(); ++i)
        EXPECT_DOUBLE_EQ(Port.Events[i].Ms - Port.Events[i - 1].Ms, 4.0) << i;
    std::string bytes;
    for (const auto& event : Port.Events)
        bytes += event.What;
    EXPECT_EQ(bytes, "415006019800");

    // Without spacing the frame goes out in one piece, at once.
    Port.Events.clear();
    Adapter.SetTimings(0, 0, 500);
    Adapter.SendPacket("70", true);
    ASSERT_EQ(Port.Events.size(), 5u);
    EXPECT_EQ(Port.Events.front().Ms, Port.Events.back().Ms);
    // An empty request sends nothing.
    Port.Events.clear();
    Adapter.SendPacket("", false);
    EXPECT_TRUE(Port.Events.empty());
}

TEST_F(KLineAdapterTest, FastWakeUpSendsTheAddressUpToThreeTimes) {
    Adapter.Init(0x18, 'F', 10400, 0);
    EXPECT_FALSE(Adapter.Connect());
    EXPECT_EQ(std::count_if(Port.Events.begin(), Port.Events.end(),
                            [](const auto& event) { return event.What == "18"; }),
              3);
}

TEST(ModuleAdapters, CreateAdapterPicksTheClassAndChecksItsSettings) {
    EXPECT_NE(dynamic_cast<TELM327myAdapter*>(CreateAdapter('E').get()), nullptr);
    EXPECT_NE(dynamic_cast<TKLineAdapter*>(CreateAdapter('K').get()), nullptr);
    EXPECT_NE(dynamic_cast<TKLineAdapter*>(CreateAdapter('S').get()), nullptr);
    try {
        CreateAdapter('C');
        ADD_FAILURE() << "no exception";
    } catch (const AdapterException& error) {
        EXPECT_STREQ(error.what(), "Экземпляр класса TAdapter не создан!");
    }
    auto adapter = CreateAdapter('E');
    EXPECT_THROW(adapter->SetPort(nullptr), AdapterException);
    try {
        adapter->Init(0x41, 'X', 9600, 0);
        ADD_FAILURE() << "no exception";
    } catch (const AdapterException& error) {
        EXPECT_STREQ(error.what(), "ISO: Тип коннекта указан неверно!");
    }
}

TEST(ModuleAdapters, ElmSetupCommandCarriesTheProtocolSettings) {
    struct TCase {
        uint8_t Address;
        char Type;
        int Parity, InterByte, AnswerTimeout, RequestDelay;
        const char* Command;
    };
    const TCase cases[] = {
        {0x41, 'S', 0, 3, 500, 100, "ISOSET41SN3FA64"},
        {0x41, 'S', 0, 1, 500, 200, "ISOSET41SN1FAC8"},
        {0x18, 'S', 0, 0, 500, 100, "ISOSET18SN0FA64"},
        {0x20, 'F', 4, 12, 1000, 300, "ISOSET20FS12FFFF"}, // both capped at 255
        {0x41, 'S', 1, 0, 20, 0, "ISOSET41SO00A00"},
        {0x41, 'S', 2, 0, 20, 0, "ISOSET41SE00A00"},
        {0x41, 'S', 3, 0, 20, 0, "ISOSET41SM00A00"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TELM327myAdapter::SetupCommand(c.Address, c.Type, c.Parity, c.InterByte, c.AnswerTimeout,
                                                 c.RequestDelay),
                  c.Command);
}

} // namespace
} // namespace velmora
