// The WiFi port against a TCP server on loopback that plays the adapter.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "host_recorder.h"
#include "links/wifi_port.h"
#include "platform/clock.h"

namespace velmora {
namespace {

using Strings = std::vector<std::string>;
using SteadyClock = std::chrono::steady_clock;

int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

// A listening socket on 127.0.0.1 at a port the system picks.
int Listen(int backlog, int& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

class WiFiPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        Listener = Listen(4, ServerPort);
        ASSERT_GE(Listener, 0);
        SetWiFiSettings({"127.0.0.1", ServerPort, 1000});
    }

    void TearDown() override {
        Port.Close();
        for (int fd : {Adapter, Listener})
            if (fd >= 0)
                close(fd);
        SetWiFiSettings({});
    }

    void Connect() {
        ASSERT_TRUE(Port.Open(false, 9600));
        Adapter = accept(Listener, nullptr, nullptr);
        ASSERT_GE(Adapter, 0);
    }

    void WaitUntil(const std::function<bool()>& done) {
        auto start = SteadyClock::now();
        while (!done() && MsSince(start) < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    testing::THostRecorder Host;
    TWiFiPort Port;
    int Listener = -1;
    int Adapter = -1;
    int ServerPort = 0;
};

TEST(WiFiSettings, DefaultToTheUsualAdapterAddress) {
    TWiFiSettings defaults = WiFiSettings();
    EXPECT_EQ(defaults.WiFiAddress, "192.168.0.10");
    EXPECT_EQ(defaults.WiFiPortNumber, 35000);
    EXPECT_EQ(defaults.ConnectTimeout, 5000);
}

TEST_F(WiFiPortTest, ConnectsAndSaysSo) {
    Connect();
    EXPECT_TRUE(Port.IsOpen());
    EXPECT_EQ(Host.Logs(), (Strings{"WIFI connect to 127.0.0.1:" + std::to_string(ServerPort), "connected"}));
    Port.Close();
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(Port.InQueue(), 0);
}

TEST_F(WiFiPortTest, ReadsNeverWait) {
    Connect();
    uint8_t value = 0;
    auto start = SteadyClock::now();
    EXPECT_FALSE(Port.ReadByte(value));
    uint8_t data[8] = {};
    TPortBuffer buffer{data, 0, 99, 8};
    EXPECT_EQ(Port.ReadBuf(buffer), 0);
    EXPECT_EQ(buffer.Count, 0);
    EXPECT_LT(MsSince(start), 500);

    ASSERT_EQ(send(Adapter, "OK\r>", 4, 0), 4);
    WaitUntil([&] { return Port.InQueue() == 4; });
    EXPECT_TRUE(Port.ReadByte(value));
    EXPECT_EQ(value, 'O');
    EXPECT_EQ(Port.ReadBuf(buffer), 3);
    EXPECT_EQ(std::string(data, data + 3), "K\r>");
}

// WaitInput wakes when the adapter's answer comes, and an adapter that hangs up ends the wait too: the
// read after it reports the lost port.
TEST_F(WiFiPortTest, WaitInputWakesOnTheAnswerAndOnAHangUp) {
    Connect();
    auto start = SteadyClock::now();
    EXPECT_FALSE(Port.WaitInput(50));
    EXPECT_GE(MsSince(start), 40);

    std::thread adapter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        send(Adapter, ">", 1, 0);
    });
    start = SteadyClock::now();
    EXPECT_TRUE(Port.WaitInput(5000));
    EXPECT_LT(MsSince(start), 1000);
    adapter.join();
    uint8_t value = 0;
    EXPECT_TRUE(Port.ReadByte(value));
    EXPECT_EQ(value, '>');

    close(Adapter);
    Adapter = -1;
    start = SteadyClock::now();
    EXPECT_TRUE(Port.WaitInput(5000));
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_THROW(Port.InQueue(), PortException);
}

TEST_F(WiFiPortTest, WritesReachTheAdapter) {
    Connect();
    uint8_t command[] = {'A', 'T', 'Z', '\r'};
    EXPECT_TRUE(Port.WriteBuf({command, 0, 4, 0}));
    EXPECT_TRUE(Port.WriteByte('\r'));
    char received[8] = {};
    size_t got = 0;
    auto start = SteadyClock::now();
    while (got < 5 && MsSince(start) < 2000) {
        ssize_t now = recv(Adapter, received + got, sizeof received - got, MSG_DONTWAIT);
        got += now > 0 ? size_t(now) : 0;
    }
    EXPECT_EQ(std::string(received, got), "ATZ\r\r");
}

// Virtual time whose Sleep raises `stop` at the given sleep (0: never), as the user's Stop would while a
// send waits.
class TStoppingClock final : public TClock {
public:
    TStoppingClock(std::atomic<bool>& stop, int stopAtSleep) : Stop(stop), StopAtSleep(stopAtSleep) {}
    uint32_t TickCount() override { return Time.TickCount(); }
    int64_t PerfCounter() override { return Time.PerfCounter(); }
    int64_t PerfFrequency() override { return Time.PerfFrequency(); }
    void Sleep(uint32_t ms) override {
        Time.Advance(ms);
        if (++Sleeps == StopAtSleep)
            Stop = true;
    }
    TManualClock Time;

private:
    std::atomic<bool>& Stop;
    int StopAtSleep;
    int Sleeps = 0;
};

TEST_F(WiFiPortTest, SendToAnAdapterThatStopsReadingEndsAtTheDeadlineOrOnStop) {
    struct TCase {
        const char* Name;
        int StopAtSleep;     // 0: the user never stops
        const char* Failure; // the end of the exception text
        uint32_t MinWaitMs;  // virtual time the blocked send waited, at least
    };
    const TCase cases[] = {
        {"deadline", 0, " took no data for 3000 ms", 3000},
        {"stop", 5, "stopped while WIFI", 40},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::atomic<bool> stop{false};
        TStoppingClock clock(stop, c.StopAtSleep);
        TScopedClock scoped(clock);
        SetWiFiSendAbort(&stop);
        SetWiFiSettings({"127.0.0.1", ServerPort, 1000, 3000});
        int small = 4096;
        setsockopt(Listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        Connect();
        // The adapter reads nothing: the socket buffers fill and the send has to wait.
        std::vector<uint8_t> chunk(65536, 'A');
        std::string failure;
        for (int i = 0; i < 10000 && failure.empty(); ++i) {
            try {
                Port.WriteBuf({chunk.data(), 0, int(chunk.size()), 0});
            } catch (const PortException& error) {
                failure = error.what();
            }
        }
        SetWiFiSendAbort(nullptr);
        EXPECT_TRUE(failure.starts_with("TWiFiPort.WriteBuf error: ")) << failure;
        EXPECT_NE(failure.find(c.Failure), std::string::npos) << failure;
        EXPECT_GE(clock.TickCount() - 1000, c.MinWaitMs);
        if (c.StopAtSleep > 0) {
            EXPECT_LT(clock.TickCount() - 1000, 3000u) << "ended by the stop, not by the deadline";
        }
        Port.Close();
        close(Adapter);
        Adapter = -1;
    }
}

TEST_F(WiFiPortTest, LineOperationsDoNothingAndTheOthersAreNotAvailable) {
    Connect();
    Port.SetParams(9600, 4, 0);
    Port.SetParity(4);
    Port.SetRTS(true);
    Port.SetTimeouts(0, 1, 300, 0, 0);
    EXPECT_TRUE(Port.IsOpen());

    uint8_t data[4] = {};
    TPortBuffer buffer{data, 0, 0, 4};
    const std::pair<const char*, std::function<void()>> missing[] = {
        {"Empty function TWiFiPort.ReadBufEx", [&] { Port.ReadBufEx(buffer, 4); }},
        {"Empty function TWiFiPort.WritePortEx", [&] { Port.WritePortEx(data, 4); }},
        {"Empty function TWiFiPort.SetCommBreak", [&] { Port.SetCommBreak(); }},
        {"Empty function TWiFiPort.ClearCommBreak", [&] { Port.ClearCommBreak(); }},
    };
    for (const auto& [text, operation] : missing) {
        try {
            operation();
            ADD_FAILURE() << "no exception: " << text;
        } catch (const PortException& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
}

TEST_F(WiFiPortTest, AnAdapterThatHangsUpIsALostLink) {
    Connect();
    close(Adapter);
    Adapter = -1;
    bool lost = false;
    WaitUntil([&] {
        try {
            Port.InQueue();
        } catch (const PortException& e) {
            lost = std::string(e.what()) ==
                   "Port lost: WIFI 127.0.0.1:" + std::to_string(ServerPort) + " closed the connection";
            return true;
        }
        return false;
    });
    EXPECT_TRUE(lost);
    uint8_t value;
    EXPECT_THROW(Port.ReadByte(value), PortException);
}

TEST_F(WiFiPortTest, NoListenerIsAConnectError) {
    int closedPort = 0;
    close(Listen(1, closedPort));
    SetWiFiSettings({"127.0.0.1", closedPort, 1000});
    EXPECT_FALSE(Port.Open(false, 9600));
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(Host.Logs(),
              (Strings{"WIFI connect to 127.0.0.1:" + std::to_string(closedPort), "connect error",
                       "WIFI 127.0.0.1:" + std::to_string(closedPort) + ": Connection refused"}));
}

TEST_F(WiFiPortTest, AnAddressThatIsNoAddressIsAConnectError) {
    SetWiFiSettings({"192.168.0", 35000, 1000});
    EXPECT_FALSE(Port.Open(false, 9600));
    EXPECT_EQ(Host.Logs(), (Strings{"WIFI connect to 192.168.0:35000", "connect error",
                                    "WIFI 192.168.0:35000: not an IPv4 address and TCP port"}));
}

// A listener whose accept queue is full drops further connection requests without an answer, which is
// what an adapter that is switched off looks like.
TEST(WiFiPortConnect, GivesUpWhenNobodyAnswers) {
    int port = 0;
    int listener = Listen(0, port);
    ASSERT_GE(listener, 0);
    std::vector<int> fillers;
    bool full = false;
    for (int i = 0; i < 8 && !full; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(fd);
        pollfd p{fd, POLLOUT, 0};
        full = poll(&p, 1, 200) == 0;
    }
    if (!full) {
        for (int fd : fillers)
            close(fd);
        close(listener);
        GTEST_SKIP() << "this system answers every connection request on loopback";
    }

    testing::THostRecorder host;
    SetWiFiSettings({"127.0.0.1", port, 150});
    TWiFiPort wifi;
    auto start = SteadyClock::now();
    EXPECT_FALSE(wifi.Open(false, 9600));
    EXPECT_GE(MsSince(start), 150);
    EXPECT_EQ(host.Logs().at(1), "connect error");
    EXPECT_EQ(host.Logs().at(2), "WIFI 127.0.0.1:" + std::to_string(port) + ": Connection timed out");
    SetWiFiSettings({});
    for (int fd : fillers)
        close(fd);
    close(listener);
}

} // namespace
} // namespace velmora
