// The device of a COM number on Windows: COMn is "\\.\COMn", the form that also reaches COM10 and up.
#include "links/device_paths.h"

namespace velmora {

std::string ComDevicePath(int number) {
    if (number >= FirstDevicePathNumber)
        return DevicePathOfNumber(number);
    if (number >= 1)
        return "\\\\.\\COM" + std::to_string(number);
    return {};
}

} // namespace velmora
