#include "sim/adapters/sim_adapter.h"

#include <algorithm>

namespace velmora {

double TUartOutput::Put(uint8_t value, double atMs) {
    Free = std::max(atMs, Free) + CharMs(Baud);
    Queue.push_back({value, Free});
    return Free;
}

std::vector<TRxByte> TUartOutput::Take(double nowMs) {
    std::vector<TRxByte> out;
    while (!Queue.empty() && Queue.front().TimeMs <= nowMs) {
        out.push_back(Queue.front());
        Queue.pop_front();
    }
    return out;
}

} // namespace velmora
