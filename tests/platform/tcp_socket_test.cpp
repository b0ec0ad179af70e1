// The socket layer on loopback, the same test on Linux and on Windows (under Wine): the calls the WiFi
// port and the simulator's TCP server are built on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/tcp_socket.h"

namespace velmora {
namespace {

constexpr TIPv4Address Loopback{127, 0, 0, 1};

TEST(IPv4Address, IsADottedQuadOfDecimalBytesAndNothingElse) {
    struct TCase {
        std::string_view Text;
        std::optional<TIPv4Address> Parsed;
    };
    using A = TIPv4Address;
    const TCase cases[] = {
        {"192.168.0.10", A{192, 168, 0, 10}},
        {"0.0.0.0", A{0, 0, 0, 0}},
        {"255.255.255.255", A{255, 255, 255, 255}},
        {"10.0.0.7", A{10, 0, 0, 7}},
        {"256.1.1.1", std::nullopt},
        {"1.2.3.256", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1..3.4", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {"+1.2.3.4", std::nullopt},
        {"-1.2.3.4", std::nullopt},
        // A leading zero is octal to some parsers ("010" = 8): refused rather than guessed.
        {"01.2.3.4", std::nullopt},
        {"1.2.3.04", std::nullopt},
        {"1.2.3.0255", std::nullopt},
        {"4294967297.1.1.1", std::nullopt},
        {"a.b.c.d", std::nullopt},
        {"1.2.3.4x", std::nullopt},
        {std::string_view("1.2.3.4\0", 8), std::nullopt},
        {"", std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Text));
        EXPECT_EQ(ParseIPv4Address(c.Text), c.Parsed);
        EXPECT_EQ(IsIPv4Address(c.Text), c.Parsed.has_value());
    }
}

// A client connected to a listener on 127.0.0.1, and the server's end of the connection.
class TcpSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(TcpListen(Loopback, 0, Listener, Port), 0);
        ASSERT_GT(Port, 0);
        ASSERT_EQ(TcpConnect(Loopback, uint16_t(Port), 2000, Client), 0);
        Server = TcpAccept(Listener, 2000);
        ASSERT_NE(Server, NoSocket);
    }
    void TearDown() override {
        for (TSocketHandle socket : {Client, Server, Listener})
            SocketClose(socket);
    }

    // Everything `socket` receives until `count` bytes came or 2 s passed.
    static std::string ReceiveUpTo(TSocketHandle socket, size_t count) {
        std::string received;
        uint8_t chunk[256];
        for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
             received.size() < count && std::chrono::steady_clock::now() < until;) {
            if (!SocketWaitReadable(socket, 100))
                continue;
            const int got = SocketReceive(socket, chunk, sizeof chunk);
            if (got <= 0 && got != ReceivedNothing)
                break;
            if (got > 0)
                received.append(chunk, chunk + got);
        }
        return received;
    }

    TSocketHandle Listener = NoSocket;
    TSocketHandle Client = NoSocket;
    TSocketHandle Server = NoSocket;
    int Port = 0;
};

TEST_F(TcpSocketTest, BytesGoBothWaysAndReceivesNeverWait) {
    uint8_t byte = 0;
    int error = 0;
    EXPECT_EQ(SocketAvailable(Client, error), 0);
    EXPECT_EQ(SocketReceive(Client, &byte, 1), ReceivedNothing);
    EXPECT_FALSE(SocketPeerGone(Client));
    EXPECT_FALSE(SocketWaitReadable(Client, 20));

    const std::string answer = "OK\r\r>";
    ASSERT_EQ(SocketSend(Server, reinterpret_cast<const uint8_t*>(answer.data()), int(answer.size())),
              int(answer.size()));
    ASSERT_TRUE(SocketWaitReadable(Client, 2000));
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         SocketAvailable(Client, error) < int(answer.size()) && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(SocketAvailable(Client, error), int(answer.size()));
    EXPECT_EQ(ReceiveUpTo(Client, answer.size()), answer);

    const std::vector<uint8_t> command(3000, 'A'); // more than one segment
    EXPECT_EQ(SocketSendAll(Client, command.data(), int(command.size()), 1000, nullptr), TSendEnd::Sent);
    EXPECT_EQ(ReceiveUpTo(Server, command.size()), std::string(command.begin(), command.end()));
}

// The end of a connection is seen by the waiting, probing and receiving calls alike, and sending into
// it is an error, never a signal that ends the program.
TEST_F(TcpSocketTest, APeerThatHangsUpIsSeenAndSendingToItFails) {
    SocketClose(Server);
    Server = NoSocket;
    ASSERT_TRUE(SocketWaitReadable(Client, 2000));
    EXPECT_TRUE(SocketPeerGone(Client));
    uint8_t byte = 0;
    EXPECT_EQ(SocketReceive(Client, &byte, 1), ReceivedEnd);

    // The first send may still be taken; the peer's reset makes a later one fail.
    int sent = 0;
    for (int i = 0; i < 200 && sent >= 0; ++i) {
        sent = SocketSend(Client, &byte, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(sent, -1);
}

// Virtual time whose Sleep can raise a stop request at a given sleep (0: never).
class TStoppingClock final : public TClock {
public:
    explicit TStoppingClock(int stopAtSleep) : StopAtSleep(stopAtSleep) {}
    uint32_t TickCount() override { return Time.TickCount(); }
    int64_t PerfCounter() override { return Time.PerfCounter(); }
    int64_t PerfFrequency() override { return Time.PerfFrequency(); }
    void Sleep(uint32_t ms) override {
        Time.Advance(ms);
        Stop = Stop || ++Sleeps == StopAtSleep;
    }
    TManualClock Time;
    bool Stop = false;

private:
    int StopAtSleep;
    int Sleeps = 0;
};

TEST_F(TcpSocketTest, SendToAPeerThatReadsNothingEndsAtTheDeadlineOrOnStop) {
    struct TCase {
        const char* Name;
        int StopAtSleep; // 0: nobody stops the send
        TSendEnd End;
        uint32_t MinWaitMs; // virtual time the sends waited for the peer in all
        uint32_t MaxWaitMs;
    };
    const TCase cases[] = {
        {"deadline", 0, TSendEnd::TimedOut, 300, UINT32_MAX},
        // Five waits of SendWaitStepMs, then the stop is seen before the next one.
        {"stop", 5, TSendEnd::Stopped, 50, 50},
    };
    const std::vector<uint8_t> chunk(65536, 'A');
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TStoppingClock clock(c.StopAtSleep);
        TScopedClock scoped(clock);
        const uint32_t start = clock.TickCount();
        // The server reads nothing: the buffers on both sides fill and the send has to wait.
        TSendEnd end = TSendEnd::Sent;
        for (int i = 0; i < 10000 && end == TSendEnd::Sent; ++i)
            end = SocketSendAll(Client, chunk.data(), int(chunk.size()), 300, [&] { return clock.Stop; });
        EXPECT_EQ(end, c.End);
        EXPECT_GE(clock.TickCount() - start, c.MinWaitMs);
        EXPECT_LE(clock.TickCount() - start, c.MaxWaitMs);
        // The next case starts on a fresh connection.
        TearDown();
        SetUp();
    }
}

TEST(TcpSocket, ConnectingWhereNobodyListensAndListeningOnATakenPortFail) {
    TSocketHandle listener = NoSocket;
    int port = 0;
    ASSERT_EQ(TcpListen(Loopback, 0, listener, port), 0);

    TSocketHandle second = NoSocket;
    int secondPort = 0;
    const int taken = TcpListen(Loopback, uint16_t(port), second, secondPort);
    EXPECT_NE(taken, 0);
    EXPECT_EQ(second, NoSocket);
    EXPECT_FALSE(SocketErrorText(taken).empty());

    SocketClose(listener);
    TSocketHandle client = NoSocket;
    const int refused = TcpConnect(Loopback, uint16_t(port), 2000, client);
    EXPECT_NE(refused, 0);
    EXPECT_EQ(client, NoSocket);
    EXPECT_FALSE(SocketErrorText(refused).empty());
}

} // namespace
} // namespace velmora
