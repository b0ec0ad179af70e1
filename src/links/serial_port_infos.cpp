// The serial ports on Linux: the devices sysfs lists, by their COM name, stable name or path.
#include "links/serial_port_infos.h"

#include <cstdio>

#include "links/com_low_level.h"
#include "links/device_paths.h"
#include "links/serial_device.h"
#include "links/serial_listing.h"

namespace velmora {

namespace {

// The source of the port list's serial devices (window thread, like the list); empty: the machine's.
std::function<std::vector<TSerialDevice>()> serialLister;

} // namespace

void SetSerialLister(std::function<std::vector<TSerialDevice>()> lister) {
    serialLister = std::move(lister);
}

std::vector<TPortInfo> SerialPortInfos(bool withUnusable, bool portOpen) {
    std::vector<TPortInfo> infos;
    std::string openDevice = ComDevice();
    for (const TSerialDevice& device : serialLister ? serialLister() : ListSerialDevices()) {
        bool ours = portOpen && (device.Path == openDevice || device.StableName == openDevice);
        std::string problem;
        TOpenFault fault = TOpenFault::Other;
        if (!ours && !ProbeSerialDevice(device.Path, &problem, &fault)) {
            // Ports that are there but locked away are shown with the reason; absent ones are not.
            if (!withUnusable || (fault != TOpenFault::NoPermission && fault != TOpenFault::Busy))
                continue;
        } else {
            problem.clear();
        }
        int comNumber = 0;
        if (std::sscanf(device.Path.c_str(), "/dev/ttyS%d", &comNumber) == 1 &&
            device.Path == ComDevicePath(comNumber + 1) && comNumber + 1 <= 999)
            infos.push_back(
                {"COM" + std::to_string(comNumber + 1), device.Description + ", " + device.Path, problem});
        else if (!device.StableName.empty())
            infos.push_back({device.StableName, device.Description + ", " + device.Path, problem});
        else
            infos.push_back({device.Path, device.Description, problem});
    }
    return infos;
}

} // namespace velmora
