// The pseudo-terminal the velmora-sim server listens on: created raw, with the line settings the PC's
// side has set read back through the master. Kept apart because <asm/termbits.h> (speeds of any value,
// such as 10400 baud) cannot share a file with <termios.h>. Any thread, each on its own descriptors.
#pragma once

#include <string>

#include "sim/adapters/blind_line.h"

namespace velmora {

struct TPty {
    int Master = -1;
    int Slave = -1; // held open by the server, so that the master survives the PC closing its side
    std::string Path;
};

// Opens a pseudo-terminal pair (raw, 9600 8N1), both ends non-blocking. False with `error` on failure.
bool OpenPty(TPty& pty, std::string& error);
void ClosePty(TPty& pty);
// The line settings the PC's side holds now: baud rate and mark/space parity (the pseudo-terminal drops
// the parity-enable flag but keeps CMSPAR and PARODD).
TSeenLine ReadPtyLine(int master);

} // namespace velmora
