// End to end, in real time: the server on a pseudo-terminal opened through the COM port code, and the
// velmora-sim executable as a WiFi ELM327 on loopback TCP.
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_recorder.h"
#include "links/com_port.h"
#include "links/port_factory.h"
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

// The engine link's wake-up and one request pair, through TComPort on the server's pseudo-terminal.
TEST(SimServer, WakesAndAnswersThroughAPseudoTerminal) {
    testing::THostRecorder host; // the pseudo-terminal may refuse parity: its boxes land here
    TSimServer server;
    std::string error;
    ASSERT_TRUE(server.Start({.Unit = "hfm"}, error)) << error;
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

int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Sends a command and reads to the prompt (at most 10 s).
std::string Command(int fd, const std::string& text) {
    EXPECT_EQ(send(fd, text.data(), text.size(), 0), ssize_t(text.size()));
    std::string answer;
    pollfd p{fd, POLLIN, 0};
    char chunk[256];
    while (!answer.ends_with('>') && poll(&p, 1, 10000) > 0) {
        ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        answer.append(chunk, size_t(got));
    }
    return answer;
}

TEST(SimServer, ServesAWiFiElm327ToOneClientAfterAnother) {
    TServerProcess server({"--unit", "lh", "--elm", "--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(server.FirstLine.starts_with("127.0.0.1:")) << server.FirstLine;
    int port = std::stoi(server.FirstLine.substr(10));
    ASSERT_GT(port, 0);

    int first = Connect(port);
    EXPECT_EQ(Command(first, "ATE0\r"), "ATE0\rOK\r\r>");
    EXPECT_EQ(Command(first, "0100\r"), "BUS INIT: ...OK\r41 00 00 00 00 00\r\r>");
    std::string data = Command(first, "HFMDATAF000\r");
    EXPECT_TRUE(data.starts_with("RF000") && data.size() == 10) << data;
    close(first);

    // The adapter keeps its settings and its bus session for the next client.
    int second = Connect(port);
    EXPECT_EQ(Command(second, "HFMDATAF000\r"), data);
    close(second);

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
