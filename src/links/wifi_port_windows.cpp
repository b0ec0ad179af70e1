// TWiFiPort on Winsock (Windows): the same connection as on Linux, with the socket calls Windows names
// differently (ioctlsocket, WSAPoll, closesocket, WSAGetLastError).
#include "links/wifi_port.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include "platform/clock.h"
#include "platform/host.h"
#include "platform/windows_text.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace velmora {

namespace {

std::mutex settingsLock;
TWiFiSettings settings;
std::atomic<const std::atomic<bool>*> sendAbort{nullptr};

// A send that finds the adapter's window full looks again after this (ms).
constexpr uint32_t SendWaitStepMs = 10;

// Winsock is started once for the process and stays up until it ends.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// Connects `fd` (non-blocking) within `timeoutMs`. Result 0 or a Winsock error code.
int ConnectWithin(SOCKET fd, const sockaddr_in& address, int timeoutMs) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return WSAGetLastError();
    // A refused connection shows as POLLERR or POLLHUP, with the cause in SO_ERROR.
    WSAPOLLFD p{fd, POLLWRNORM, 0};
    const int ready = WSAPoll(&p, 1, timeoutMs);
    if (ready == 0)
        return WSAETIMEDOUT;
    int error = 0;
    int length = sizeof error;
    if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return WSAGetLastError();
    return error;
}

// Result 0 or WSAEINVAL; `address` filled from the settings.
int MakeAddress(const TWiFiSettings& wifi, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(wifi.WiFiPortNumber));
    if (wifi.WiFiPortNumber <= 0 || wifi.WiFiPortNumber > 65535 ||
        inet_pton(AF_INET, wifi.WiFiAddress.c_str(), &address.sin_addr) != 1)
        return WSAEINVAL;
    return 0;
}

SOCKET Handle(intptr_t socket) {
    return SOCKET(socket);
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
    SOCKET fd = StartWinsock() ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    u_long nonBlocking = 1;
    sockaddr_in address;
    int failed = fd == INVALID_SOCKET || ioctlsocket(fd, FIONBIO, &nonBlocking) != 0
                     ? WSAGetLastError()
                     : MakeAddress(wifi, address);
    Host().AddLog("WIFI connect to " + Peer);
    Host().ProcessMessages();
    if (!failed)
        failed = ConnectWithin(fd, address, wifi.ConnectTimeout);
    if (failed) {
        Host().AddLog("connect error");
        Host().AddLog("WIFI " + Peer + ": " +
                      (failed == WSAEINVAL ? std::string("not an IPv4 address and TCP port")
                                           : WindowsErrorText(DWORD(failed))));
        if (fd != INVALID_SOCKET)
            closesocket(fd);
        return false;
    }
    // The socket stays non-blocking: reads never wait, and sends wait in SendAll with a deadline.
    BOOL one = TRUE;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
               sizeof one); // commands are a few bytes each
    Socket = intptr_t(fd);
    Connected = true;
    Host().AddLog("connected");
    return true;
}

bool TWiFiPort::IsOpen() {
    return Connected;
}

int TWiFiPort::InQueue() {
    const intptr_t fd = Socket;
    if (fd < 0)
        return 0;
    u_long waiting = 0;
    if (ioctlsocket(Handle(fd), FIONREAD, &waiting) != 0)
        throw PortException("TWiFiPort.IOCtlSocket() error. Return " + std::to_string(WSAGetLastError()));
    if (waiting == 0) {
        // Readable with nothing to read: the adapter closed the connection or reset it.
        WSAPOLLFD p{Handle(fd), POLLRDNORM, 0};
        char probe;
        if (WSAPoll(&p, 1, 0) > 0) {
            const int peeked = recv(Handle(fd), &probe, 1, MSG_PEEK);
            if (peeked == 0 || (peeked < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
                ThrowLost();
        }
    }
    return int(std::min<u_long>(waiting, INT_MAX));
}

void TWiFiPort::Close() {
    Connected = false;
    if (const intptr_t fd = Socket.exchange(-1); fd >= 0)
        closesocket(Handle(fd));
}

void TWiFiPort::SetParams(int, uint8_t, uint8_t) {}

void TWiFiPort::SetRTS(bool) {}

void TWiFiPort::SetParity(uint8_t) {}

bool TWiFiPort::WaitInput(uint32_t maxMs) {
    const intptr_t fd = Socket;
    if (fd < 0)
        return false;
    WSAPOLLFD p{Handle(fd), POLLRDNORM, 0};
    return WSAPoll(&p, 1, int(std::min<uint32_t>(maxMs, INT_MAX))) > 0;
}

bool TWiFiPort::ReadByte(uint8_t& Value) {
    if (InQueue() < 1)
        return false;
    const int got = recv(Handle(Socket), reinterpret_cast<char*>(&Value), 1, 0);
    if (got == 0)
        ThrowLost();
    return got == 1;
}

int TWiFiPort::ReadBuf(TPortBuffer& Buffer) {
    Buffer.Count = 0;
    if (!Buffer.Data || Buffer.Size <= 0 || InQueue() <= 0)
        return 0;
    const int got = recv(Handle(Socket), reinterpret_cast<char*>(Buffer.Data), Buffer.Size, 0);
    if (got == 0)
        ThrowLost();
    if (got < 0) {
        Host().AddLog("TWiFiPort.ReadBuf recv return " + std::to_string(got));
        return 0;
    }
    Buffer.Count = int(got);
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
    uint32_t lastProgress = Clock().TickCount();
    int sent = 0;
    while (sent < length) {
        const int now = send(Handle(Socket), reinterpret_cast<const char*>(data + sent), length - sent, 0);
        if (now > 0) {
            sent += int(now);
            lastProgress = Clock().TickCount();
            continue;
        }
        if (now == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            throw PortException(errorText);
        // The adapter takes no bytes: wait for it, but not past the deadline or the user's Stop.
        if (const std::atomic<bool>* abort = sendAbort.load(); abort && abort->load())
            throw PortException(std::string(errorText) + ": stopped while WIFI " + Peer + " took no data");
        if (TicksSince(lastProgress, Clock().TickCount()) >= uint32_t(std::max(timeoutMs, 0)))
            throw PortException(std::string(errorText) + ": WIFI " + Peer + " took no data for " +
                                std::to_string(timeoutMs) + " ms");
        Clock().Sleep(SendWaitStepMs);
    }
}

} // namespace velmora
