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
    // 1.042 ms on the wire, 2.5 ms reaction, 1.042 ms answer: the read wakes when the answer's stop bit
    // ends, to the microsecond.
    EXPECT_NEAR(cmd.ElapsedMs, 10 * 1000.0 / 9600 + 2.5 + 10 * 1000.0 / 9600, 0.001);

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

// One call registers every kind; each name makes a TSimPort with its adapter in front of the unit named.
TEST(SimPort, EveryKindRegisteredWithThePortFactory) {
    RegisterSimPorts();
    struct TCase {
        const char* Name;
        int Number;
        TSimFamily Family;
    };
    for (TCase c :
         {TCase{"SIM:ez", SimPortNumber, TSimFamily::EZ}, TCase{"SIM", SimPortNumber, TSimFamily::HFM},
          TCase{"SIMELM:pms", SimElmPortNumber, TSimFamily::PMS},
          TCase{"SIMCARSOFT:lh", SimCarSoftPortNumber, TSimFamily::LH}}) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PortNameToNumber(c.Name), c.Number);
        ASSERT_TRUE(CreatePort(9600, c.Name));
        auto* sim = dynamic_cast<TSimPort*>(Port());
        ASSERT_NE(sim, nullptr);
        EXPECT_TRUE(sim->IsOpen());
        EXPECT_EQ(sim->Car()->Profile().Family, c.Family);
        FreePort();
    }
    EXPECT_FALSE(CreatePort(9600, "SIMELM:no-such-unit"));
    EXPECT_EQ(Port(), nullptr);
}

// The window program keeps one car per port name: the unit woken through one port object is still awake
// behind the next port of that name, while another name has a car of its own. Per port, each port object
// meets a new car.
TEST(SimPort, CarLivesAsLongAsTheRegistrationAsks) {
    TManualClock clock;
    TScopedClock scoped(clock);
    using TState = TSimUnit::TState;
    for (TSimCarLifetime lifetime : {TSimCarLifetime::PerPort, TSimCarLifetime::Program}) {
        SCOPED_TRACE(int(lifetime));
        RegisterSimPorts(lifetime);
        ASSERT_TRUE(CreatePort(9600, "SIM:lh"));
        WakeThroughPort(*dynamic_cast<TSimPort*>(Port()), clock);
        FreePort();
        clock.Advance(100);
        ASSERT_TRUE(CreatePort(9600, "SIM:lh"));
        EXPECT_EQ(dynamic_cast<TSimPort*>(Port())->Car()->Unit().State(),
                  lifetime == TSimCarLifetime::Program ? TState::Awake : TState::Asleep);
        ASSERT_TRUE(CreatePort(9600, "SIM:pms"));
        EXPECT_EQ(dynamic_cast<TSimPort*>(Port())->Car()->Unit().State(), TState::Asleep);
        FreePort();
    }
    RegisterSimPorts();
}

// The stop bits lengthen every frame on the wire, and a parity change keeps them.
TEST(SimPort, StopBitsLengthenTheFrames) {
    TManualClock clock;
    TScopedClock scoped(clock);
    TSimPort port("SIM:pms");
    ASSERT_TRUE(port.Open(false, 9600));
    struct TCase {
        uint8_t StopBits, Parity;
        double FrameMs;
    };
    for (TCase c :
         {TCase{OneStopBit, ParityNone, 10 / 9.6}, TCase{TwoStopBits, ParityNone, 11 / 9.6},
          TCase{TwoStopBits, ParitySpace, 12 / 9.6}, TCase{OneHalfStopBits, ParitySpace, 11.5 / 9.6}}) {
        port.SetParams(9600, ParityNone, c.StopBits);
        port.SetParity(c.Parity);
        port.WriteByte(0x10);
        EXPECT_NEAR(port.Car()->Bus().NextEventMs() - port.NowMs(), c.FrameMs, 1e-9) << int(c.StopBits);
        clock.Advance(5);
        uint8_t echo = 0;
        EXPECT_TRUE(port.ReadByte(echo));
        EXPECT_EQ(echo, 0x10);
    }
}

class SimAdapterPortTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterSimPorts(); }
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
TEST_F(SimAdapterPortTest, ElmPortRunsTheFirmwareOnTheClock) {
    ASSERT_TRUE(CreatePort(9600, "SIMELM:hfm"));
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

TEST_F(SimAdapterPortTest, CarSoftPortIdentifiesAtItsSpeed) {
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

// The vanishing adapter of a profile takes the ELM327 away too, and the message names the port's kind.
TEST_F(SimAdapterPortTest, ElmAdapterVanishesAfterItsRequests) {
    testing::TTempFolder folder;
    auto file = folder.WriteFile("gone.ini", "[Unit]\nBase=hfm\n[LineFaults]\nVanishAfterRequests=1\n");
    ASSERT_TRUE(CreatePort(38400, "SIMELM:" + file.string()));
    EXPECT_EQ(Command("HFMCONNECT\r"), "HFMCONNECT\rBUS INIT: ...OK\r\r>");
    EXPECT_EQ(Command("HFMDATAF002\r"), "HFMDATAF002\rRF00248\r\r>");
    try {
        Command("HFMDATAF003\r");
        ADD_FAILURE() << "the second pair still worked";
    } catch (const PortException& e) {
        EXPECT_STREQ(e.what(), "Порт SIMELM: адаптер отключен");
    }
    EXPECT_FALSE(Port()->IsOpen());
}

} // namespace
} // namespace velmora
