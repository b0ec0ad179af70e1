// The Linux line discipline of a serial device through termios2: raw 8-bit line settings at any baud
// rate (10400 baud for the K-line, through BOTHER), the settings to give back on close, and the
// driver's low-latency mode. Kept apart because <asm/termbits.h> cannot share a file with <termios.h>.
// Any thread, each on its own fd.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace velmora {

struct TLineSettings {
    int Baud = 9600;
    uint8_t Parity = 0;   // parity code, as in base_port.h
    uint8_t StopBits = 0; // stop-bit code; 1.5 stop bits do not exist on 8-bit termios lines
    bool operator==(const TLineSettings&) const = default;
};

// What SetRawLine knows of the line of one open device, so that a change costs only the calls it needs:
// the settings in force cost nothing, settings the driver has taken before cost one TCSETS2, new ones
// are read back and checked once. The K-line alternates parity on every byte, and on a USB adapter each
// call may be a control transfer. Valid only while nothing else changes the device's settings (the COM
// port opens it exclusively); Forget() it whenever the device is opened.
class TLineCache {
public:
    void Forget() { *this = TLineCache(); }

private:
    friend int SetRawLine(int fd, const TLineSettings& line, TLineCache& cache);
    bool Known = false;
    TLineSettings Current;
    std::vector<unsigned char> Raw;      // the termios2 in force
    std::vector<TLineSettings> Verified; // settings the driver has taken unchanged
    int PseudoTerminal = -1;             // -1: not yet looked at
};

// Raw line: 8 data bits, parity and stop bits as given, received bytes passed on unchecked (no parity
// or framing check, breaks as 0x00), no flow control, no echo. Result 0, or errno: EINVAL when the
// driver cannot meet the baud rate within 3 %, drops the parity (mark/space) or a code is unknown. On
// failure the line keeps the settings it had. A pseudo-terminal takes any speed and has no parity to
// check.
int SetRawLine(int fd, const TLineSettings& line, TLineCache& cache);

// Sees every system call that line and modem-line settings cost, by name ("TCGETS2", "TCSETS2",
// "fstat", "TIOCMBIS", ...), so that tests can count what a byte costs. An empty function: none. Set it
// while no port is in use.
using TLineCallObserver = std::function<void(const char* call)>;
void SetLineCallObserver(TLineCallObserver observer);
// Reports one such call to the observer.
void NoteLineCall(const char* call);
// The output speed the driver reports after its rounding, or -1 with errno set.
int ReadBaud(int fd);
// Asks the driver to hand every received byte on at once (ASYNC_LOW_LATENCY). Drivers without the
// request (pseudo-terminals, some USB adapters) keep their default; that is no error.
void RequestLowLatency(int fd);

// The complete line settings of a device, speeds included, taken when it is opened and given back when
// it is closed.
class TSavedLine {
public:
    bool Save(int fd);
    // Does nothing when nothing was saved; a device that is gone is no error.
    void Restore(int fd) const;

private:
    std::vector<unsigned char> Raw;
};

} // namespace velmora
