#include "sim/adapters/sim_server.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/host.h"
#include "sim/adapters/sim_server_stream.h"

namespace velmora {

namespace {

// The longest the loop sleeps before it looks at the stop flag again, ms.
constexpr int StopCheckMs = 50;

// A TCP client: it has gone when its connection ends or fails.
class TClientStream final : public TServedStream {
public:
    explicit TClientStream(TSocketHandle socket) : Socket(socket) {}

    bool Send(const std::vector<uint8_t>& bytes) override {
        return SocketSend(Socket, bytes.data(), int(bytes.size())) >= 0;
    }
    bool WaitInput(double ms) override { return SocketWaitReadable(Socket, ms); }
    int Receive(uint8_t* data, int size) override {
        const int got = SocketReceive(Socket, data, size);
        if (got == ReceivedNothing)
            return 0;
        return got > 0 ? got : -1;
    }

private:
    TSocketHandle Socket;
};

} // namespace

TSimServer::TSimServer() = default;

TSimServer::~TSimServer() {
    ClosePtyLine();
    SocketClose(Listener);
}

double TSimServer::NowMs() const {
    return Clock().PerfMs() - OriginMs;
}

bool TSimServer::Start(const TSimServerOptions& options, std::string& error) {
    Options = options;
    if (!Options.Tcp && !CanServePty(error))
        return false;
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
        return OpenPtyLine(error);

    const std::optional<TIPv4Address> address = ParseIPv4Address(Options.Address);
    if (!address || Options.TcpPort < 0 || Options.TcpPort > 65535) {
        error = "not an IPv4 address and port: " + Options.Address + ":" + std::to_string(Options.TcpPort);
        return false;
    }
    SocketClose(Listener);
    if (const int failed = TcpListen(*address, uint16_t(Options.TcpPort), Listener, BoundPort)) {
        error = "cannot listen on " + Options.Address + ":" + std::to_string(Options.TcpPort) + ": " +
                SocketErrorText(failed);
        return false;
    }
    return true;
}

std::string TSimServer::Where() const {
    return Options.Tcp ? Options.Address + ":" + std::to_string(BoundPort) : Pty.Path;
}

void TSimServer::Run() {
    if (!Options.Tcp) {
        ServePty();
        return;
    }
    while (!Stopping && Listener != NoSocket) {
        const TSocketHandle client = TcpAccept(Listener, StopCheckMs);
        if (client == NoSocket)
            continue;
        AddLog("client connected");
        TClientStream stream(client);
        const bool stopped = Serve(stream);
        SocketClose(client);
        AddLog("client left");
        if (stopped)
            break;
    }
}

bool TSimServer::Serve(TServedStream& stream) {
    SharpenWakeups();
    uint8_t buffer[256];
    while (!Stopping) {
        // What has reached the PC goes out; a PC that does not read loses it, as in a UART's overrun.
        std::vector<uint8_t> out;
        for (const TRxByte& b : Line->Output(NowMs()))
            out.push_back(b.Value);
        if (!out.empty() && !stream.Send(out))
            return false;

        // Woken when the next byte is due, so that the PC sees each byte when its stop bit ends (1.04 ms
        // after the write for an echo at 9600 baud), not on the next whole millisecond.
        const double next = Line->NextOutputMs();
        double waitMs = StopCheckMs;
        if (next != NeverMs)
            waitMs = std::clamp(next - NowMs(), 0.0, double(StopCheckMs));
        if (!stream.WaitInput(waitMs))
            continue;
        const int got = stream.Receive(buffer, sizeof buffer);
        if (got < 0)
            return false;
        for (int i = 0; i < got; ++i)
            Line->HostByte(buffer[i], NowMs(), stream.SeenLine());
    }
    return true;
}

} // namespace velmora
