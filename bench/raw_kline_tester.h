// The pace an ideal tester reaches through the simulator's pseudo-terminal: raw system calls and nothing
// between an answer and the next byte. Its time per request pair, next to the line limit, tells what the
// pseudo-terminal and the simulator cost on this machine from what the tool itself costs. Kept apart
// because <asm/termbits.h> cannot share a file with <termios.h>. One thread.
#pragma once

#include <string>

namespace velmora {

// Wakes the unit behind the pseudo-terminal at `path` (space parity, 0xAA after 400 ms of silence, which
// the server takes for break and wake byte) and times `pairs` request pairs (command 8N1, parameter with
// space parity). The median milliseconds per pair, or a negative value with `error` set.
double RawPairMedianMs(const std::string& path, unsigned char command, unsigned char param, int pairs,
                       std::string& error);

} // namespace velmora
