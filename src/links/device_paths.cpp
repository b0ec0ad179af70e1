#include "links/device_paths.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace velmora {

namespace {

std::mutex pathLock;
std::vector<std::string> paths; // number FirstDevicePathNumber + index

} // namespace

bool IsDevicePathName(std::string_view name) {
    return name.size() > 1 && name.front() == '/';
}

int DevicePathNumber(std::string_view path) {
    std::lock_guard guard(pathLock);
    auto found = std::find(paths.begin(), paths.end(), path);
    if (found == paths.end())
        found = paths.emplace(paths.end(), path);
    return FirstDevicePathNumber + int(found - paths.begin());
}

std::string DevicePathOfNumber(int number) {
    std::lock_guard guard(pathLock);
    size_t index = size_t(number) - FirstDevicePathNumber;
    if (number < FirstDevicePathNumber || index >= paths.size())
        return {};
    return paths[index];
}

} // namespace velmora
