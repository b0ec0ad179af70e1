// The socket layer's system calls on Windows (Winsock 2), started once for the process and left up until
// it ends.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/tcp_socket.h"
#include "platform/windows_text.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace velmora {

namespace {

// 0, or the error WSAStartup gave (it does not set WSAGetLastError).
int StartWinsock() {
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return started;
}

SOCKET Handle(TSocketHandle socket) {
    return SOCKET(socket);
}

sockaddr_in SocketAddress(const TIPv4Address& address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    std::memcpy(&result.sin_addr, address.data(), address.size()); // already in network order
    return result;
}

bool NonBlocking(SOCKET fd) {
    u_long on = 1;
    return ioctlsocket(fd, FIONBIO, &on) == 0;
}

void NoDelay(SOCKET fd) {
    BOOL one = TRUE; // commands are a few bytes each
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

int PollOne(SOCKET fd, short events, int timeoutMs) {
    WSAPOLLFD p{fd, events, 0};
    return WSAPoll(&p, 1, timeoutMs);
}

// Result 0 or a Winsock error code.
int ConnectWithin(SOCKET fd, const sockaddr_in& address, int timeoutMs) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return WSAGetLastError();
    // A refused connection shows as POLLERR or POLLHUP, with the cause in SO_ERROR.
    const int ready = PollOne(fd, POLLWRNORM, timeoutMs);
    if (ready == 0)
        return WSAETIMEDOUT;
    int error = 0;
    int length = sizeof error;
    if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return WSAGetLastError();
    return error;
}

} // namespace

int TcpConnect(const TIPv4Address& address, uint16_t port, int timeoutMs, TSocketHandle& socket) {
    socket = NoSocket;
    if (const int failed = StartWinsock())
        return failed;
    const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd == INVALID_SOCKET)
        return WSAGetLastError();
    int failed = NonBlocking(fd) ? 0 : WSAGetLastError();
    if (!failed)
        failed = ConnectWithin(fd, SocketAddress(address, port), timeoutMs);
    if (failed) {
        closesocket(fd);
        return failed;
    }
    NoDelay(fd);
    socket = TSocketHandle(fd);
    return 0;
}

int TcpListen(const TIPv4Address& address, uint16_t port, TSocketHandle& listener, int& boundPort) {
    listener = NoSocket;
    if (const int failed = StartWinsock())
        return failed;
    // No SO_REUSEADDR: on Windows it would let another program take over a port in use.
    sockaddr_in bound = SocketAddress(address, port);
    const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd == INVALID_SOCKET)
        return WSAGetLastError();
    int length = sizeof bound;
    if (bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || listen(fd, 1) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        const int failed = WSAGetLastError();
        closesocket(fd);
        return failed;
    }
    boundPort = ntohs(bound.sin_port);
    listener = TSocketHandle(fd);
    return 0;
}

TSocketHandle TcpAccept(TSocketHandle listener, int timeoutMs) {
    if (PollOne(Handle(listener), POLLRDNORM, timeoutMs) <= 0)
        return NoSocket;
    const SOCKET client = accept(Handle(listener), nullptr, nullptr);
    if (client == INVALID_SOCKET)
        return NoSocket;
    NonBlocking(client);
    NoDelay(client);
    return TSocketHandle(client);
}

void SocketClose(TSocketHandle socket) {
    if (socket != NoSocket)
        closesocket(Handle(socket));
}

int SocketAvailable(TSocketHandle socket, int& error) {
    u_long waiting = 0;
    if (ioctlsocket(Handle(socket), FIONREAD, &waiting) != 0) {
        error = WSAGetLastError();
        return -1;
    }
    return int(std::min<u_long>(waiting, INT_MAX));
}

bool SocketPeerGone(TSocketHandle socket) {
    // Readable with nothing to read: the peer closed the connection or reset it.
    if (PollOne(Handle(socket), POLLRDNORM, 0) <= 0)
        return false;
    char probe;
    const int peeked = recv(Handle(socket), &probe, 1, MSG_PEEK);
    return peeked == 0 || (peeked < 0 && WSAGetLastError() != WSAEWOULDBLOCK);
}

bool SocketWaitReadable(TSocketHandle socket, double ms) {
    // WSAPoll counts whole milliseconds: a wait for a byte due in 1.04 ms ends at most one late.
    return PollOne(Handle(socket), POLLRDNORM, int(std::ceil(std::clamp(ms, 0.0, double(INT_MAX))))) > 0;
}

int SocketReceive(TSocketHandle socket, uint8_t* data, int size) {
    const int got = recv(Handle(socket), reinterpret_cast<char*>(data), std::max(size, 0), 0);
    if (got >= 0)
        return got;
    return WSAGetLastError() == WSAEWOULDBLOCK ? ReceivedNothing : ReceiveFailed;
}

int SocketSend(TSocketHandle socket, const uint8_t* data, int length) {
    const int now = send(Handle(socket), reinterpret_cast<const char*>(data), std::max(length, 0), 0);
    if (now >= 0)
        return now;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

std::string SocketErrorText(int code) {
    return WindowsErrorText(static_cast<unsigned long>(code));
}

} // namespace velmora
