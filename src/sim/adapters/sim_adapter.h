// The PC's side of a simulated adapter, the one interface through which the in-process ports and the
// velmora-sim server drive every adapter. Times are milliseconds on the car's timeline and never go
// backwards; one thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/kline_bus.h"

namespace velmora {

// What the PC's UART sends (bytes, line settings, RTS, break) and what comes back, each byte stamped with
// the moment its stop bit reached the PC.
class TSimAdapter {
public:
    virtual ~TSimAdapter() = default;

    // The PC's UART settings: baud rate, parity code (0 none ... 4 space) and stop-bit code (0 one,
    // 1 one and a half, 2 two).
    virtual void HostLine(int baud, uint8_t parity, uint8_t stopBits, double atMs) = 0;
    virtual void HostRts(bool on, double atMs) = 0;
    virtual void HostBreak(bool on, double atMs) = 0;
    // The PC starts sending `value` at atMs (its UART queues it behind the bytes still going out).
    virtual void HostByte(uint8_t value, double atMs) = 0;

    // Runs up to nowMs and hands over the bytes that reached the PC by then, in order.
    virtual std::vector<TRxByte> Output(double nowMs) = 0;
    // When the next byte for the PC arrives (NeverMs when nothing is on its way).
    virtual double NextOutputMs() const = 0;
    // Whether the adapter passes the K-line through like a plain cable right now (its line then runs at
    // the K-line's 9600 baud rather than at the adapter's own serial rate).
    virtual bool PassThrough() const = 0;
};

// Milliseconds of one 8N1 character (10 bits) at `baud`.
inline double CharMs(int baud) {
    return 10 * 1000.0 / (baud > 0 ? baud : 9600);
}

// Whether two baud rates are within the 3 % a UART tolerates.
inline bool BaudMatches(int a, int b) {
    return a > 0 && b > 0 && (a > b ? a - b : b - a) * 100 <= 3 * b;
}

// The bytes an adapter's own UART sends to the PC: paced one character after another at its baud rate.
class TUartOutput {
public:
    explicit TUartOutput(int baud) : Baud(baud) {}

    // Queues `value` to start at atMs or after the previous character; returns when it arrives.
    double Put(uint8_t value, double atMs);
    std::vector<TRxByte> Take(double nowMs);
    double NextMs() const { return Queue.empty() ? NeverMs : Queue.front().TimeMs; }
    // The moment the last queued character arrives.
    double FreeMs() const { return Free; }

private:
    int Baud;
    double Free = 0;
    std::deque<TRxByte> Queue;
};

} // namespace velmora
