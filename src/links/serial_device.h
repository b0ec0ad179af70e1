// Opening a serial device on Linux the way the COM port needs it: read and write, exclusive (TIOCEXCL
// and an flock, so a second program or a second open fails), not as controlling terminal, and
// non-blocking, since every wait is done with poll(). Any thread, each on its own fd.
#pragma once

#include <functional>
#include <string>

namespace velmora {

// The open fd, or -1 and a text for the user in `error` ("/dev/null: not a serial device").
int OpenSerialDevice(const std::string& path, std::string& error);
// Closes an fd from OpenSerialDevice.
void CloseSerialDevice(int fd);
// Whether the device opens now; opens and closes it without touching its settings.
bool ProbeSerialDevice(const std::string& path);
// Drives DTR and RTS. Result 0 or errno; a device without modem lines (a pseudo-terminal) is no error.
int SetModemLines(int fd, bool dtr, bool rts);

// Sees every DTR/RTS setting on its way to the device, since a device without modem lines cannot show
// them afterwards (tests). An empty function: none. Set it while no port is in use.
using TModemLineObserver = std::function<void(bool dtr, bool rts)>;
void SetModemLineObserver(TModemLineObserver observer);

} // namespace velmora
