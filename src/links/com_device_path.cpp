// The device of a COM number on Linux: COMn is the built-in serial port /dev/ttyS(n-1).
#include "links/device_paths.h"

namespace velmora {

std::string ComDevicePath(int number) {
    if (number >= FirstDevicePathNumber)
        return DevicePathOfNumber(number);
    if (number >= 1)
        return "/dev/ttyS" + std::to_string(number - 1);
    return {};
}

} // namespace velmora
