// The velmora-sim server on Windows has no pseudo-terminal: it serves TCP only, and a Windows tester
// reaches a serial line served by the Linux build (through Wine's COM port mapping or a null-modem cable).
#include "sim/adapters/sim_server.h"
#include "sim/adapters/sim_server_stream.h"

namespace velmora {

void SharpenWakeups() {} // WSAPoll counts whole milliseconds; there is nothing finer to ask for

bool TSimServer::CanServePty(std::string& error) {
    error = "no pseudo-terminal on Windows: serve with --tcp ADDRESS:PORT (the serial line is served by "
            "the Linux build)";
    return false;
}

bool TSimServer::OpenPtyLine(std::string& error) {
    return CanServePty(error);
}

void TSimServer::ServePty() {}

void TSimServer::ClosePtyLine() {}

} // namespace velmora
