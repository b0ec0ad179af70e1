// TCP on loopback and to WiFi adapters, the same calls on both systems: connect with a time-out, sends
// that wait for a slow peer, receives that never wait, listen/accept, and the IPv4 address check. Sockets
// are non-blocking with Nagle off. Any thread; one thread at a time per socket.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A descriptor on Linux, a SOCKET on Windows (whose INVALID_SOCKET is -1 here too).
using TSocketHandle = intptr_t;
inline constexpr TSocketHandle NoSocket = -1;

// The four bytes of an IPv4 address in the order they are written ("192.168.0.10": 192 first).
using TIPv4Address = std::array<uint8_t, 4>;

// A dotted quad of four decimal numbers 0-255 and nothing else: no blanks, no sign, no leading zeros
// ("01.2.3.4" is refused, since some parsers read it as octal and would reach another host).
std::optional<TIPv4Address> ParseIPv4Address(std::string_view text);
bool IsIPv4Address(std::string_view text);

// Connects to address:port within `timeoutMs`. 0 with `socket` set, or the system's error code (the
// time-out gives the system's "timed out" code) with `socket` left NoSocket.
int TcpConnect(const TIPv4Address& address, uint16_t port, int timeoutMs, TSocketHandle& socket);
// Listens on address:port (0: the system picks one; `boundPort` says which) for one client at a time.
// 0, or the system's error code with `listener` left NoSocket.
int TcpListen(const TIPv4Address& address, uint16_t port, TSocketHandle& listener, int& boundPort);
// The next client, waiting at most `timeoutMs` for one; NoSocket when none came.
TSocketHandle TcpAccept(TSocketHandle listener, int timeoutMs);
void SocketClose(TSocketHandle socket);

// Bytes the peer's data has waiting, or -1 with the system's error code in `error`.
int SocketAvailable(TSocketHandle socket, int& error);
// True when the peer closed or reset the connection, seen without waiting and without taking a byte.
bool SocketPeerGone(TSocketHandle socket);
// Waits at most `ms` (fractions count on Linux; Windows rounds up to whole ms) for something to read or
// for the connection to end. True when either came.
bool SocketWaitReadable(TSocketHandle socket, double ms);

// Receive results besides a byte count.
inline constexpr int ReceivedEnd = 0;      // the peer closed the connection
inline constexpr int ReceivedNothing = -1; // nothing is waiting
inline constexpr int ReceiveFailed = -2;   // the connection failed (reset)
// Takes what is waiting, at most `size` bytes, without waiting: the count, or one of the results above.
int SocketReceive(TSocketHandle socket, uint8_t* data, int size);

// Hands bytes to the system without waiting: the count it took (0 while its buffer is full), or -1 when
// the connection failed. A closed connection is an error, never a signal.
int SocketSend(TSocketHandle socket, const uint8_t* data, int length);

enum class TSendEnd { Sent, Failed, TimedOut, Stopped };
// A send that finds the peer's window full looks again after this (ms).
inline constexpr uint32_t SendWaitStepMs = 10;
// Sends all `length` bytes. While the peer takes none it waits on the clock in SendWaitStepMs steps, until
// `timeoutMs` pass without progress or `stopped` says so.
TSendEnd SocketSendAll(TSocketHandle socket, const uint8_t* data, int length, int timeoutMs,
                       const std::function<bool()>& stopped);

// The system's words for an error code of the calls above.
std::string SocketErrorText(int code);

} // namespace velmora
