// The PC's side of an adapter where the line cannot be seen: a pseudo-terminal (no break crosses it, the
// parity bit is not carried) and TCP (no line at all). Used by the velmora-sim server's thread.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/adapters/sim_adapter.h"

namespace velmora {

// What the PC's side shows of its line settings.
struct TSeenLine {
    int Baud = 0;           // 0: not visible (TCP)
    bool MarkSpace = false; // the settings ask for mark or space parity
    bool Mark = false;
};

// Rebuilds what the K-line needs:
// - the wake-up break from its timing pattern: the engine link holds a break, waits, and sends 0xAA
//   390 ms after the break began, so an 0xAA after at least WakeSilenceMs of silence in both directions
//   is taken as break-then-0xAA, and a break of BreakMs is laid on the line before it;
// - the ninth bit of each byte: from mark/space parity where the PC's settings show it (a pseudo-
//   terminal keeps CMSPAR), else from the byte's place in the exchange: wake-up bytes and the byte after
//   a command's complement are parameter bytes (space parity), every other byte is a command (8N1).
// Only while the adapter passes the K-line through; an ELM327 in command mode gets the bytes as they are.
// A strict line guesses no ninth bit: it is the one the PC's settings show (mark or space parity, else
// the 8N1 stop bit), so a tester that sends a byte with the wrong one gets what a real line would give
// it: no answer. The break is still rebuilt from its timing: no pseudo-terminal carries one.
class TBlindLine {
public:
    static constexpr double WakeSilenceMs = 350;
    static constexpr double BreakMs = 165;

    // `ownBaud` is the adapter's serial rate, taken when the line's own rate is not visible.
    TBlindLine(TSimAdapter& adapter, int ownBaud, bool strict = false)
        : Adapter(adapter), OwnBaud(ownBaud), Strict(strict) {}

    void HostByte(uint8_t value, double atMs, const TSeenLine& seen);
    std::vector<TRxByte> Output(double nowMs);
    double NextOutputMs() const { return Adapter.NextOutputMs(); }

private:
    enum class TNext : uint8_t { WakeByte, Command, Parameter };

    uint8_t ParityOf(const TSeenLine& seen) const;
    void Watch(uint8_t value);

    TSimAdapter& Adapter;
    int OwnBaud;
    bool Strict;
    int LineBaud = 0;
    int LineParity = -1;
    double LastActivityMs = -1e9;
    bool ParityVisible = false; // the PC's settings have shown mark/space once: they can be trusted
    TNext Next = TNext::Command;
    // The byte last sent, whether its echo came back, and whether its answer was seen.
    uint8_t LastSent = 0;
    bool SentAsCommand = false;
    bool EchoSeen = true;
    bool Answered = true;
};

} // namespace velmora
