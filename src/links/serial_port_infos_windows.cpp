// The serial ports on Windows: the COMn names among the system's DOS device names, each with the
// device it stands for ("\Device\Serial0", "\Device\VCP0").
#include "links/serial_port_infos.h"

#include <algorithm>
#include <cctype>

#include "lang/translated_format.h"
#include "links/com_low_level.h"
#include "platform/windows_text.h"

#include <windows.h>

namespace velmora {

namespace {

// The number of "COM<digits>", or 0.
int ComNumberOf(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || !name.starts_with("COM"))
        return 0;
    if (!std::all_of(name.begin() + 3, name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return 0;
    return std::stoi(name.substr(3));
}

// Every DOS device name of the system, one after another, each ended by a zero.
std::vector<wchar_t> DosDeviceNames() {
    std::vector<wchar_t> names(65536);
    while (QueryDosDeviceW(nullptr, names.data(), DWORD(names.size())) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() > (1u << 24))
            return {};
        names.resize(names.size() * 2);
    }
    return names;
}

} // namespace

std::vector<TPortInfo> SerialPortInfos(bool withUnusable, bool portOpen) {
    std::vector<std::pair<int, TPortInfo>> found;
    const std::string openDevice = portOpen ? ComDevice() : std::string();
    const std::vector<wchar_t> names = DosDeviceNames();
    for (const wchar_t* name = names.data(); !names.empty() && *name; name += wcslen(name) + 1) {
        const std::string comName = NarrowToUtf8(name);
        const int number = ComNumberOf(comName);
        if (number == 0 || number > 999)
            continue;
        wchar_t target[1024] = {};
        QueryDosDeviceW(name, target, DWORD(std::size(target)));
        TPortInfo info{comName, NarrowToUtf8(target), ""};
        const std::wstring device = L"\\\\.\\" + std::wstring(name);
        const bool ours = "\\\\.\\" + comName == openDevice;
        if (!ours) {
            HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
            } else if (withUnusable && GetLastError() == ERROR_ACCESS_DENIED) {
                info.Problem = TranslateFormat(
                    "%s: порт занят другой программой; закройте её и попробуйте снова", comName.c_str());
            } else {
                continue;
            }
        }
        found.emplace_back(number, std::move(info));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TPortInfo> infos;
    for (auto& [number, info] : found)
        infos.push_back(std::move(info));
    return infos;
}

} // namespace velmora
