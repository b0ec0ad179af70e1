#include "sim/adapters/kkl_cable.h"

#include <algorithm>

namespace velmora {

double TKklCable::NotBefore(double atMs) const {
    return std::max(atMs, Bus.NowMs());
}

void TKklCable::HostLine(int baud, uint8_t parity, uint8_t stopBits, double /*atMs*/) {
    // Not run up to atMs first: a break recognised after the fact (TBlindLine) must still fit before it.
    Bus.SetLine(baud, parity, stopBits);
}

void TKklCable::HostBreak(bool on, double atMs) {
    Bus.SetBreak(on, NotBefore(atMs));
}

void TKklCable::HostByte(uint8_t value, double atMs) {
    Bus.Send(value, NotBefore(atMs));
}

std::vector<TRxByte> TKklCable::Output(double nowMs) {
    return Bus.Receive(NotBefore(nowMs));
}

} // namespace velmora
