// The simulated K-line seen from the adapter side: the seam on which every simulated adapter (the plain
// KKL cable, the ELM327 firmware, the CarSoft interface; in TSimPort or the velmora-sim server) drives the
// simulated engine unit. Not thread-safe: one thread drives a bus, with times that never go backwards.
//
// Timing model (all times are milliseconds on the caller's timeline, e.g. Clock().PerfMs()):
// - A frame is 1 start bit, 8 data bits, an optional parity bit and the stop bit(s), at the adapter's
//   baud rate: 10 bits (1.042 ms at 9600) for 8N1, 11 bits (1.146 ms) with parity, a bit more with a
//   longer stop. The bit after the data
//   is the frame's "ninth bit": the stop bit (1, mark) for 8N1, the parity bit with parity (0 for space).
//   Command bytes travel 8N1 (ninth bit 1), parameter and wake-up bytes with space parity (ninth bit 0).
// - A frame sent while the previous one is still on the wire queues behind it (the UART's FIFO).
// - The single wire echoes every adapter frame: it reaches the adapter's receiver when its last bit ends.
// - The unit sees a frame when its last bit ends, reacts after its reaction time (profile, ~2-8 ms) and
//   answers in 8N1 frames (ninth bit 1); the answer reaches the receiver when its stop bit ends.
// - The wire is wired-AND: frames of both sides that overlap in time are lost to the unit and reach the
//   receiver as one corrupted byte (the AND of both) when the later one ends.
// - A break holds the line low: the receiver gets one 0x00 (framing error) one frame time after the break
//   starts; frames that overlap a break are lost; the unit measures the break from its start to its end.
// - Frames sent at a baud rate the unit does not run at (it runs at 9600) are not understood by it.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace velmora {

constexpr double NeverMs = std::numeric_limits<double>::infinity();

// One byte that reached the adapter's receiver.
struct TRxByte {
    uint8_t Value = 0;
    double TimeMs = 0; // when its stop bit ended
    bool operator==(const TRxByte&) const = default;
};

// The unit's side of the wire (TSimUnit). The bus calls it in time order; the device transmits (UnitSend)
// only from OnFrame and OnBreak, at their time or later.
class TKLineDevice {
public:
    virtual ~TKLineDevice() = default;
    // A frame from the adapter, seen when its last bit ended.
    virtual void OnFrame(uint8_t value, bool ninthBit, int baud, double endMs) = 0;
    // The line was held low from startMs to endMs.
    virtual void OnBreak(double startMs, double endMs) = 0;
    // Runs the unit's own model (engine, time-outs, blink pulses) up to nowMs.
    virtual void AdvanceTo(double nowMs) = 0;
    // The next moment the device acts on its own (a module answering its 5-baud address); the bus runs
    // it to that moment in time order with the frames, so that it may transmit then. NeverMs: none.
    virtual double NextEventMs() const { return NeverMs; }
};

// Faults of the wire itself (the unit's own faults live in its profile).
struct TLineFaults {
    bool NoEcho = false;       // the cable does not return the adapter's own bytes
    uint32_t NoiseEveryMs = 0; // a noise byte reaches the receiver at this interval (0 = never)
    uint32_t NoiseSeed = 1;
    uint32_t CorruptEchoEvery = 0; // every N-th echo reaches the receiver with bit 0 flipped (0 = never)
    uint32_t LateByteBeforeEchoEvery =
        0;                      // a held-up byte (the echo inverted) comes just before every N-th echo
    uint8_t EchoLostBits = 0;   // data bits the cable's echo loses (a damaged receiver): they come back 0
    bool ShortToGround = false; // the line is held at ground: every frame reads as 0x00, nobody hears it
    bool NoUnit = false;        // a cable with no car behind it: the echo only
};

// A time the adapter held the line low (a break), as the car saw it.
struct TLineLow {
    double StartMs = 0;
    double EndMs = 0;
    double LengthMs() const { return EndMs - StartMs; }
};

class TKLineBus {
public:
    explicit TKLineBus(TKLineDevice& device, TLineFaults faults = {});

    // The adapter UART's line settings: baud rate, parity code (0 none, 1 odd, 2 even, 3 mark, 4 space) and
    // stop-bit code (0 one, 1 one and a half, 2 two; the longer stop adds to the frame time).
    void SetLine(int baud, uint8_t parity, uint8_t stopBits = 0);
    int LineBaud() const { return Baud; }
    uint8_t LineParity() const { return Parity; }

    // The adapter transmits `value` at atMs (or, when its UART is still busy, right after the previous
    // frame) with the ninth bit its line settings give. Returns the time the frame's last bit ends.
    double Send(uint8_t value, double atMs);
    // The same with an explicit ninth bit and frame length in bits (10 or 11 and more), for adapters that set
    // the bit themselves.
    double SendFrame(uint8_t value, bool ninthBit, double frameBits, double atMs);
    // Break on (line low) or off at atMs.
    void SetBreak(bool on, double atMs);
    bool BreakOn() const { return BreakActive; }
    // Every break that has ended, in order: what the car's log shows of impulses and slow-code holds.
    const std::vector<TLineLow>& LowTimes() const { return Lows; }

    // Called by the unit: transmit `value` (8N1) at atMs or after its previous frame, at the unit's baud
    // rate (the engine units run at 9600, a module may run at 10400). Ignored while a break holds the line.
    void UnitSend(uint8_t value, double atMs, int baud = 9600);
    // The adapter's receiver takes the baud rate of the next unit frame as its own (the automatic baud
    // detection an adapter runs on a module's 0x55 sync byte); SetLine ends it.
    void DetectBaud() { DetectingBaud = true; }

    // Runs the line and the unit up to nowMs.
    void AdvanceTo(double nowMs);
    // Runs up to nowMs and hands over the bytes that reached the adapter's receiver by then, in order.
    std::vector<TRxByte> Receive(double nowMs);
    // The next moment something happens on the line (a frame ends, noise arrives; NeverMs when nothing is
    // on its way): a reader waiting for bytes sleeps until then, then calls Receive again.
    double NextEventMs() const;
    // The time of the last event the bus has run to.
    double NowMs() const { return Now; }

private:
    // Adapter frames reach the unit and the receiver; unit frames the receiver; line-only frames (noise,
    // the break's framing error, the corrupted byte of a collision) only the receiver.
    enum class TFrameKind { Adapter, Unit, LineOnly };
    struct TFrame {
        uint8_t Value = 0;
        bool NinthBit = true;
        int Baud = 9600;
        double StartMs = 0;
        double EndMs = 0;
        TFrameKind Kind = TFrameKind::LineOnly;
        bool Lost = false;
    };
    double FrameMs(double bits) const;
    void Schedule(TFrame frame);
    void RunTo(double nowMs);
    void AddNoiseUpTo(double nowMs);
    // The echo of an adapter frame, with the echo faults.
    void PassEcho(const TFrame& frame);

    TKLineDevice& Device;
    TLineFaults Faults;
    int Baud = 9600;
    uint8_t Parity = 0;
    double StopBits = 1;
    double Now = 0;
    double AdapterFree = 0; // the adapter's UART is busy until then
    double UnitFree = 0;
    bool BreakActive = false;
    bool DetectingBaud = false;
    double BreakStart = 0;
    double NextNoiseMs = NeverMs;
    uint32_t NoiseState = 1;
    uint32_t Echoes = 0;            // echoes of adapter frames so far
    std::vector<TFrame> Frames;     // not yet ended
    std::vector<TRxByte> RxPending; // reached the receiver, not yet handed over
    std::vector<TLineLow> Lows;
};

} // namespace velmora
