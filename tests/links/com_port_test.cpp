// The COM port end to end over a pseudo-terminal: the port opens the slave side, the test plays the
// adapter on the master side and watches the line settings through a second fd on the slave.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "host_recorder.h"
#include "links/com_low_level.h"
#include "links/com_port.h"
#include "links/linux_serial.h"
#include "links/port_factory.h"
#include "links/serial_device.h"

namespace velmora {
namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using SteadyClock = std::chrono::steady_clock;
// Real waits measured on another clock than the one that timed them.
constexpr int64_t TimingMarginMs = 10;

int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(Master, 0);
        ASSERT_EQ(grantpt(Master), 0);
        ASSERT_EQ(unlockpt(Master), 0);
        SlavePath = ptsname(Master);
        // Opened before the port, so the port's exclusive open does not keep it out.
        Observer = open(SlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(Observer, 0);
        termios cooked{};
        ASSERT_EQ(tcgetattr(Observer, &cooked), 0);
        cooked.c_cflag = (cooked.c_cflag & ~tcflag_t(CSIZE)) | CS7 | PARENB;
        cooked.c_lflag |= ICANON | ECHO;
        cfsetspeed(&cooked, B4800);
        ASSERT_EQ(tcsetattr(Observer, TCSANOW, &cooked), 0);
        ASSERT_EQ(tcgetattr(Observer, &Before), 0);

        ASSERT_TRUE(CreatePort(9600, SlavePath)) << ComLastError();
        Com = dynamic_cast<TComPort*>(Port());
        ASSERT_NE(Com, nullptr);
    }

    void TearDown() override {
        FreePort();
        if (Observer >= 0)
            close(Observer);
        if (Master >= 0)
            close(Master);
    }

    termios Line() const {
        termios now{};
        EXPECT_EQ(tcgetattr(Observer, &now), 0);
        return now;
    }

    void Send(const Bytes& bytes) const {
        ASSERT_EQ(write(Master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // Bytes pass the pty's buffers a moment after the write.
    void WaitForQueue(int count) const {
        auto start = SteadyClock::now();
        while (Com->InQueue() < count && MsSince(start) < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(Com->InQueue(), count);
    }

    Bytes Receive(size_t count) const {
        Bytes bytes;
        auto start = SteadyClock::now();
        while (bytes.size() < count && MsSince(start) < 2000) {
            pollfd p{Master, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                uint8_t chunk[64];
                ssize_t got = read(Master, chunk, sizeof chunk);
                if (got > 0)
                    bytes.insert(bytes.end(), chunk, chunk + got);
            }
        }
        return bytes;
    }

    testing::THostRecorder Host;
    int Master = -1;
    int Observer = -1;
    std::string SlavePath;
    termios Before{};
    TComPort* Com = nullptr;
};

TEST_F(ComPortTest, OpensARawLineAndGivesTheOldSettingsBackOnClose) {
    termios now = Line();
    EXPECT_EQ(ReadBaud(Observer), 9600);
    EXPECT_EQ(now.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(now.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(now.c_iflag & (IXON | IXOFF | INPCK), 0u);
    EXPECT_EQ(Com->Baud, 9600);
    EXPECT_TRUE(Com->IsOpen());

    FreePort();
    EXPECT_FALSE(ComIsOpen());
    now = Line();
    EXPECT_EQ(ReadBaud(Observer), 4800);
    EXPECT_EQ(now.c_cflag, Before.c_cflag);
    EXPECT_EQ(now.c_lflag, Before.c_lflag);
    EXPECT_EQ(now.c_iflag, Before.c_iflag);
    EXPECT_EQ(now.c_oflag, Before.c_oflag);
}

TEST_F(ComPortTest, OpensExclusively) {
    std::string error;
    EXPECT_LT(OpenSerialDevice(SlavePath, error), 0);
    EXPECT_EQ(error, SlavePath + ": in use by another program");
}

TEST_F(ComPortTest, TakesTheKLineSettings) {
    struct TCase {
        int Baud;
        uint8_t Parity;
        uint8_t StopBits;
        tcflag_t Flags; // parity and stop-bit flags expected on the line
    };
    const TCase cases[] = {
        {10400, ParitySpace, OneStopBit, PARENB | CMSPAR},
        {9600, ParityMark, TwoStopBits, PARENB | CMSPAR | PARODD | CSTOPB},
        {10400, ParityNone, TwoStopBits, CSTOPB},
        {4800, ParityOdd, OneStopBit, PARENB | PARODD},
        {9600, ParityEven, OneStopBit, PARENB},
    };
    for (const TCase& c : cases) {
        Com->SetParams(c.Baud, c.Parity, c.StopBits);
        EXPECT_EQ(Com->Baud, c.Baud);
        EXPECT_EQ(Com->Parity, c.Parity);
        EXPECT_EQ(Com->StopBits, c.StopBits);
        EXPECT_EQ(ReadBaud(Observer), c.Baud);
        // Recent kernels clear PARENB on a pseudo-terminal; the other flags stay as set.
        EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR | CSTOPB), c.Flags & ~tcflag_t(PARENB))
            << c.Baud << " " << int(c.Parity);
    }
    Com->SetRTS(true);
    Com->SetParity(ParitySpace);
    EXPECT_EQ(ComRTS, 'Y');
    EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR), tcflag_t(CMSPAR));
    Com->SetRTS(false);
    EXPECT_TRUE(Host.Boxes().empty());
}

TEST_F(ComPortTest, RefusedSettingsAreReportedAndChangeNothing) {
    Com->SetParams(10400, ParitySpace, OneStopBit);
    const std::tuple<int, uint8_t, uint8_t> refused[] = {
        {0, 0, 0}, {-9600, 0, 0}, {9600, 5, 0}, {9600, 0, 1}};
    for (auto [baud, parity, stopBits] : refused) {
        Host.Clear();
        Com->SetParams(baud, parity, stopBits);
        EXPECT_EQ(Host.Boxes(), Strings{"SetNewPortParams->SetCommState() LastError=22"});
        EXPECT_EQ(Com->Baud, 10400);
        EXPECT_EQ(Com->Parity, ParitySpace);
        EXPECT_EQ(ReadBaud(Observer), 10400);
    }
    Com->SetParity(9);
    EXPECT_EQ(Com->Parity, ParitySpace);
}

TEST_F(ComPortTest, ReadBufTakesWhatIsWaitingUpToTheBufferSize) {
    uint8_t data[16] = {};
    TPortBuffer buffer{data, 0, 99, 4};
    EXPECT_EQ(Com->ReadBuf(buffer), 0);
    EXPECT_EQ(buffer.Count, 0);

    Send({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    WaitForQueue(10);
    EXPECT_EQ(Com->ReadBuf(buffer), 4);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(Com->InQueue(), 6);
    buffer.Size = 16;
    EXPECT_EQ(Com->ReadBuf(buffer), 6);
    EXPECT_EQ(Bytes(data, data + 6), (Bytes{4, 5, 6, 7, 8, 9}));
}

TEST_F(ComPortTest, ReadByteDoesNotWaitForAByteThatIsNotThere) {
    Com->SetTimeouts(0, 0, 0, 0, 0); // a read that waited would wait for ever
    uint8_t value = 0;
    EXPECT_FALSE(Com->ReadByte(value));
    Send({0xA5});
    WaitForQueue(1);
    EXPECT_TRUE(Com->ReadByte(value));
    EXPECT_EQ(value, 0xA5);
}

TEST_F(ComPortTest, ModemLinesFollowTheRtsSetting) {
    using TLines = std::pair<bool, bool>; // DTR, RTS
    std::vector<TLines> seen;
    SetModemLineObserver([&](bool dtr, bool rts) { seen.emplace_back(dtr, rts); });
    struct TStep {
        const char* What;
        std::function<void()> Act;
        TLines Lines;
    };
    const TStep steps[] = {
        {"open with RTS 'N'", [&] { ASSERT_TRUE(Com->Open(false, 9600)); }, {false, false}},
        {"RTS on", [&] { Com->SetRTS(true); }, {false, true}},
        {"a parity change keeps RTS", [&] { Com->SetParity(ParitySpace); }, {false, true}},
        {"new line settings keep RTS",
         [&] { Com->SetParams(10400, ParityNone, TwoStopBits); },
         {false, true}},
        {"RTS off", [&] { Com->SetRTS(false); }, {false, false}},
        {"a parity change keeps it off", [&] { Com->SetParity(ParitySpace); }, {false, false}},
    };
    // Lines that do not change are not set again: the last setting seen is the state of the device.
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.What);
        step.Act();
        ASSERT_FALSE(seen.empty()) << "the modem lines were never set";
        EXPECT_EQ(seen.back(), step.Lines);
    }
    SetModemLineObserver({});
}

// The K-line switches parity on every byte: a change costs one TCSETS2 once the driver has taken those
// settings before, and nothing at all when the settings are already in force.
TEST_F(ComPortTest, ALineChangeCostsOnlyTheCallsItNeeds) {
    Strings calls;
    SetLineCallObserver([&](const char* call) { calls.emplace_back(call); });
    struct TStep {
        const char* What;
        std::function<void()> Act;
        Strings Calls;       // exactly these; empty: none
        tcflag_t ParityBits; // on the line afterwards (PARENB aside, see TakesTheKLineSettings)
    };
    const Strings set{"TCSETS2"};
    const TStep steps[] = {
        {"8N1 again", [&] { Com->SetParity(ParityNone); }, {}, 0},
        {"space, taken before", [&] { Com->SetParity(ParitySpace); }, set, CMSPAR},
        {"space again", [&] { Com->SetParity(ParitySpace); }, {}, CMSPAR},
        {"8N1 for the next command byte", [&] { Com->SetParity(ParityNone); }, set, 0},
        {"RTS on: the modem lines only", [&] { Com->SetRTS(true); }, {"TIOCMBIC", "TIOCMBIS"}, 0},
        {"a parity change keeps RTS without a call", [&] { Com->SetParity(ParitySpace); }, set, CMSPAR},
        {"the same settings through SetParams",
         [&] { Com->SetParams(9600, ParitySpace, OneStopBit); },
         {},
         CMSPAR},
    };
    Com->SetParity(ParitySpace); // the first space parity is read back and checked
    Com->SetParity(ParityNone);
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.What);
        calls.clear();
        step.Act();
        EXPECT_EQ(calls, step.Calls);
        EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR), step.ParityBits);
    }
    // Reopened, the device is read and checked afresh: another program may have changed it meanwhile.
    calls.clear();
    ASSERT_TRUE(Com->Open(false, 9600));
    EXPECT_NE(std::find(calls.begin(), calls.end(), "TCGETS2"), calls.end());
    SetLineCallObserver({});
    Com->SetRTS(false);
    EXPECT_TRUE(Host.Boxes().empty());
}

// WaitInput wakes on the first byte instead of sleeping out its limit, and takes nothing from the queue.
TEST_F(ComPortTest, WaitInputWakesOnTheFirstByte) {
    struct TCase {
        const char* Name;
        int SendAfterMs; // -1: nothing is sent
        uint32_t LimitMs;
        bool Ready;
        int64_t AtLeastMs, AtMostMs;
    };
    const TCase cases[] = {
        {"a byte already waiting", 0, 5000, true, 0, 1000},
        {"a byte that comes during the wait", 50, 5000, true, 50 - TimingMarginMs, 1000},
        {"nothing comes", -1, 80, false, 80 - TimingMarginMs, 1000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::thread sender;
        if (c.SendAfterMs == 0) {
            Send({0x42});
            WaitForQueue(1);
        } else if (c.SendAfterMs > 0) {
            sender = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(c.SendAfterMs));
                Send({0x42});
            });
        }
        const auto start = SteadyClock::now();
        EXPECT_EQ(Com->WaitInput(c.LimitMs), c.Ready);
        const int64_t waitedMs = MsSince(start);
        EXPECT_GE(waitedMs, c.AtLeastMs);
        EXPECT_LE(waitedMs, c.AtMostMs);
        if (sender.joinable())
            sender.join();
        if (c.Ready) {
            WaitForQueue(1);
            uint8_t value = 0;
            EXPECT_TRUE(Com->ReadByte(value));
            EXPECT_EQ(value, 0x42);
        }
    }
}

TEST_F(ComPortTest, ReadBufExWaitsAsTheTimeoutsAllow) {
    struct TCase {
        const char* Name;
        int Interval, Multiplier, Constant;
        Bytes Waiting;
        int Asked;
        int Got;
        int64_t AtLeastMs;
    };
    const TCase cases[] = {
        {"total time-out with part of the bytes", 0, 0, 100, {1, 2}, 5, 2, 100},
        {"all bytes there before the time-out", 0, 1, 3000, {1, 2, 3, 4, 5}, 5, 5, 0},
        {"interval after the last byte", 20, 0, 0, {1, 2, 3}, 10, 3, 20},
        {"MAXDWORD interval returns what is there", -1, 0, 0, {1, 2}, 10, 2, 0},
        {"first byte mode with bytes there", -1, -1, 3000, {1, 2}, 10, 2, 0},
        {"first byte mode with nothing", -1, -1, 80, {}, 10, 0, 80},
    };
    uint8_t data[16] = {};
    for (const TCase& c : cases) {
        Com->SetTimeouts(c.Interval, c.Multiplier, c.Constant, 0, 0);
        if (!c.Waiting.empty()) {
            Send(c.Waiting);
            WaitForQueue(int(c.Waiting.size()));
        }
        TPortBuffer buffer{data, 0, 0, 16};
        auto start = SteadyClock::now();
        EXPECT_EQ(Com->ReadBufEx(buffer, c.Asked), c.Got) << c.Name;
        int64_t took = MsSince(start);
        EXPECT_EQ(buffer.Count, c.Got) << c.Name;
        // The exact waits are tested in virtual time (ReadWithTimeouts); here the real waits only have to
        // be of the right size: the tick count and the measuring clock round apart by up to a millisecond
        // each, so the lower bound keeps a margin.
        EXPECT_GE(took, c.AtLeastMs - TimingMarginMs) << c.Name;
        EXPECT_LT(took, 1500) << c.Name;
    }
}

TEST_F(ComPortTest, ReadBufExWithoutTimeoutsWaitsForTheCount) {
    Com->SetTimeouts(0, 0, 0, 0, 0);
    std::thread adapter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Send({7, 8});
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Send({9});
    });
    uint8_t data[3] = {};
    TPortBuffer buffer{data, 0, 0, 3};
    EXPECT_EQ(Com->ReadBufEx(buffer, 3), 3);
    adapter.join();
    EXPECT_EQ(Bytes(data, data + 3), (Bytes{7, 8, 9}));
}

TEST_F(ComPortTest, WritesReachTheOtherSide) {
    uint8_t data[5] = {0x55, 0x00, 0xAA, 0x01, 0xFF};
    EXPECT_TRUE(Com->WriteBuf({data, 0, 5, 0}));
    EXPECT_TRUE(Com->WriteByte(0x42));
    EXPECT_TRUE(Com->WritePortEx(data, 2));
    EXPECT_EQ(Receive(8), (Bytes{0x55, 0x00, 0xAA, 0x01, 0xFF, 0x42, 0x55, 0x00}));
    EXPECT_FALSE(Com->WritePortEx(data, -1));
}

TEST_F(ComPortTest, AHangUpIsALostPortNotATimeout) {
    Com->SetTimeouts(0, 0, 5000, 0, 0);
    std::thread adapter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        close(Master);
        Master = -1;
    });
    uint8_t data[4] = {};
    TPortBuffer buffer{data, 0, 0, 4};
    auto start = SteadyClock::now();
    try {
        Com->ReadBufEx(buffer, 4);
        ADD_FAILURE() << "no exception";
    } catch (const PortException& e) {
        EXPECT_EQ(e.what(), "Port lost: " + SlavePath);
    }
    adapter.join();
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_THROW(Com->InQueue(), PortException);
    uint8_t value;
    EXPECT_THROW(Com->ReadByte(value), PortException) << "the read guard was released";
    EXPECT_TRUE(Host.Boxes().empty());
}

TEST_F(ComPortTest, AnOverlappingReadIsTurnedAwayAsPortBusy) {
    Com->SetTimeouts(0, 0, 5000, 0, 0);
    int got = -1;
    std::thread worker([&] {
        uint8_t data[1];
        TPortBuffer buffer{data, 0, 0, 1};
        got = Com->ReadBufEx(buffer, 1);
    });
    auto start = SteadyClock::now();
    while (!ComBusy && MsSince(start) < 2000)
        std::this_thread::yield();
    uint8_t value;
    EXPECT_FALSE(Com->ReadByte(value));
    EXPECT_EQ(Host.Boxes(), Strings{"Port busy"});
    Send({1});
    worker.join();
    EXPECT_EQ(got, 1);
    EXPECT_FALSE(ComBusy);
}

TEST(ComPortOpen, AFailedOpenOffersRetryAndAbort) {
    testing::THostRecorder host;
    for (const char* name : {"COM0", "/dev/null"}) {
        host.Clear();
        EXPECT_FALSE(CreatePort(9600, name));
        host.AnswerNextBoxes({TMsgResult::Retry, TMsgResult::Abort});
        TComPort port;
        EXPECT_FALSE(port.Open(true, 9600));
        std::string box = std::string("Error opening ") + name;
        EXPECT_EQ(host.Boxes(), (Strings{box, box}));
        EXPECT_EQ(host.Logs(), (Strings{ComLastError(), ComLastError()}));
    }
}

TEST(ComPortOpen, TimeoutsMustNotBeNegative) {
    TComPort port;
    EXPECT_THROW(port.SetTimeouts(0, 0, -1, 0, 0), std::invalid_argument);
    EXPECT_THROW(port.SetTimeouts(-2, 0, 0, 0, 0), std::invalid_argument);
}

} // namespace
} // namespace velmora
