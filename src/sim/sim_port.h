// The in-process ports of the simulated car: "SIM" (a plain KKL cable), "SIMELM" (an ELM327) and
// "SIMCARSOFT" (a CarSoft 7.4 interface), each alone for the built-in hfm unit or as "<kind>:<unit>" for a
// built-in unit (hfm, pms, lh, ez, ...) or a profile file. One thread at a time, like every port.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "links/base_port.h"
#include "sim/adapters/adapter_kind.h"
#include "sim/adapters/sim_adapter.h"
#include "sim/sim_car.h"

namespace velmora {

// The car and the adapter behind a port, with the start of their timeline. Made at the port's first Open;
// a bench shared by the ports of one name keeps the car's state (erased faults, adaptation, coding, an
// ELM327 in KKL mode) from one connection to the next, as a car in the workshop does.
struct TSimBench {
    std::unique_ptr<TSimCar> Car;
    std::unique_ptr<TSimAdapter> Adapter;
    double OriginMs = 0; // Clock().PerfMs() at the first Open
    bool Vanished = false;
};

// Reads that would wait sleep through Clock(), so under a TManualClock a whole session runs in virtual
// time; the car advances lazily, on each port call. The car and the adapter live as long as the bench:
// closing and opening again keeps their state.
class TSimPort : public TBasePort {
public:
    // `name` is the whole port name ("SIM:pms"); `kind` the adapter between the PC and the car; `bench`
    // the car to plug into (nullptr: a car of this port's own).
    explicit TSimPort(std::string name = "SIM", TSimAdapterKind kind = TSimAdapterKind::Kkl,
                      std::shared_ptr<TSimBench> bench = nullptr);
    ~TSimPort() override;

    bool Open(bool ShowErrors, int Baud) override;
    bool IsOpen() override;
    int InQueue() override;
    void Close() override;
    void SetParams(int Baud, uint8_t Parity, uint8_t StopBits) override;
    void SetRTS(bool On) override;
    void SetParity(uint8_t Parity) override;
    bool ReadByte(uint8_t& Value) override;
    int ReadBuf(TPortBuffer& Buffer) override;
    int ReadBufEx(TPortBuffer& Buffer, int Count) override;
    bool WriteBuf(TPortBuffer Buffer) override;
    bool WriteByte(uint8_t Value) override;
    bool WritePortEx(const uint8_t* Data, int Length) override;
    void SetCommBreak() override;
    void ClearCommBreak() override;
    void SetTimeouts(int ReadInterval, int ReadTotalMultiplier, int ReadTotalConstant,
                     int WriteTotalMultiplier, int WriteTotalConstant) override;
    // Sleeps to the moment the adapter's next byte reaches the PC (to the microsecond), or `maxMs`.
    bool WaitInput(uint32_t maxMs) override;

    // The car behind the port (nullptr before the first successful Open).
    TSimCar* Car() { return Bench->Car.get(); }
    // Milliseconds on the car's timeline (0 at the first Open).
    double NowMs() const;

private:
    // Sleeps from `nowMs` to `wakeMs` on Clock(), to the microsecond.
    static void SleepUntil(double nowMs, double wakeMs);
    // Moves what reached the PC into the input queue; throws PortException once the adapter has gone.
    void Pump();
    int Take(uint8_t* data, int count);

    TSimAdapterKind Kind;
    std::string Name;
    std::shared_ptr<TSimBench> Bench;
    bool Opened = false;
    uint8_t ParityCode = ParityNone;
    uint8_t StopBitsCode = OneStopBit;
    int ReadInterval = 0, ReadMultiplier = 0, ReadConstant = 0;
    std::deque<uint8_t> Input;
    double LastArrivalMs = 0;
};

// How long a simulated car lives: as long as each port object (every connection meets a new car), or as
// long as the program (one car per port name, so what a connection changed is there at the next).
enum class TSimCarLifetime { PerPort, Program };

// Registers every kind ("SIM" 97, "SIMELM" 96, "SIMCARSOFT" 95) with the port factory; the programs call
// it once at start. Registering again replaces the lifetime and forgets the cars kept so far.
void RegisterSimPorts(TSimCarLifetime lifetime = TSimCarLifetime::PerPort);

} // namespace velmora
