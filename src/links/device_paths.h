// Device paths as port names (/dev/ttyUSB0, /dev/pts/3, /dev/rfcomm0): each path gets a COM port number
// of its own, from 1000 up, so that callers which carry port numbers can carry it and get the path back.
// Also the device a COM number opens. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Above "COM999", the largest name of three digits.
constexpr int FirstDevicePathNumber = 1000;

// Whether a port name is a device path (an absolute path).
bool IsDevicePathName(std::string_view name);
// The number of a device path, given out on first use and kept for the life of the process.
int DevicePathNumber(std::string_view path);
// The path behind a number from DevicePathNumber, or "".
std::string DevicePathOfNumber(int number);
// The device that COM number `number` opens: COMn is /dev/ttyS(n-1) on Linux and \\.\COMn on Windows,
// a device-path number its path; "" for numbers that name no device (0 and below).
std::string ComDevicePath(int number);

} // namespace velmora
