// A simulated car that outlives the port objects the line functions create and free: the port kind
// "LINERIG" forwards every call to the rig's one TSimPort, so a test can look at the car (its line, its
// unit's memory) after the function has freed its port. Virtual time and a recording host.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host_recorder.h"
#include "line_tests/line_port.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/sim_port.h"

namespace velmora::testing {

// Forwards to a port that lives elsewhere; a break fails as a broken driver would while `failBreak` is set,
// releasing the line takes `releaseLagUs` of the clock, as a slow driver call would, and while `dropZeros`
// is set the zero bytes never arrive, as with a UART that drops bytes with a framing error (a pulse on the
// line then leaves a single byte). `waiting` bytes are in the driver's queue when the port opens, before any
// byte the target receives. A ReadBuf hands over at most `mostPerRead` bytes (when not 0), as a driver that
// passes on what came in small packets.
class TForwardPort : public TBasePort {
public:
    TForwardPort(TBasePort& target, const bool& failBreak, const int64_t& releaseLagUs, const bool& dropZeros,
                 const std::vector<uint8_t>& waiting, const int& mostPerRead, TManualClock& clock)
        : Target(target), FailBreak(failBreak), ReleaseLagUs(releaseLagUs), DropZeros(dropZeros),
          MostPerRead(mostPerRead), ManualClock(clock), Kept(waiting.begin(), waiting.end()) {}
    bool Open(bool showErrors, int baud) override { return Target.Open(showErrors, baud); }
    bool IsOpen() override { return Target.IsOpen(); }
    int InQueue() override {
        if (!DropZeros)
            return int(Kept.size()) + Target.InQueue();
        uint8_t byte = 0;
        while (Target.InQueue() > 0 && Target.ReadByte(byte))
            if (byte != 0)
                Kept.push_back(byte);
        return int(Kept.size());
    }
    void Close() override { Target.Close(); }
    void SetParams(int baud, uint8_t parity, uint8_t stopBits) override {
        Target.SetParams(baud, parity, stopBits);
    }
    void SetRTS(bool on) override { Target.SetRTS(on); }
    void SetParity(uint8_t parity) override { Target.SetParity(parity); }
    bool ReadByte(uint8_t& value) override {
        if (DropZeros)
            InQueue();
        if (Kept.empty())
            return !DropZeros && Target.ReadByte(value);
        value = Kept.front();
        Kept.pop_front();
        return true;
    }
    int ReadBuf(TPortBuffer& whole) override {
        TPortBuffer buffer = whole;
        if (MostPerRead > 0)
            buffer.Size = std::min(buffer.Size, MostPerRead);
        if (DropZeros)
            InQueue();
        TakeKept(buffer, buffer.Size);
        if (!DropZeros && buffer.Data && buffer.Count < buffer.Size) {
            TPortBuffer rest{buffer.Data + buffer.Count, 0, 0, buffer.Size - buffer.Count};
            buffer.Count += Target.ReadBuf(rest);
        }
        whole.Count = buffer.Count;
        return whole.Count;
    }
    int ReadBufEx(TPortBuffer& buffer, int count) override {
        if (Kept.empty() && !DropZeros)
            return Target.ReadBufEx(buffer, count);
        if (DropZeros)
            InQueue();
        TakeKept(buffer, count);
        if (!DropZeros && buffer.Data && buffer.Count < std::min(count, buffer.Size)) {
            TPortBuffer rest{buffer.Data + buffer.Count, 0, 0, buffer.Size - buffer.Count};
            buffer.Count += Target.ReadBufEx(rest, count - buffer.Count);
        }
        return buffer.Count;
    }
    bool WriteBuf(TPortBuffer buffer) override { return Target.WriteBuf(buffer); }
    bool WriteByte(uint8_t value) override { return Target.WriteByte(value); }
    bool WritePortEx(const uint8_t* data, int length) override { return Target.WritePortEx(data, length); }
    void SetCommBreak() override {
        if (FailBreak)
            throw PortException("Порт LINERIG: сбой драйвера");
        Target.SetCommBreak();
    }
    void ClearCommBreak() override {
        Target.ClearCommBreak();
        ManualClock.AdvanceMicros(ReleaseLagUs);
    }
    void SetTimeouts(int a, int b, int c, int d, int e) override { Target.SetTimeouts(a, b, c, d, e); }

private:
    // Moves up to `count` queued bytes into `buffer`.
    void TakeKept(TPortBuffer& buffer, int count) {
        buffer.Count = 0;
        while (!Kept.empty() && buffer.Data && buffer.Count < std::min(count, buffer.Size)) {
            buffer.Data[buffer.Count++] = Kept.front();
            Kept.pop_front();
        }
    }

    TBasePort& Target;
    const bool& FailBreak;
    const int64_t& ReleaseLagUs;
    const bool& DropZeros;
    const int& MostPerRead;
    TManualClock& ManualClock;
    std::deque<uint8_t> Kept; // waiting bytes, and those taken from the target while dropping zeros
};

class TLineRig {
public:
    static constexpr const char* PortName = "LINERIG";

    // `simName` as the simulated ports take it ("SIM:cable", "SIMCARSOFT:hfm", "SIMELM:hfm").
    explicit TLineRig(const std::string& simName) : Scoped(ManualClock) {
        const std::string prefix = simName.substr(0, simName.find(':'));
        TSimAdapterKind kind = TSimAdapterKind::Kkl;
        for (const TSimAdapterInfo& info : SimAdapterKinds())
            if (prefix == info.PortPrefix)
                kind = info.Kind;
        Sim = std::make_unique<TSimPort>(simName, kind);
        Current() = this;
        static const bool registered = [] {
            RegisterPortKind(PortName, 80, "line function rig", [](std::string_view) {
                TLineRig& rig = *Current();
                return std::make_unique<TForwardPort>(*rig.Sim, rig.FailBreak, rig.ReleaseLagUs,
                                                      rig.DropZeros, rig.Waiting, rig.MostPerRead,
                                                      rig.ManualClock);
            });
            return true;
        }();
        (void)registered;
    }
    ~TLineRig() {
        FreePort();
        Current() = nullptr;
    }

    TLineRequest Request(char adapter = 'K') const { return {PortName, adapter, false}; }
    TSimCar& Car() { return *Sim->Car(); }
    // The lengths (ms) of the times the line was held low, rounded to whole ms.
    std::vector<int> LowTimes() {
        std::vector<int> lengths;
        for (const TLineLow& low : Car().Bus().LowTimes())
            lengths.push_back(int(low.LengthMs() + 0.5));
        return lengths;
    }
    bool Logged(std::string_view line) const {
        for (const std::string& l : Host.Logs())
            if (l == line)
                return true;
        return false;
    }

    TManualClock ManualClock;
    TScopedClock Scoped;
    THostRecorder Host;
    std::unique_ptr<TSimPort> Sim;
    bool FailBreak = false;
    int64_t ReleaseLagUs = 0;
    bool DropZeros = false;
    std::vector<uint8_t> Waiting; // in the queue of each port opened
    int MostPerRead = 0;          // a ReadBuf hands over at most this many bytes (0: all there are)

private:
    static TLineRig*& Current() {
        static TLineRig* rig = nullptr;
        return rig;
    }
};

} // namespace velmora::testing
