#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host_recorder.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "sim/sim_unit.h"
#include "temp_folder.h"

namespace velmora {
namespace {

struct TRead {
    std::vector<uint8_t> Bytes;
    double ElapsedMs;
};

TRead ReadEx(TSimPort& port, int count) {
    std::vector<uint8_t> data(64);
    TPortBuffer buffer{data.data(), 0, 0, int(data.size())};
    double start = Clock().PerfMs();
    int n = port.ReadBufEx(buffer, count);
    EXPECT_EQ(n, buffer.Count);
    data.resize(n);
    return {data, Clock().PerfMs() - start};
}

// The engine link's wake-up through the port: break, space parity, 0xAA at 390 ms.
void WakeThroughPort(TSimPort& port, TManualClock& clock) {
    port.SetParams(9600, ParityNone, OneStopBit);
    port.SetTimeouts(0, 1, 300, 0, 0);
    port.SetCommBreak();
    clock.Advance(165);
    port.ClearCommBreak();
    port.SetParams(9600, ParitySpace, OneStopBit);
    clock.Advance(225);
    ASSERT_TRUE(port.WriteByte(0xAA));
    TRead r = ReadEx(port, 3);
    EXPECT_EQ(r.Bytes, (std::vector<uint8_t>{0x00, 0xAA, 0x55})) << "break byte, echo, answer";
    // Echo 11 bits, 20 ms for the wake answer, the answer's 10 bits: read back within 23 ms.
    EXPECT_GE(r.ElapsedMs, 1.146 + 20 + 1.042);
    EXPECT_LE(r.ElapsedMs, 24);
}

TEST(SimPort, RequestPairGivesEchoComplementEchoValueInVirtualTime) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TSimPort port("SIM");
    ASSERT_TRUE(port.Open(false, 9600));
    WakeThroughPort(port, clock);

    port.SetParity(ParityNone);
    port.WriteByte(0x55);
    TRead cmd = ReadEx(port, 2);
    EXPECT_EQ(cmd.Bytes, (std::vector<uint8_t>{0x55, 0xAA}));
    // 1.042 ms on the wire, 2.5 ms reaction, 1.042 ms answer; the port wakes on whole milliseconds.
    EXPECT_GE(cmd.ElapsedMs, 4.58);
    EXPECT_LE(cmd.ElapsedMs, 6);

    port.SetParity(ParitySpace);
    port.WriteByte(0x00);
    TRead value = ReadEx(port, 2);
    ASSERT_EQ(value.Bytes.size(), 2u);
    EXPECT_EQ(value.Bytes[0], 0x00);
    EXPECT_NEAR(value.Bytes[1] - 40, 86, 2) << "coolant, raw = degrees + 40";
    EXPECT_LE(value.ElapsedMs, 6);
}

// One request pair as the engine link does it on a KKL cable: each byte's echo and answer in one read.
std::optional<uint8_t> Pair(TSimPort& port, uint8_t cmd, uint8_t param, bool leaveOutCmd) {
    if (!leaveOutCmd) {
        port.SetParity(ParityNone);
        port.WriteByte(cmd);
        TRead r = ReadEx(port, 2);
        if (r.Bytes != std::vector<uint8_t>{cmd, uint8_t(0xFF - cmd)})
            return std::nullopt;
    }
    if (param == 0x00)
        Clock().Sleep(10);
    port.SetParity(ParitySpace);
    port.WriteByte(param);
    TRead r = ReadEx(port, 2);
    if (r.Bytes.size() != 2 || r.Bytes[0] != param)
        return std::nullopt;
    return r.Bytes[1];
}

TEST(SimPort, WholeIdentificationRunsInVirtualTimeAtTheLinesRate) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TSimPort port("SIM");
    ASSERT_TRUE(port.Open(false, 9600));
    WakeThroughPort(port, clock);
    double start = Clock().PerfMs();
    int requests = 0;
    std::string ident;
    for (int a = 0; a <= 0x27; ++a) {
        if (a >= 0x1C && a <= 0x25)
            continue;
        auto v = Pair(port, 0xF0, uint8_t(a), false);
        ASSERT_TRUE(v) << a;
        ++requests;
        if (a >= 2 && a <= 0x0B)
            ident += char(*v);
    }
    EXPECT_EQ(ident, "HF2811B001");
    double msPerRequest = (Clock().PerfMs() - start) / requests;
    // Per pair: 2 x (frame out, reaction, frame back) is about 9.3 ms at 9600 baud; the 0x00 address adds 10.
    EXPECT_GT(msPerRequest, 9.3);
    EXPECT_LT(msPerRequest, 13);
    // Idle reads with the command byte left out (0x10, address above 0x40) and a parameter of the set.
    EXPECT_TRUE(Pair(port, 0x10, 0x74, true));
    EXPECT_TRUE(Pair(port, 0x55, 0x03, false));
}

TEST(SimPort, ReadTimeOutsHaveTheirWindowsMeaning) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TSimPort port("SIM:pms");
    ASSERT_TRUE(port.Open(false, 9600));
    struct TCase {
        int Interval, Multiplier, Constant, Count;
        double Elapsed;
    };
    // Nothing on the line (the unit sleeps): the total time-out runs out.
    for (TCase c : {TCase{0, 1, 300, 2, 302}, TCase{0, 0, 50, 4, 50}, TCase{0, 10, 0, 3, 30}}) {
        port.SetTimeouts(c.Interval, c.Multiplier, c.Constant, 0, 0);
        TRead r = ReadEx(port, c.Count);
        EXPECT_TRUE(r.Bytes.empty());
        EXPECT_DOUBLE_EQ(r.ElapsedMs, c.Elapsed);
    }
    // An interval time-out ends the read soon after the last byte instead of waiting for 10.
    port.SetTimeouts(5, 1, 300, 0, 0);
    port.WriteByte(0x10);
    TRead r = ReadEx(port, 10);
    EXPECT_EQ(r.Bytes, (std::vector<uint8_t>{0x10})) << "only the echo: the unit sleeps";
    EXPECT_LE(r.ElapsedMs, 1.042 + 5 + 1);
    // Without any time-out a read with nothing on its way returns at once.
    port.SetTimeouts(0, 0, 0, 0, 0);
    EXPECT_TRUE(ReadEx(port, 2).Bytes.empty());
    EXPECT_EQ(ReadEx(port, 2).ElapsedMs, 0);
}

TEST(SimPort, ProfileFileUnknownUnitAndVanishingAdapter) {
    testing::THostRecorder host;
    TManualClock clock;
    TScopedClock scoped(clock);
    {
        TSimPort port("SIM:diesel");
        EXPECT_FALSE(port.Open(true, 9600));
        ASSERT_EQ(host.Boxes().size(), 1u);
        EXPECT_NE(host.Boxes()[0].find("diesel"), std::string::npos);
        EXPECT_FALSE(port.IsOpen());
    }
    testing::TTempFolder folder;
    auto file = folder.WriteFile("flaky.ini", "[Unit]\nBase=pms\n[LineFaults]\nVanishAfterRequests=2\n");
    TSimPort port("SIM:" + file.string());
    ASSERT_TRUE(port.Open(false, 9600));
    EXPECT_EQ(port.Car()->Profile().Family, TSimFamily::PMS);
    WakeThroughPort(port, clock);
    for (uint8_t a = 0; a < 2; ++a) {
        port.SetParity(ParityNone);
        port.WriteByte(0xF0);
        ReadEx(port, 2);
        port.SetParity(ParitySpace);
        port.WriteByte(a);
        EXPECT_EQ(ReadEx(port, 2).Bytes.size(), 2u);
    }
    port.SetParity(ParityNone);
    port.WriteByte(0xF0);
    EXPECT_EQ(ReadEx(port, 2).Bytes.size(), 2u);
    port.SetParity(ParitySpace);
    port.WriteByte(0x02);
    EXPECT_THROW(ReadEx(port, 2), PortException) << "gone during the third pair";
    EXPECT_THROW(port.InQueue(), PortException);
    EXPECT_THROW(port.WriteByte(0x10), PortException);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SimPort, UnitFallsAsleepWhileNobodyAsks) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TSimPort port("SIM:lh");
    ASSERT_TRUE(port.Open(false, 9600));
    WakeThroughPort(port, clock);
    clock.Advance(2500);
    EXPECT_EQ(port.InQueue(), 0);
    EXPECT_EQ(port.Car()->Unit().State(), TSimUnit::TState::Asleep);
}

TEST(SimPort, RegisteredWithThePortFactory) {
    RegisterSimPorts();
    ASSERT_TRUE(CreatePort(9600, "SIM:ez"));
    auto* sim = dynamic_cast<TSimPort*>(Port());
    ASSERT_NE(sim, nullptr);
    EXPECT_TRUE(sim->IsOpen());
    EXPECT_EQ(sim->Car()->Profile().Family, TSimFamily::EZ);
    FreePort();
}

} // namespace
} // namespace velmora
