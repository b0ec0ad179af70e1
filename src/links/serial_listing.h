// The serial devices present on this machine, with their stable names (/dev/serial/by-id/...) and a
// description for the user (USB maker, product and VID:PID, "Bluetooth"), for the port list. Window thread;
// it may take a moment (sysfs, USB strings).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

struct TSerialDevice {
    std::string Path;        // /dev/ttyUSB0
    std::string Description; // "FTDI FT232R USB UART (0403:6001)"
    std::string StableName;  // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0, or ""
};

// The by-id links of `byIdFolder` (normally /dev/serial/by-id) and the devices they lead to: the
// stable name of each device path, for devices that have one.
std::vector<std::pair<std::string, std::string>> StableNames(const std::string& byIdFolder);

// Sorted by path; built-in ports (/dev/ttyS*) by their number.
std::vector<TSerialDevice> ListSerialDevices();

// Where the port list finds the serial devices: ListSerialDevices, unless a test lists devices of its own
// (a pseudo-terminal standing for a USB adapter); an empty function restores the machine's listing.
void SetSerialLister(std::function<std::vector<TSerialDevice>()> lister);

} // namespace velmora
