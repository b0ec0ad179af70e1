// End to end, in real time: the server on a pseudo-terminal opened through the COM port code, and the
// velmora-sim executable as a WiFi ELM327 on loopback TCP reached through the WiFi port.
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_recorder.h"
#include "links/com_port.h"
#include "links/port_factory.h"
#include "links/wifi_port.h"
#include "platform/clock.h"
#include "sim/adapters/sim_server.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Read(TBasePort& port, int count) {
    Bytes data(static_cast<size_t>(count));
    TPortBuffer buffer{data.data(), 0, 0, count};
    data.resize(size_t(port.ReadBufEx(buffer, count)));
    return data;
}

// The engine link's wake-up and one request pair, through TComPort on the server's pseudo-terminal in
// strict mode: every ninth bit comes from the line settings.
TEST(SimServer, WakesAndAnswersThroughAPseudoTerminal) {
    testing::THostRecorder host;
    TSimServer server;
    std::string error;
    ASSERT_TRUE(server.Start({.Unit = "hfm", .Strict = true}, error)) << error;
    std::thread serving([&] { server.Run(); });

    ASSERT_TRUE(CreatePort(9600, server.Where())) << server.Where();
    TBasePort& port = *Port();
    EXPECT_NE(dynamic_cast<TComPort*>(&port), nullptr);
    port.SetTimeouts(0, 1, 300, 0, 0);
    uint32_t t0 = Clock().TickCount();
    port.SetCommBreak();
    Clock().Sleep(165);
    port.ClearCommBreak();
    port.SetParams(9600, ParitySpace, OneStopBit);
    Clock().Sleep(390 - std::min<uint32_t>(390, Clock().TickCount() - t0));
    ASSERT_TRUE(port.WriteByte(0xAA));
    // The break's framing error, the echo, the unit's 0x55.
    EXPECT_EQ(Read(port, 3), (Bytes{0x00, 0xAA, 0x55}));

    port.SetParity(ParityNone);
    ASSERT_TRUE(port.WriteByte(0xF0));
    EXPECT_EQ(Read(port, 2), (Bytes{0xF0, 0x0F}));
    port.SetParity(ParitySpace);
    ASSERT_TRUE(port.WriteByte(0x00));
    EXPECT_EQ(Read(port, 2), (Bytes{0x00, 0x27}));
    // The space parity set through termios reaches the server: a lone address above 0x40 is the HFM's
    // RAM read, answered with its value rather than taken as a command.
    ASSERT_TRUE(port.WriteByte(0x41));
    Bytes lone = Read(port, 2);
    ASSERT_EQ(lone.size(), 2u);
    EXPECT_NE(lone[1], 0xFF - 0x41);
    // A parameter byte sent without space parity is no parameter byte on a strict line (the lenient
    // default would take it for one after the complement): its echo, no answer.
    port.SetParity(ParityNone);
    ASSERT_TRUE(port.WriteByte(0xF0));
    EXPECT_EQ(Read(port, 2), (Bytes{0xF0, 0x0F}));
    ASSERT_TRUE(port.WriteByte(0x00));
    EXPECT_EQ(Read(port, 2), (Bytes{0x00}));
    EXPECT_EQ(host.Boxes(), std::vector<std::string>{});

    FreePort();
    server.Stop();
    serving.join();
}

class TServerProcess {
public:
    explicit TServerProcess(std::vector<std::string> args) {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        Pid = fork();
        if (Pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            std::vector<char*> argv{const_cast<char*>(VELMORA_SIM_EXE)};
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        // The first line says where the server listens.
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            FirstLine += c;
        close(out[0]);
    }
    ~TServerProcess() {
        if (Pid > 0 && waitpid(Pid, nullptr, WNOHANG) == 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
    }
    // Stops the server as the user would and returns its exit status.
    int Terminate() {
        kill(Pid, SIGTERM);
        int status = 0;
        waitpid(Pid, &status, 0);
        Pid = -1;
        return status;
    }

    pid_t Pid = -1;
    std::string FirstLine;
};

// Sends a command through the WiFi port and reads to the prompt (at most 10 s), as an ELM327 caller does.
std::string Command(const std::string& text) {
    TBasePort& port = *Port();
    std::string copy = text;
    EXPECT_TRUE(
        port.WriteBuf({reinterpret_cast<uint8_t*>(copy.data()), 0, int(copy.size()), int(copy.size())}));
    std::string answer;
    char chunk[256];
    TPortBuffer in{reinterpret_cast<uint8_t*>(chunk), 0, 0, sizeof chunk};
    for (uint32_t start = Clock().TickCount();
         !answer.ends_with('>') && Clock().TickCount() - start < 10000;) {
        if (port.ReadBuf(in) == 0)
            Clock().Sleep(5);
        answer.append(chunk, size_t(in.Count));
    }
    return answer;
}

TEST(SimServer, ServesAWiFiElm327ToOneClientAfterAnother) {
    TServerProcess server({"--unit", "lh", "--elm", "--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(server.FirstLine.starts_with("127.0.0.1:")) << server.FirstLine;
    int port = std::stoi(server.FirstLine.substr(10));
    ASSERT_GT(port, 0);

    testing::THostRecorder host;
    SetWiFiSettings({"127.0.0.1", port});
    ASSERT_TRUE(CreatePort(9600, "WIFI")) << host.LogText();
    EXPECT_EQ(Command("ATE0\r"), "ATE0\rOK\r\r>");
    EXPECT_EQ(Command("0100\r"), "BUS INIT: ...OK\r41 00 00 00 00 00\r\r>");
    std::string data = Command("HFMDATAF000\r");
    EXPECT_TRUE(data.starts_with("RF000") && data.size() == 10) << data;
    FreePort();

    // The adapter keeps its settings and its bus session for the next client.
    ASSERT_TRUE(CreatePort(9600, "WIFI")) << host.LogText();
    EXPECT_EQ(Command("HFMDATAF000\r"), data);
    FreePort();
    SetWiFiSettings({});

    int status = server.Terminate();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SimServer, RefusesWhatItCannotServe) {
    TSimServer server;
    std::string error;
    EXPECT_FALSE(server.Start({.Unit = "no-such-unit"}, error));
    EXPECT_TRUE(error.starts_with("unit no-such-unit: ")) << error;
    EXPECT_FALSE(server.Start({.Adapter = TSimAdapterKind::CarSoft, .Tcp = true, .TcpPort = 0}, error));
    EXPECT_FALSE(server.Start({.Adapter = TSimAdapterKind::Elm, .Tcp = true, .Address = "localhost"}, error));
    EXPECT_EQ(error, "not an IPv4 address and port: localhost:35000");
}

} // namespace
} // namespace velmora
