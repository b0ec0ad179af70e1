// A simulated car that outlives the port objects the line functions create and free: the port kind
// "LINERIG" forwards every call to the rig's one TSimPort, so a test can look at the car (its line, its
// unit's memory) after the function has freed its port. Virtual time and a recording host.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "host_recorder.h"
#include "line_tests/line_port.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/sim_port.h"

namespace velmora::testing {

// Forwards to a port that lives elsewhere; a break fails as a broken driver would while `failBreak` is set,
// releasing the line takes `releaseLagUs` of the clock, as a slow driver call would, and while `dropZeros`
// is set the zero bytes never arrive, as with a UART that drops bytes with a framing error (a pulse on the
// line then leaves a single byte).
class TForwardPort : public TBasePort {
public:
    TForwardPort(TBasePort& target, const bool& failBreak, const int64_t& releaseLagUs, const bool& dropZeros,
                 TManualClock& clock)
        : Target(target), FailBreak(failBreak), ReleaseLagUs(releaseLagUs), DropZeros(dropZeros),
          ManualClock(clock) {}
    bool Open(bool showErrors, int baud) override { return Target.Open(showErrors, baud); }
    bool IsOpen() override { return Target.IsOpen(); }
    int InQueue() override {
        if (!DropZeros)
            return Target.InQueue();
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
    bool ReadByte(uint8_t& value) override { return Target.ReadByte(value); }
    int ReadBuf(TPortBuffer& buffer) override {
        if (!DropZeros)
            return Target.ReadBuf(buffer);
        InQueue();
        buffer.Count = 0;
        while (!Kept.empty() && buffer.Data && buffer.Count < buffer.Size) {
            buffer.Data[buffer.Count++] = Kept.front();
            Kept.pop_front();
        }
        return buffer.Count;
    }
    int ReadBufEx(TPortBuffer& buffer, int count) override { return Target.ReadBufEx(buffer, count); }
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
    TBasePort& Target;
    const bool& FailBreak;
    const int64_t& ReleaseLagUs;
    const bool& DropZeros;
    TManualClock& ManualClock;
    std::deque<uint8_t> Kept; // bytes taken from the target while dropping zeros, not yet read
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
                                                      rig.DropZeros, rig.ManualClock);
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

private:
    static TLineRig*& Current() {
        static TLineRig* rig = nullptr;
        return rig;
    }
};

} // namespace velmora::testing
