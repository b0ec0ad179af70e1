// The velmora-sim server: one simulated car behind one simulated adapter, on a pseudo-terminal or as a
// WiFi ELM327 on TCP, in real time. Start and Run on one thread; Stop from any thread or a signal handler.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/tcp_socket.h"
#include "sim/adapters/adapter_kind.h"
#include "sim/adapters/blind_line.h"
#include "sim/adapters/pty_line.h"
#include "sim/sim_car.h"

namespace velmora {

class TServedStream;

struct TSimServerOptions {
    std::string Unit = "hfm"; // a built-in unit or a profile file
    TSimAdapterKind Adapter = TSimAdapterKind::Kkl;
    bool Tcp = false;                  // false: pseudo-terminal
    std::string Address = "127.0.0.1"; // TCP: the address to listen on (IPv4)
    int TcpPort = 35000;               // TCP: 0 picks a free port
    bool Strict = false; // pseudo-terminal: the ninth bit only from the line settings (TCP has none)
};

// The tester opens the pseudo-terminal's device path as a COM port. TCP takes one client at a time; the
// next may connect when the first has left. The car and the adapter keep running between clients.
class TSimServer {
public:
    TSimServer();
    ~TSimServer();

    // Makes the car and opens the pseudo-terminal or the listening socket. False with `error` for the user.
    bool Start(const TSimServerOptions& options, std::string& error);
    // Where the server listens: the device path, or "address:port".
    std::string Where() const;
    // Serves until Stop. Diagnostic lines (clients coming and going) go to the host's log.
    void Run();
    void Stop() { Stopping = true; }

private:
    // The pseudo-terminal side, which only the Linux build has (sim_server_pty*.cpp).
    static bool CanServePty(std::string& error);
    bool OpenPtyLine(std::string& error);
    void ServePty();
    void ClosePtyLine();

    // Serves one byte stream until it ends (false) or Stop (true).
    bool Serve(TServedStream& stream);
    double NowMs() const;

    std::unique_ptr<TSimCar> Car;
    std::unique_ptr<TSimAdapter> Adapter;
    std::unique_ptr<TBlindLine> Line;
    TSimServerOptions Options;
    TPty Pty;
    TSocketHandle Listener = NoSocket;
    int BoundPort = 0;
    double OriginMs = 0;
    std::atomic<bool> Stopping{false};
};

} // namespace velmora
