#include "sim/kline_hub.h"

#include <algorithm>

namespace velmora {

void TKLineHub::OnFrame(uint8_t value, bool ninthBit, int baud, double endMs) {
    for (TKLineDevice* device : Devices)
        device->OnFrame(value, ninthBit, baud, endMs);
}

void TKLineHub::OnBreak(double startMs, double endMs) {
    for (TKLineDevice* device : Devices)
        device->OnBreak(startMs, endMs);
}

void TKLineHub::AdvanceTo(double nowMs) {
    for (TKLineDevice* device : Devices)
        device->AdvanceTo(nowMs);
}

double TKLineHub::NextEventMs() const {
    double next = NeverMs;
    for (const TKLineDevice* device : Devices)
        next = std::min(next, device->NextEventMs());
    return next;
}

} // namespace velmora
