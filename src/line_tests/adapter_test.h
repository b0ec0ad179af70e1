// The adapter test of the function menu: a loop-back test of a K-line cable (every byte value sent must
// come back once, unchanged, as the cable's echo) or, for a CarSoft 7.4 interface, its identification
// check. Results go to the log. One thread at a time, while no engine connection runs.
#pragma once

#include <atomic>

#include "line_tests/line_port.h"

namespace velmora {

// Bytes the echo test sends: every byte value once.
constexpr int EchoTestBytes = 256;

// The echo test, or with `isCarSoft` the CarSoft check (CheckCarSoft). Refused with a warning box when no
// port is chosen (the name holds "?"), and in the log for an ELM327 or while a session runs. True for the
// sound verdict. `stop` ends the CarSoft check at its next poll.
bool TestAdapter(const TLineRequest& request, bool isCarSoft, const std::atomic<bool>* stop = nullptr);

} // namespace velmora
