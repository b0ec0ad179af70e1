#include "links/serial_listing.h"
#include "platform/utf8_path.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <libserialport.h>
#include <utility>

namespace velmora {

namespace {

std::string Describe(const sp_port* port) {
    switch (sp_get_port_transport(port)) {
    case SP_TRANSPORT_USB: {
        const char* maker = sp_get_port_usb_manufacturer(port);
        const char* product = sp_get_port_usb_product(port);
        std::string text = product ? product : "USB serial";
        if (maker && *maker && text.find(maker) == std::string::npos)
            text = std::string(maker) + " " + text;
        int vid = 0, pid = 0;
        if (sp_get_port_usb_vid_pid(port, &vid, &pid) == SP_OK) {
            char ids[16];
            std::snprintf(ids, sizeof ids, " (%04X:%04X)", unsigned(vid) & 0xFFFF, unsigned(pid) & 0xFFFF);
            text += ids;
        }
        return text;
    }
    case SP_TRANSPORT_BLUETOOTH:
        return "Bluetooth";
    case SP_TRANSPORT_NATIVE:
        break;
    }
    return "Serial port";
}

// The name without its trailing digits, and the number they make: /dev/ttyS10 sorts after /dev/ttyS9.
std::pair<std::string, unsigned long> SortKey(const std::string& path) {
    size_t digits = path.find_last_not_of("0123456789") + 1;
    unsigned long number = digits < path.size() ? std::stoul(path.substr(digits, 9)) : 0;
    return {path.substr(0, digits), number};
}

bool PathOrder(const TSerialDevice& a, const TSerialDevice& b) {
    auto keyA = SortKey(a.Path);
    auto keyB = SortKey(b.Path);
    return keyA != keyB ? keyA < keyB : a.Path < b.Path;
}

} // namespace

std::vector<std::pair<std::string, std::string>> StableNames(const std::string& byIdFolder) {
    std::vector<std::pair<std::string, std::string>> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Utf8Path(byIdFolder), error)) {
        std::error_code linkError;
        const std::filesystem::path device = std::filesystem::canonical(entry.path(), linkError);
        if (!linkError)
            names.emplace_back(device.string(), entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<TSerialDevice> ListSerialDevices() {
    std::vector<TSerialDevice> devices;
    sp_port** ports = nullptr;
    if (sp_list_ports(&ports) == SP_OK) {
        for (sp_port** port = ports; *port; ++port)
            devices.push_back({sp_get_port_name(*port), Describe(*port), ""});
        sp_free_port_list(ports);
    }
    // Bound RFCOMM links have no device in sysfs that the listing would find.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        std::string path = entry.path().string();
        bool listed = std::any_of(devices.begin(), devices.end(),
                                  [&](const TSerialDevice& d) { return d.Path == path; });
        if (entry.path().filename().string().starts_with("rfcomm") && !listed)
            devices.push_back({path, "Bluetooth", ""});
    }
    for (const auto& [device, stable] : StableNames("/dev/serial/by-id")) {
        for (TSerialDevice& listed : devices)
            if (listed.Path == device && listed.StableName.empty())
                listed.StableName = stable;
    }
    std::sort(devices.begin(), devices.end(), PathOrder);
    return devices;
}

} // namespace velmora
