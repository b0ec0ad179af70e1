// In-process ports with a simulated adapter in front of the simulated car: "SIMELM" (an ELM327) and
// "SIMCARSOFT" (a CarSoft 7.4 interface). One thread at a time, like every port.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "links/base_port.h"
#include "sim/adapters/adapter_kind.h"
#include "sim/sim_car.h"

namespace velmora {

// Port numbers of the kinds, below the "SIM" port's 97.
constexpr int SimElmPortNumber = 96;
constexpr int SimCarSoftPortNumber = 95;

// "SIMELM" and "SIMCARSOFT" serve the built-in "hfm" unit, "SIMELM:<unit>" a built-in unit or a profile
// file. Like the port "SIM", reads that would wait sleep through Clock(), so they run under the real clock
// and a TManualClock alike. The adapter keeps its state (an ELM327 in KKL mode stays so) for the life of
// the port object.
class TSimAdapterPort : public TBasePort {
public:
    TSimAdapterPort(TSimAdapterKind kind, std::string name);
    ~TSimAdapterPort() override;

    bool Open(bool ShowErrors, int Baud) override;
    bool IsOpen() override { return Opened; }
    int InQueue() override;
    void Close() override { Opened = false; }
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

private:
    // Milliseconds on the car's timeline (0 at the first Open).
    double NowMs() const;
    // Moves what reached the PC into the input queue.
    void Pump();
    int Take(uint8_t* data, int count);

    TSimAdapterKind Kind;
    std::string Name;
    std::unique_ptr<TSimCar> SimCar;
    std::unique_ptr<TSimAdapter> SimAdapter;
    bool Opened = false;
    double OriginMs = 0;
    uint8_t ParityCode = ParityNone;
    int ReadInterval = 0, ReadMultiplier = 0, ReadConstant = 0;
    std::deque<uint8_t> Input;
    double LastArrivalMs = 0;
};

// Registers "SIMELM" and "SIMCARSOFT" with the port factory; the programs call it once at start.
void RegisterSimAdapterPorts();

} // namespace velmora
