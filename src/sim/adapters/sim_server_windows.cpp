// The velmora-sim server on Windows: TCP serving on Winsock. There is no pseudo-terminal on Windows,
// so a serial line is served only by the Linux build (a Windows tester reaches it through Wine's COM
// port mapping or a null-modem cable).
#include "sim/adapters/sim_server.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/host.h"
#include "platform/windows_text.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace velmora {

namespace {

// The longest the loop sleeps before it looks at the stop flag again, ms.
constexpr int StopCheckMs = 50;

std::string SocketError(const std::string& what) {
    return what + ": " + WindowsErrorText(DWORD(WSAGetLastError()));
}

SOCKET Handle(intptr_t socket) {
    return SOCKET(socket);
}

} // namespace

TSimServer::TSimServer() = default;

TSimServer::~TSimServer() {
    if (Listener >= 0)
        closesocket(Handle(Listener));
}

double TSimServer::NowMs() const {
    return Clock().PerfMs() - OriginMs;
}

bool TSimServer::Start(const TSimServerOptions& options, std::string& error) {
    Options = options;
    if (!Options.Tcp) {
        error = "no pseudo-terminal on Windows: serve with --tcp ADDRESS:PORT (the serial line is served by "
                "the Linux build)";
        return false;
    }
    if (Options.Adapter != TSimAdapterKind::Elm) {
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
    Line = std::make_unique<TBlindLine>(*Adapter, SimAdapterBaud(Options.Adapter), false);
    OriginMs = Clock().PerfMs();

    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "Winsock does not start";
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(Options.TcpPort));
    if (Options.TcpPort < 0 || Options.TcpPort > 65535 ||
        inet_pton(AF_INET, Options.Address.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address and port: " + Options.Address + ":" + std::to_string(Options.TcpPort);
        return false;
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0) {
        error = SocketError("cannot listen on " + Options.Address + ":" + std::to_string(Options.TcpPort));
        if (listener != INVALID_SOCKET)
            closesocket(listener);
        return false;
    }
    Listener = intptr_t(listener);
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    BoundPort = ntohs(address.sin_port);
    return true;
}

std::string TSimServer::Where() const {
    return Options.Address + ":" + std::to_string(BoundPort);
}

void TSimServer::Run() {
    while (!Stopping && Listener >= 0) {
        WSAPOLLFD p{Handle(Listener), POLLRDNORM, 0};
        if (WSAPoll(&p, 1, StopCheckMs) <= 0)
            continue;
        const SOCKET client = accept(Handle(Listener), nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        u_long nonBlocking = 1;
        ioctlsocket(client, FIONBIO, &nonBlocking);
        BOOL yes = TRUE;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
        AddLog("client connected");
        const bool stopped = Serve(intptr_t(client), false);
        closesocket(client);
        AddLog("client left");
        if (stopped)
            break;
    }
}

bool TSimServer::Serve(intptr_t fd, bool) {
    const SOCKET client = Handle(fd);
    char buffer[256];
    while (!Stopping) {
        // What has reached the PC goes out; a PC that does not read loses it, as in a UART's overrun.
        std::string out;
        for (const TRxByte& b : Line->Output(NowMs()))
            out += char(b.Value);
        if (!out.empty() && send(client, out.data(), int(out.size()), 0) < 0 &&
            WSAGetLastError() != WSAEWOULDBLOCK)
            return false;

        // WSAPoll counts whole milliseconds: the next byte goes out at most one late.
        const double next = Line->NextOutputMs();
        double waitMs = StopCheckMs;
        if (next != NeverMs)
            waitMs = std::clamp(next - NowMs(), 0.0, double(StopCheckMs));
        WSAPOLLFD p{client, POLLRDNORM, 0};
        if (WSAPoll(&p, 1, int(std::ceil(waitMs))) <= 0)
            continue;
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
            return false;
        for (int i = 0; i < got; ++i)
            Line->HostByte(uint8_t(buffer[i]), NowMs(), TSeenLine{});
    }
    return true;
}

} // namespace velmora
