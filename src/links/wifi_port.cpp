#include "links/wifi_port.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

std::mutex settingsLock;
TWiFiSettings settings;
std::atomic<const std::atomic<bool>*> sendAbort{nullptr};

// A send that finds the adapter's window full looks again after this (ms).
constexpr uint32_t SendWaitStepMs = 10;

// Connects `fd` (non-blocking) within `timeoutMs`. Result 0 or errno.
int ConnectWithin(int fd, const sockaddr_in& address, int timeoutMs) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do
        ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

// Result 0 or errno; `address` filled from the settings.
int MakeAddress(const TWiFiSettings& wifi, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(wifi.WiFiPortNumber));
    if (wifi.WiFiPortNumber <= 0 || wifi.WiFiPortNumber > 65535 ||
        inet_pton(AF_INET, wifi.WiFiAddress.c_str(), &address.sin_addr) != 1)
        return EINVAL;
    return 0;
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
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address;
    int failed = fd < 0 ? errno : MakeAddress(wifi, address);
    Host().AddLog("WIFI connect to " + Peer);
    Host().ProcessMessages();
    if (!failed)
        failed = ConnectWithin(fd, address, wifi.ConnectTimeout);
    if (failed) {
        Host().AddLog("connect error");
        Host().AddLog(
            "WIFI " + Peer + ": " +
            (failed == EINVAL ? std::string("not an IPv4 address and TCP port") : std::strerror(failed)));
        if (fd >= 0)
            close(fd);
        return false;
    }
    // The socket stays non-blocking: reads never wait, and sends wait in SendAll with a deadline.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // commands are a few bytes each
    Socket = fd;
    Connected = true;
    Host().AddLog("connected");
    return true;
}

bool TWiFiPort::IsOpen() {
    return Connected;
}

int TWiFiPort::InQueue() {
    int fd = Socket;
    if (fd < 0)
        return 0;
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0)
        throw PortException("TWiFiPort.IOCtlSocket() error. Return " + std::to_string(errno));
    if (waiting == 0) {
        // Readable with nothing to read: the adapter closed the connection or reset it.
        pollfd p{fd, POLLIN, 0};
        uint8_t probe;
        if (poll(&p, 1, 0) > 0) {
            ssize_t peeked = recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                ThrowLost();
        }
    }
    return waiting;
}

void TWiFiPort::Close() {
    Connected = false;
    if (int fd = Socket.exchange(-1); fd >= 0)
        close(fd);
}

void TWiFiPort::SetParams(int, uint8_t, uint8_t) {}

void TWiFiPort::SetRTS(bool) {}

void TWiFiPort::SetParity(uint8_t) {}

bool TWiFiPort::WaitInput(uint32_t maxMs) {
    int fd = Socket;
    if (fd < 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    do
        ready = poll(&p, 1, int(std::min<uint32_t>(maxMs, INT_MAX)));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool TWiFiPort::ReadByte(uint8_t& Value) {
    if (InQueue() < 1)
        return false;
    ssize_t got = recv(Socket, &Value, 1, MSG_DONTWAIT);
    if (got == 0)
        ThrowLost();
    return got == 1;
}

int TWiFiPort::ReadBuf(TPortBuffer& Buffer) {
    Buffer.Count = 0;
    if (!Buffer.Data || Buffer.Size <= 0 || InQueue() <= 0)
        return 0;
    ssize_t got = recv(Socket, Buffer.Data, size_t(Buffer.Size), MSG_DONTWAIT);
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
        // MSG_NOSIGNAL: a closed connection is an error here, not SIGPIPE for the whole program.
        const ssize_t now = send(Socket, data + sent, size_t(length - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (now > 0) {
            sent += int(now);
            lastProgress = Clock().TickCount();
            continue;
        }
        if (now < 0 && errno == EINTR)
            continue;
        if (now == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
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
