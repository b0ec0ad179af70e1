#include <gtest/gtest.h>

#include <vector>

#include "links/base_port.h"
#include "sim/kline_bus.h"

namespace velmora {
namespace {

// Records what the unit side sees and answers each frame with `Reply` after `DelayMs`.
struct TRecordingDevice : TKLineDevice {
    struct TSeen {
        uint8_t Value;
        bool NinthBit;
        double EndMs;
    };
    std::vector<TSeen> Frames;
    std::vector<std::pair<double, double>> Breaks;
    TKLineBus* Bus = nullptr;
    std::optional<uint8_t> Reply;
    double DelayMs = 0;

    void OnFrame(uint8_t value, bool ninthBit, int, double endMs) override {
        Frames.push_back({value, ninthBit, endMs});
        if (Reply)
            Bus->UnitSend(*Reply, endMs + DelayMs);
    }
    void OnBreak(double startMs, double endMs) override { Breaks.emplace_back(startMs, endMs); }
    void AdvanceTo(double) override {}
};

TEST(KLineBus, FramesTakeTheirBitTimesAndCarryTheNinthBitOfTheParity) {
    struct TCase {
        uint8_t Parity;
        uint8_t Value;
        bool NinthBit;
        double FrameMs;
        uint8_t StopBits = OneStopBit;
        int Baud = 9600;
    };
    const TCase cases[] = {
        {ParityNone, 0x55, true, 10000.0 / 9600},
        {ParitySpace, 0x55, false, 11000.0 / 9600},
        {ParityMark, 0x00, true, 11000.0 / 9600},
        {ParityEven, 0x01, true, 11000.0 / 9600},
        {ParityEven, 0x03, false, 11000.0 / 9600},
        {ParityOdd, 0x03, true, 11000.0 / 9600},
        {ParityNone, 0x55, true, 11000.0 / 10400, TwoStopBits, 10400},
    };
    for (const TCase& c : cases) {
        TRecordingDevice device;
        TKLineBus bus(device);
        device.Bus = &bus;
        bus.SetLine(c.Baud, c.Parity, c.StopBits);
        double end = bus.Send(c.Value, 10);
        EXPECT_NEAR(end, 10 + c.FrameMs, 1e-9);
        std::vector<TRxByte> rx = bus.Receive(20);
        ASSERT_EQ(device.Frames.size(), 1u);
        EXPECT_EQ(device.Frames[0].NinthBit, c.NinthBit) << int(c.Parity) << " " << int(c.Value);
        EXPECT_EQ(rx, (std::vector<TRxByte>{{c.Value, end}})) << "the echo arrives when the frame ends";
    }
}

TEST(KLineBus, EchoThenAnswerAfterTheReactionTimeAndQueuedSends) {
    TRecordingDevice device;
    TKLineBus bus(device);
    device.Bus = &bus;
    device.Reply = 0xAA;
    device.DelayMs = 3;
    bus.SetLine(9600, ParityNone);
    double frame = 10000.0 / 9600;
    bus.Send(0x55, 0);
    // Nothing has reached the receiver before the stop bit ends.
    EXPECT_TRUE(bus.Receive(frame - 0.01).empty());
    EXPECT_NEAR(bus.NextEventMs(), frame, 1e-9);
    std::vector<TRxByte> rx = bus.Receive(100);
    ASSERT_EQ(rx.size(), 2u);
    EXPECT_EQ(rx[0].Value, 0x55);
    EXPECT_EQ(rx[1].Value, 0xAA);
    EXPECT_NEAR(rx[1].TimeMs, frame + 3 + frame, 1e-9);

    // Two bytes written at once leave one after the other.
    device.Reply.reset();
    double second = 0;
    bus.Send(0x01, 200);
    second = bus.Send(0x02, 200);
    EXPECT_NEAR(second, 200 + 2 * frame, 1e-9);
}

TEST(KLineBus, OverlappingFramesCollideAndBreakIsSeenWithItsLength) {
    TRecordingDevice device;
    TKLineBus bus(device);
    device.Bus = &bus;
    device.Reply = 0x0F;
    device.DelayMs = 0.5; // answers while the adapter is still sending its next byte
    bus.SetLine(9600, ParityNone);
    bus.Send(0xF1, 0);
    bus.Send(0x3C, 10000.0 / 9600 + 0.2); // starts while the answer starts: wired-AND of both
    std::vector<TRxByte> rx = bus.Receive(50);
    ASSERT_EQ(rx.size(), 2u);
    EXPECT_EQ(rx[0].Value, 0xF1);
    EXPECT_EQ(rx[1].Value, 0x0F & 0x3C);
    EXPECT_EQ(device.Frames.size(), 1u) << "the unit does not understand the corrupted byte";

    device.Reply.reset();
    bus.SetBreak(true, 100);
    bus.Send(0x11, 120); // lost in the break
    bus.SetBreak(false, 265);
    ASSERT_EQ(device.Breaks.size(), 1u);
    EXPECT_DOUBLE_EQ(device.Breaks[0].second - device.Breaks[0].first, 165);
    rx = bus.Receive(300);
    ASSERT_EQ(rx.size(), 1u);
    EXPECT_EQ(rx[0].Value, 0x00) << "the framing error of the break";
    EXPECT_EQ(device.Frames.size(), 1u);
}

} // namespace
} // namespace velmora
