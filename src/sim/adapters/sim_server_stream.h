// Inside the velmora-sim server: the byte stream it serves (a TCP client, or the pseudo-terminal on
// Linux), and the system's part of the timing. The server's thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/adapters/blind_line.h"

namespace velmora {

class TServedStream {
public:
    virtual ~TServedStream() = default;
    // Hands bytes towards the PC; false when the stream has ended.
    virtual bool Send(const std::vector<uint8_t>& bytes) = 0;
    // Waits at most `ms` for input; true when some came (or the stream ended).
    virtual bool WaitInput(double ms) = 0;
    // Takes what is waiting: the count (0: nothing), or -1 when the stream has ended.
    virtual int Receive(uint8_t* data, int size) = 0;
    // The line settings the PC's side holds now; a TCP client has none.
    virtual TSeenLine SeenLine() { return {}; }
};

// Asks the system to wake this thread as close to the moment asked for as it can.
void SharpenWakeups();

} // namespace velmora
