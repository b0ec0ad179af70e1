#include "sim/kline_bus.h"

#include <algorithm>
#include <bit>

namespace velmora {

namespace {

// The unit's UART runs at 9600 baud; a receiver tolerates about 3 % of baud-rate error.
constexpr int UnitBaud = 9600;

bool SameBaud(int a, int b) {
    return a > 0 && b > 0 && std::abs(a - b) * 100 <= 3 * b;
}

bool NinthBitFor(uint8_t value, uint8_t parity) {
    bool odd = std::popcount(value) % 2 != 0;
    switch (parity) {
    case 1:
        return !odd; // odd parity: the bit makes the count of ones odd
    case 2:
        return odd; // even parity
    case 3:
        return true; // mark
    case 4:
        return false; // space
    default:
        return true; // no parity: the stop bit follows the data
    }
}

} // namespace

TKLineBus::TKLineBus(TKLineDevice& device, TLineFaults faults)
    : Device(device), Faults(faults), NoiseState(faults.NoiseSeed ? faults.NoiseSeed : 1) {
    if (Faults.NoiseEveryMs > 0)
        NextNoiseMs = Faults.NoiseEveryMs;
}

void TKLineBus::SetLine(int baud, uint8_t parity, uint8_t stopBits) {
    Baud = baud;
    Parity = parity;
    DetectingBaud = false;
    StopBits = stopBits == 2 ? 2 : stopBits == 1 ? 1.5 : 1;
}

double TKLineBus::FrameMs(double bits) const {
    return bits * 1000.0 / (Baud > 0 ? Baud : UnitBaud);
}

double TKLineBus::Send(uint8_t value, double atMs) {
    double bits = (Parity == 0 ? 9 : 10) + StopBits;
    return SendFrame(value, NinthBitFor(value, Parity), bits, atMs);
}

double TKLineBus::SendFrame(uint8_t value, bool ninthBit, double frameBits, double atMs) {
    RunTo(atMs);
    TFrame frame;
    frame.Value = value;
    frame.NinthBit = ninthBit;
    frame.Baud = Baud;
    frame.StartMs = std::max(atMs, AdapterFree);
    frame.EndMs = frame.StartMs + FrameMs(frameBits);
    frame.Kind = TFrameKind::Adapter;
    frame.Lost = BreakActive;
    AdapterFree = frame.EndMs;
    Schedule(frame);
    return frame.EndMs;
}

void TKLineBus::UnitSend(uint8_t value, double atMs, int baud) {
    TFrame frame;
    frame.Value = value;
    frame.Baud = baud > 0 ? baud : UnitBaud;
    frame.StartMs = std::max(atMs, UnitFree);
    frame.EndMs = frame.StartMs + 10 * 1000.0 / frame.Baud;
    frame.Kind = TFrameKind::Unit;
    frame.Lost = BreakActive;
    UnitFree = frame.EndMs;
    Schedule(frame);
}

void TKLineBus::Schedule(TFrame frame) {
    // Wired-AND: a frame of the other side that overlaps this one corrupts both.
    if (!frame.Lost) {
        for (TFrame& other : Frames) {
            bool otherSide = (other.Kind == TFrameKind::Adapter && frame.Kind == TFrameKind::Unit) ||
                             (other.Kind == TFrameKind::Unit && frame.Kind == TFrameKind::Adapter);
            if (!otherSide || other.Lost || other.EndMs <= frame.StartMs || frame.EndMs <= other.StartMs)
                continue;
            other.Lost = frame.Lost = true;
            TFrame garbled;
            garbled.Value = uint8_t(other.Value & frame.Value);
            garbled.StartMs = std::min(other.StartMs, frame.StartMs);
            garbled.EndMs = std::max(other.EndMs, frame.EndMs);
            Frames.push_back(garbled);
            break;
        }
    }
    Frames.push_back(frame);
}

void TKLineBus::SetBreak(bool on, double atMs) {
    RunTo(atMs);
    if (on == BreakActive)
        return;
    if (on) {
        BreakActive = true;
        BreakStart = atMs;
        for (TFrame& frame : Frames)
            if (frame.EndMs > atMs)
                frame.Lost = true;
        // Lost frames no longer hold either side's transmitter.
        AdapterFree = std::min(AdapterFree, atMs);
        UnitFree = std::min(UnitFree, atMs);
        // The receiver sees a frame of zeros whose stop bit is missing: one 0x00 with a framing error.
        TFrame zero;
        zero.StartMs = atMs;
        zero.EndMs = atMs + FrameMs(10);
        Frames.push_back(zero);
    } else {
        BreakActive = false;
        AdapterFree = std::max(AdapterFree, atMs);
        Lows.push_back({BreakStart, atMs});
        if (!Faults.NoUnit && !Faults.ShortToGround)
            Device.OnBreak(BreakStart, atMs);
    }
}

void TKLineBus::AddNoiseUpTo(double nowMs) {
    while (NextNoiseMs <= nowMs) {
        NoiseState = NoiseState * 1664525u + 1013904223u;
        TFrame noise;
        noise.Value = uint8_t(NoiseState >> 24);
        noise.StartMs = NextNoiseMs;
        noise.EndMs = NextNoiseMs + FrameMs(10);
        noise.Lost = BreakActive;
        Frames.push_back(noise);
        NextNoiseMs += Faults.NoiseEveryMs;
    }
}

void TKLineBus::RunTo(double nowMs) {
    if (nowMs < Now)
        nowMs = Now;
    AddNoiseUpTo(nowMs);
    for (;;) {
        auto next = std::min_element(Frames.begin(), Frames.end(),
                                     [](const TFrame& a, const TFrame& b) { return a.EndMs < b.EndMs; });
        // The device's own moments come in order with the frames; one it does not move past is run once.
        const double deviceMs = Device.NextEventMs();
        if (deviceMs <= nowMs && deviceMs >= Now && (next == Frames.end() || deviceMs < next->EndMs)) {
            Device.AdvanceTo(deviceMs);
            Now = deviceMs;
            if (Device.NextEventMs() > deviceMs)
                continue;
        }
        if (next == Frames.end() || next->EndMs > nowMs)
            break;
        TFrame frame = *next;
        Frames.erase(next);
        Device.AdvanceTo(frame.EndMs);
        Now = std::max(Now, frame.EndMs);
        if (frame.Lost)
            continue;
        switch (frame.Kind) {
        case TFrameKind::Adapter:
            if (Faults.ShortToGround) {
                RxPending.push_back({0x00, frame.EndMs});
                break;
            }
            if (!Faults.NoEcho)
                PassEcho(frame);
            if (!Faults.NoUnit)
                Device.OnFrame(frame.Value, frame.NinthBit, frame.Baud, frame.EndMs);
            break;
        case TFrameKind::Unit:
            if (DetectingBaud) {
                Baud = frame.Baud;
                DetectingBaud = false;
            }
            // Read at another baud rate the byte arrives garbled.
            RxPending.push_back(
                {SameBaud(Baud, frame.Baud) ? frame.Value : uint8_t(frame.Value ^ 0xA5), frame.EndMs});
            break;
        case TFrameKind::LineOnly:
            RxPending.push_back({frame.Value, frame.EndMs});
            break;
        }
    }
    Device.AdvanceTo(nowMs);
    Now = nowMs;
}

void TKLineBus::PassEcho(const TFrame& frame) {
    ++Echoes;
    auto due = [&](uint32_t every) { return every != 0 && Echoes % every == 0; };
    if (due(Faults.LateByteBeforeEchoEvery))
        RxPending.push_back({uint8_t(~frame.Value), frame.EndMs});
    const uint8_t sent = uint8_t(frame.Value & ~Faults.EchoLostBits);
    const uint8_t echo = due(Faults.CorruptEchoEvery) ? uint8_t(sent ^ 0x01) : sent;
    RxPending.push_back({echo, frame.EndMs});
}

void TKLineBus::AdvanceTo(double nowMs) {
    RunTo(nowMs);
}

std::vector<TRxByte> TKLineBus::Receive(double nowMs) {
    RunTo(nowMs);
    std::vector<TRxByte> out;
    out.swap(RxPending);
    return out;
}

double TKLineBus::NextEventMs() const {
    double next = std::min(NextNoiseMs, Device.NextEventMs());
    for (const TFrame& frame : Frames)
        next = std::min(next, frame.EndMs);
    return next;
}

} // namespace velmora
