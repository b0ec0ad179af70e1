// Several units on one simulated K-line: the engine unit and the E-GAS, EGS and SRS modules all hear the
// adapter's frames and breaks; each answers only what is meant for it. One thread at a time, like the bus.
#pragma once

#include <vector>

#include "sim/kline_bus.h"

namespace velmora {

class TKLineHub : public TKLineDevice {
public:
    // The devices are not owned; they must outlive the hub.
    void Add(TKLineDevice& device) { Devices.push_back(&device); }

    void OnFrame(uint8_t value, bool ninthBit, int baud, double endMs) override;
    void OnBreak(double startMs, double endMs) override;
    void AdvanceTo(double nowMs) override;
    double NextEventMs() const override;

private:
    std::vector<TKLineDevice*> Devices;
};

} // namespace velmora
