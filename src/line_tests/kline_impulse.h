// The K-line impulse of the function menu: the line held low (serial break) for a few seconds, which
// some units take as a reset or a slow-code request. One thread at a time, while no engine connection
// runs; the hold blocks the calling thread, in short slices, so that a stop ends it soon.
#pragma once

#include <atomic>
#include <cstdint>

#include "line_tests/line_port.h"

namespace velmora {

// The holds the menu offers, ms.
constexpr uint32_t ImpulseMenuMs[] = {4000, 6000, 8000};

// Opens the port, holds the line low for `ms`, frees the port and logs each step. Refused (in the log)
// while a session runs, for an ELM327 and while another job holds the line. `stop` ends the hold at its
// next slice (the line is released and the stop logged). True when the whole impulse was given.
bool KLineImpulse(const TLineRequest& request, uint32_t ms, const std::atomic<bool>& stop);

} // namespace velmora
