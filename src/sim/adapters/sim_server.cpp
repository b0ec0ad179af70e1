#include "sim/adapters/sim_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

// The longest the loop sleeps before it looks at the stop flag again, ms.
constexpr int StopCheckMs = 50;

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void SetNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

TSimServer::TSimServer() = default;

TSimServer::~TSimServer() {
    ClosePty(Pty);
    if (Listener >= 0)
        close(int(Listener));
}

double TSimServer::NowMs() const {
    return Clock().PerfMs() - OriginMs;
}

bool TSimServer::Start(const TSimServerOptions& options, std::string& error) {
    Options = options;
    if (Options.Tcp && Options.Adapter != TSimAdapterKind::Elm) {
        error = "a WiFi adapter is an ELM327: TCP serves only the ELM327";
        return false;
    }
    std::string carError;
    Car = TSimCar::Create(Options.Unit, carError);
    if (!Car) {
        error = "unit " + Options.Unit + ": " + carError;
        return false;
    }
    Adapter = MakeSimAdapter(Options.Adapter, *Car);
    Line = std::make_unique<TBlindLine>(*Adapter, SimAdapterBaud(Options.Adapter),
                                        Options.Strict && !Options.Tcp);
    OriginMs = Clock().PerfMs();
    if (!Options.Tcp)
        return OpenPty(Pty, error);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(Options.TcpPort));
    if (Options.TcpPort < 0 || Options.TcpPort > 65535 ||
        inet_pton(AF_INET, Options.Address.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address and port: " + Options.Address + ":" + std::to_string(Options.TcpPort);
        return false;
    }
    Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    if (Listener < 0 || setsockopt(int(Listener), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        bind(int(Listener), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(int(Listener), 1) != 0) {
        error = SystemError("cannot listen on " + Options.Address + ":" + std::to_string(Options.TcpPort));
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(int(Listener), reinterpret_cast<sockaddr*>(&address), &length);
    BoundPort = ntohs(address.sin_port);
    return true;
}

std::string TSimServer::Where() const {
    return Options.Tcp ? Options.Address + ":" + std::to_string(BoundPort) : Pty.Path;
}

void TSimServer::Run() {
    if (!Options.Tcp) {
        Serve(Pty.Master, true);
        return;
    }
    while (!Stopping) {
        pollfd p{int(Listener), POLLIN, 0};
        if (poll(&p, 1, StopCheckMs) <= 0)
            continue;
        int client = accept4(int(Listener), nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        SetNonBlocking(client);
        int yes = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        AddLog("client connected");
        bool stopped = Serve(client, false);
        close(client);
        AddLog("client left");
        if (stopped)
            break;
    }
}

bool TSimServer::Serve(intptr_t fd, bool pty) {
    // The kernel may otherwise delay each wake-up by its default slack of 50 us, a twentieth of a frame.
    prctl(PR_SET_TIMERSLACK, 1UL);
    uint8_t buffer[256];
    while (!Stopping) {
        // What has reached the PC goes out; a PC that does not read loses it, as in a UART's overrun.
        std::vector<uint8_t> out;
        for (const TRxByte& b : Line->Output(NowMs()))
            out.push_back(b.Value);
        if (!out.empty() && write(int(fd), out.data(), out.size()) < 0 && errno != EAGAIN && !pty)
            return false;

        // Woken to the microsecond when the next byte is due, so that the PC sees each byte when its stop
        // bit ends (1.04 ms after the write for an echo at 9600 baud), not on the next whole millisecond.
        double next = Line->NextOutputMs();
        double waitMs = StopCheckMs;
        if (next != NeverMs)
            waitMs = std::clamp(next - NowMs(), 0.0, double(StopCheckMs));
        const int64_t waitNs = int64_t(std::ceil(waitMs * 1e6));
        const timespec wait{time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
        pollfd p{int(fd), POLLIN, 0};
        if (ppoll(&p, 1, &wait, nullptr) <= 0)
            continue;
        ssize_t got = read(int(fd), buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
            if (!pty)
                return false;
            continue;
        }
        for (ssize_t i = 0; i < got; ++i)
            Line->HostByte(buffer[i], NowMs(), pty ? ReadPtyLine(int(fd)) : TSeenLine{});
    }
    return true;
}

} // namespace velmora
