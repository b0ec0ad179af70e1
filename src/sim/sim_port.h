// The port "SIM": a plain KKL cable on the simulated K-line, in-process. "SIM" is an HFM Bosch unit,
// "SIM:<unit>" a built-in unit (hfm, pms, lh, ez, ...), "SIM:<file>" a profile file. Reads that would
// wait sleep through Clock(), so under a TManualClock a whole session runs in virtual time. The unit's
// model advances lazily, on each port call. One thread at a time, like every port.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "links/base_port.h"
#include "sim/sim_car.h"

namespace velmora {

class TSimPort : public TBasePort {
public:
    explicit TSimPort(std::string name = "SIM");
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

    // The car behind the port (nullptr before the first successful Open).
    TSimCar* Car() { return SimCar.get(); }
    // Milliseconds on the car's timeline (0 at the first Open).
    double NowMs() const;

private:
    TKLineBus& Line();
    // Moves what reached the receiver into the input queue; throws PortException once the adapter has gone.
    void Pump();

    std::string Name;
    std::unique_ptr<TSimCar> SimCar;
    bool Opened = false;
    bool Vanished = false;
    double OriginMs = 0;
    uint8_t ParityCode = 0;
    uint8_t StopBitsCode = 0;
    int ReadInterval = 0, ReadMultiplier = 0, ReadConstant = 0;
    std::deque<uint8_t> Input;
    double LastArrivalMs = 0;
};

// Registers the kind "SIM" with the port factory; the programs call it once at start.
void RegisterSimPorts();

} // namespace velmora
