// The serial devices present on this machine, with a description for the user (USB product and
// VID:PID, "Bluetooth"), for the port list. Window thread; it may take a moment (sysfs, USB strings).
#pragma once

#include <string>
#include <vector>

namespace velmora {

struct TSerialDevice {
    std::string Path;        // /dev/ttyUSB0
    std::string Description; // "FT232R USB UART (0403:6001)"
};

// Sorted by path; built-in ports (/dev/ttyS*) by their number.
std::vector<TSerialDevice> ListSerialDevices();

} // namespace velmora
