#include "links/wifi_port.h"

#include <mutex>

#include "platform/host.h"
#include "platform/tcp_socket.h"

namespace velmora {

namespace {

std::mutex settingsLock;
TWiFiSettings settings;
std::atomic<const std::atomic<bool>*> sendAbort{nullptr};

bool ValidPort(int port) {
    return port > 0 && port <= 65535;
}

} // namespace

TWiFiSettings WiFiSettings() {
    std::lock_guard guard(settingsLock);
    return settings;
}

void SetWiFiSettings(const TWiFiSettings& newSettings) {
    std::lock_guard guard(settingsLock);
    settings = newSettings;
}

void SetWiFiSendAbort(const std::atomic<bool>* flag) {
    sendAbort = flag;
}

TWiFiPort::~TWiFiPort() {
    Close();
}

bool TWiFiPort::Open(bool, int) {
    Close();
    TWiFiSettings wifi = WiFiSettings();
    Peer = wifi.WiFiAddress + ":" + std::to_string(wifi.WiFiPortNumber);
    const std::optional<TIPv4Address> address = ParseIPv4Address(wifi.WiFiAddress);
    Host().AddLog("WIFI connect to " + Peer);
    Host().ProcessMessages();
    const bool validPeer = address && ValidPort(wifi.WiFiPortNumber);
    TSocketHandle connected = NoSocket;
    const int error =
        validPeer ? TcpConnect(*address, uint16_t(wifi.WiFiPortNumber), wifi.ConnectTimeout, connected) : 0;
    if (!validPeer || error != 0) {
        Host().AddLog("connect error");
        Host().AddLog("WIFI " + Peer + ": " +
                      (validPeer ? SocketErrorText(error) : std::string("not an IPv4 address and TCP port")));
        return false;
    }
    // The socket is non-blocking: reads never wait, and sends wait in SendAll with a deadline.
    Socket = connected;
    Connected = true;
    Host().AddLog("connected");
    return true;
}

bool TWiFiPort::IsOpen() {
    return Connected;
}

int TWiFiPort::InQueue() {
    const TSocketHandle socket = Socket;
    if (socket == NoSocket)
        return 0;
    int error = 0;
    const int waiting = SocketAvailable(socket, error);
    if (waiting < 0)
        throw PortException("TWiFiPort.IOCtlSocket() error. Return " + std::to_string(error));
    if (waiting == 0 && SocketPeerGone(socket))
        ThrowLost();
    return waiting;
}

void TWiFiPort::Close() {
    Connected = false;
    SocketClose(Socket.exchange(NoSocket));
}

void TWiFiPort::SetParams(int, uint8_t, uint8_t) {}

void TWiFiPort::SetRTS(bool) {}

void TWiFiPort::SetParity(uint8_t) {}

bool TWiFiPort::WaitInput(uint32_t maxMs) {
    const TSocketHandle socket = Socket;
    return socket != NoSocket && SocketWaitReadable(socket, maxMs);
}

bool TWiFiPort::ReadByte(uint8_t& Value) {
    if (InQueue() < 1)
        return false;
    const int got = SocketReceive(Socket, &Value, 1);
    if (got == ReceivedEnd)
        ThrowLost();
    return got == 1;
}

int TWiFiPort::ReadBuf(TPortBuffer& Buffer) {
    Buffer.Count = 0;
    if (!Buffer.Data || Buffer.Size <= 0 || InQueue() <= 0)
        return 0;
    const int got = SocketReceive(Socket, Buffer.Data, Buffer.Size);
    if (got == ReceivedEnd)
        ThrowLost();
    if (got < 0) {
        // The value the system's receive call returns on any failure.
        Host().AddLog("TWiFiPort.ReadBuf recv return -1");
        return 0;
    }
    Buffer.Count = got;
    return Buffer.Count;
}

int TWiFiPort::ReadBufEx(TPortBuffer&, int) {
    throw PortException("Empty function TWiFiPort.ReadBufEx");
}

bool TWiFiPort::WriteBuf(TPortBuffer Buffer) {
    SendAll(Buffer.Data, Buffer.Count, "TWiFiPort.WriteBuf error");
    return true;
}

bool TWiFiPort::WriteByte(uint8_t Value) {
    SendAll(&Value, 1, "TWiFiPort.WriteByte error");
    return true;
}

bool TWiFiPort::WritePortEx(const uint8_t*, int) {
    throw PortException("Empty function TWiFiPort.WritePortEx");
}

void TWiFiPort::SetCommBreak() {
    throw PortException("Empty function TWiFiPort.SetCommBreak");
}

void TWiFiPort::ClearCommBreak() {
    throw PortException("Empty function TWiFiPort.ClearCommBreak");
}

void TWiFiPort::SetTimeouts(int, int, int, int, int) {}

void TWiFiPort::ThrowLost() const {
    throw PortException("Port lost: WIFI " + Peer + " closed the connection");
}

void TWiFiPort::SendAll(const uint8_t* data, int length, const char* errorText) {
    if (length < 0 || (length > 0 && !data))
        throw PortException(errorText);
    const int timeoutMs = WiFiSettings().SendTimeout;
    const auto stopped = [] {
        const std::atomic<bool>* abort = sendAbort.load();
        return abort && abort->load();
    };
    switch (SocketSendAll(Socket, data, length, timeoutMs, stopped)) {
    case TSendEnd::Sent:
        return;
    case TSendEnd::Failed:
        throw PortException(errorText);
    case TSendEnd::Stopped:
        throw PortException(std::string(errorText) + ": stopped while WIFI " + Peer + " took no data");
    case TSendEnd::TimedOut:
        throw PortException(std::string(errorText) + ": WIFI " + Peer + " took no data for " +
                            std::to_string(timeoutMs) + " ms");
    }
}

} // namespace velmora
