// A plain KKL cable on the simulated K-line: the PC's UART drives the wire directly, so bytes, parity,
// breaks and the wire's echo pass unchanged. The pass-through mode of the simulated ELM327 and CarSoft
// interfaces, and the cable the velmora-sim server puts on a pseudo-terminal. One thread at a time.
#pragma once

#include "sim/adapters/sim_adapter.h"

namespace velmora {

class TKklCable : public TSimAdapter {
public:
    explicit TKklCable(TKLineBus& bus) : Bus(bus) {}

    void HostLine(int baud, uint8_t parity, uint8_t stopBits, double atMs) override;
    void HostRts(bool, double) override {}
    void HostBreak(bool on, double atMs) override;
    void HostByte(uint8_t value, double atMs) override;
    std::vector<TRxByte> Output(double nowMs) override;
    double NextOutputMs() const override { return Bus.NextEventMs(); }
    bool PassThrough() const override { return true; }

private:
    // The bus never runs backwards: a call stamped before its last event happens at that event.
    double NotBefore(double atMs) const;

    TKLineBus& Bus;
};

} // namespace velmora
