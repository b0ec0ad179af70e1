// The simulated CarSoft 7.4 interface: its command bytes (the identification exchange among them, table
// in docs/velmora-sim.md) or a plain K-line cable on the car's bus. One thread at a time.
#pragma once

#include <string_view>

#include "sim/adapters/kkl_cable.h"
#include "sim/adapters/sim_adapter.h"

namespace velmora {

constexpr int CarSoftBaud = 19200;

// While the PC's line runs at 19200 baud with RTS off, the microcontroller answers command bytes without
// echo; otherwise the K-line passes through.
class TCarSoftFirmware : public TSimAdapter {
public:
    explicit TCarSoftFirmware(TKLineBus& bus) : Cable(bus) {}

    void HostLine(int baud, uint8_t parity, uint8_t stopBits, double atMs) override;
    void HostRts(bool on, double atMs) override;
    void HostBreak(bool on, double atMs) override;
    void HostByte(uint8_t value, double atMs) override;
    std::vector<TRxByte> Output(double nowMs) override;
    double NextOutputMs() const override;
    bool PassThrough() const override { return !CommandMode(); }

private:
    struct TCommand {
        uint8_t Byte;
        std::string_view Answer; // what the interface sends back (empty: nothing)
        double DelayMs;          // from the end of the command byte to the first answer byte
    };
    static const TCommand Commands[];

    bool CommandMode() const { return BaudMatches(HostBaud, CarSoftBaud) && !Rts; }

    TKklCable Cable;
    TUartOutput Uart{CarSoftBaud};
    int HostBaud = 9600;
    uint8_t HostParity = 0;
    uint8_t HostStopBits = 0;
    bool Rts = false;
    double InputFree = 0;
};

} // namespace velmora
