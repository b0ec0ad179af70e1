#include "sim/adapters/blind_line.h"

#include <algorithm>

#include "links/base_port.h"

namespace velmora {

namespace {

constexpr uint8_t WakeByte = 0xAA;
constexpr uint8_t WakeAnswer = 0x55;
// The wake-up byte goes out 390 ms after the break began; the break ends this long before the byte.
constexpr double BreakLeadMs = 390;

} // namespace

uint8_t TBlindLine::ParityOf(const TSeenLine& seen) const {
    if (seen.MarkSpace)
        return seen.Mark ? ParityMark : ParitySpace;
    if (Strict || ParityVisible)
        return ParityNone;
    return Next == TNext::Command ? ParityNone : ParitySpace;
}

void TBlindLine::HostByte(uint8_t value, double atMs, const TSeenLine& seen) {
    int baud = seen.Baud > 0 ? seen.Baud : Adapter.PassThrough() ? 9600 : OwnBaud;
    // The rate first: it may decide whether the adapter passes the line through (the CarSoft interface).
    if (baud != LineBaud) {
        Adapter.HostLine(baud, uint8_t(std::max(LineParity, 0)), OneStopBit, atMs);
        LineBaud = baud;
    }
    bool passThrough = Adapter.PassThrough();
    uint8_t parity = ParityNone;
    if (passThrough) {
        if (value == WakeByte && atMs - LastActivityMs >= WakeSilenceMs) {
            double start = std::max(LastActivityMs, atMs - BreakLeadMs);
            Adapter.HostBreak(true, start);
            Adapter.HostBreak(false, start + BreakMs);
            Next = TNext::WakeByte;
        }
        ParityVisible = ParityVisible || seen.MarkSpace;
        parity = ParityOf(seen);
    }
    if (parity != LineParity) {
        Adapter.HostLine(baud, parity, OneStopBit, atMs);
        LineParity = parity;
    }
    Adapter.HostByte(value, atMs);
    LastActivityMs = atMs;
    LastSent = value;
    SentAsCommand = passThrough && parity == ParityNone;
    EchoSeen = false;
    Answered = false;
}

void TBlindLine::Watch(uint8_t value) {
    if (Answered)
        return;
    if (!EchoSeen) {
        EchoSeen = value == LastSent;
        return;
    }
    Answered = true;
    if (Next == TNext::WakeByte) {
        if (LastSent == WakeByte && value == WakeAnswer)
            Next = TNext::Command;
    } else if (SentAsCommand) {
        if (value == uint8_t(0xFF - LastSent))
            Next = TNext::Parameter;
    } else {
        Next = TNext::Command;
    }
}

std::vector<TRxByte> TBlindLine::Output(double nowMs) {
    // The line's time stays at its last event while nothing is due, so that a break recognised later can
    // still be laid on the line before the byte that revealed it.
    if (Adapter.NextOutputMs() > nowMs)
        return {};
    std::vector<TRxByte> out = Adapter.Output(nowMs);
    for (const TRxByte& b : out) {
        LastActivityMs = std::max(LastActivityMs, b.TimeMs);
        Watch(b.Value);
    }
    return out;
}

} // namespace velmora
