// The socket layer's system calls on Linux (BSD sockets). Descriptors are closed on exec.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/tcp_socket.h"

namespace velmora {

namespace {

sockaddr_in SocketAddress(const TIPv4Address& address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    std::memcpy(&result.sin_addr, address.data(), address.size()); // already in network order
    return result;
}

void NoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // commands are a few bytes each
}

// poll() on one descriptor, again after a signal. >0 ready, 0 timed out, <0 failed (errno).
int PollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int ready;
    do
        ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready;
}

// Result 0 or errno.
int ConnectWithin(int fd, const sockaddr_in& address, int timeoutMs) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    const int ready = PollOne(fd, POLLOUT, timeoutMs);
    if (ready == 0)
        return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace

int TcpConnect(const TIPv4Address& address, uint16_t port, int timeoutMs, TSocketHandle& socket) {
    socket = NoSocket;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return errno;
    if (const int failed = ConnectWithin(fd, SocketAddress(address, port), timeoutMs)) {
        close(fd);
        return failed;
    }
    NoDelay(fd);
    socket = fd;
    return 0;
}

int TcpListen(const TIPv4Address& address, uint16_t port, TSocketHandle& listener, int& boundPort) {
    listener = NoSocket;
    sockaddr_in bound = SocketAddress(address, port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    // A server started again at once may take its port back from the connections still closing.
    int yes = 1;
    socklen_t length = sizeof bound;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || listen(fd, 1) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        const int failed = errno;
        close(fd);
        return failed;
    }
    boundPort = ntohs(bound.sin_port);
    listener = fd;
    return 0;
}

TSocketHandle TcpAccept(TSocketHandle listener, int timeoutMs) {
    if (PollOne(int(listener), POLLIN, timeoutMs) <= 0)
        return NoSocket;
    const int client = accept4(int(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0)
        return NoSocket;
    NoDelay(client);
    return client;
}

void SocketClose(TSocketHandle socket) {
    if (socket != NoSocket)
        close(int(socket));
}

int SocketAvailable(TSocketHandle socket, int& error) {
    int waiting = 0;
    if (ioctl(int(socket), FIONREAD, &waiting) != 0) {
        error = errno;
        return -1;
    }
    return waiting;
}

bool SocketPeerGone(TSocketHandle socket) {
    // Readable with nothing to read: the peer closed the connection or reset it.
    pollfd p{int(socket), POLLIN, 0};
    if (poll(&p, 1, 0) <= 0)
        return false;
    uint8_t probe;
    const ssize_t peeked = recv(int(socket), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

bool SocketWaitReadable(TSocketHandle socket, double ms) {
    // ppoll: woken to the microsecond, so that a byte due 1.04 ms from now is not a whole millisecond late.
    const int64_t waitNs = int64_t(std::ceil(std::clamp(ms, 0.0, double(INT_MAX)) * 1e6));
    const timespec wait{time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
    pollfd p{int(socket), POLLIN, 0};
    int ready;
    do
        ready = ppoll(&p, 1, &wait, nullptr);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

int SocketReceive(TSocketHandle socket, uint8_t* data, int size) {
    ssize_t got;
    do
        got = recv(int(socket), data, size_t(std::max(size, 0)), MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    if (got >= 0)
        return int(got);
    return errno == EAGAIN || errno == EWOULDBLOCK ? ReceivedNothing : ReceiveFailed;
}

int SocketSend(TSocketHandle socket, const uint8_t* data, int length) {
    ssize_t now;
    do
        now = send(int(socket), data, size_t(std::max(length, 0)), MSG_NOSIGNAL | MSG_DONTWAIT);
    while (now < 0 && errno == EINTR);
    if (now >= 0)
        return int(now);
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

std::string SocketErrorText(int code) {
    return std::strerror(code);
}

} // namespace velmora
