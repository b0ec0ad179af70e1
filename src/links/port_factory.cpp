#include "links/port_factory.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "lang/translated_format.h"
#include "links/com_low_level.h"
#include "links/com_port.h"
#include "links/device_paths.h"
#include "links/ftdi_driver.h"
#include "links/ftdi_port.h"
#include "links/serial_port_infos.h"
#include "links/wifi_port.h"

namespace velmora {

namespace {

struct TPortKind {
    std::string Prefix;
    int Number;
    std::string Description;
    TPortCreator Creator;
};

std::mutex stateLock; // guards the four fields below
std::vector<TPortKind> kinds;
int currentNumber = 0;
std::string currentName;
std::string lastOpenProblem;

std::unique_ptr<TBasePort> port; // used by one thread at a time, like the port itself

constexpr const char* ParityLetters[] = {"N", "O", "E", "M", "S"};

// The registered kind a name asks for: its prefix alone or followed by ":".
const TPortKind* KindOfName(std::string_view name) {
    for (const TPortKind& kind : kinds)
        if (name == kind.Prefix || (name.starts_with(kind.Prefix) && name.size() > kind.Prefix.size() &&
                                    name[kind.Prefix.size()] == ':'))
            return &kind;
    return nullptr;
}

const TPortKind* KindOfNumber(int number) {
    auto found = std::find_if(kinds.begin(), kinds.end(),
                              [&](const TPortKind& kind) { return kind.Number == number; });
    return found == kinds.end() ? nullptr : &*found;
}

// "COM" and one to three digits, nothing else.
int ComNameNumber(std::string_view name) {
    if (!name.starts_with("COM"))
        return 0;
    std::string_view digits = name.substr(3);
    if (digits.empty() || digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        }))
        return 0;
    return std::stoi(std::string(digits));
}

std::unique_ptr<TBasePort> MakePort(const std::string& name) {
    if (name == "FTDI")
        return std::make_unique<TFTDIPort>();
    if (name == "WIFI")
        return std::make_unique<TWiFiPort>();
    TPortCreator creator;
    {
        std::lock_guard guard(stateLock);
        if (const TPortKind* kind = KindOfName(name))
            creator = kind->Creator;
    }
    if (creator)
        return creator(name);
    return std::make_unique<TComPort>();
}

} // namespace

int PortNameToNumber(std::string_view name) {
    if (name == "FTDI")
        return FtdiPortNumber;
    if (name == "WIFI")
        return WiFiPortNumber;
    if (IsDevicePathName(name))
        return DevicePathNumber(name);
    {
        std::lock_guard guard(stateLock);
        if (const TPortKind* kind = KindOfName(name))
            return kind->Number;
    }
    return ComNameNumber(name);
}

std::string PortNumberToName(int number) {
    if (number == FtdiPortNumber)
        return "FTDI";
    if (number == WiFiPortNumber)
        return "WIFI";
    if (number >= FirstDevicePathNumber)
        return DevicePathOfNumber(number);
    {
        std::lock_guard guard(stateLock);
        if (const TPortKind* kind = KindOfNumber(number))
            return kind->Prefix;
    }
    return number >= 1 ? "COM" + std::to_string(number) : std::string();
}

TBasePort* Port() {
    return port.get();
}

bool CreatePort(int baud, std::string_view name) {
    if (!name.empty()) {
        int number = PortNameToNumber(name);
        std::lock_guard guard(stateLock);
        currentName = name;
        currentNumber = number;
    }
    FreePort();
    std::unique_ptr<TBasePort> created = MakePort(CurrentPortName());
    std::string problem;
    if (created && created->Open(false, baud))
        port = std::move(created);
    else if (dynamic_cast<TComPort*>(created.get()))
        problem = ComLastError();
    else if (dynamic_cast<TFTDIPort*>(created.get()))
        problem = FtdiDriver().OpenProblem();
    std::lock_guard guard(stateLock);
    lastOpenProblem = problem;
    return port != nullptr;
}

std::string LastOpenProblem() {
    std::lock_guard guard(stateLock);
    return lastOpenProblem;
}

std::string OpenFailureText(std::string_view name) {
    const std::string failure = TranslateFormat("Не могу открыть порт %s", std::string(name).c_str());
    std::string cause = LastOpenProblem();
    if (cause.empty())
        return failure;
    // The cause starts with the device it is about; when that is the port's own name, it is said once.
    if (const std::string device = std::string(name) + ": "; cause.starts_with(device))
        cause.erase(0, device.size());
    return failure + ": " + cause;
}

void FreePort() {
    // Released first, so that the object goes even when Close throws.
    std::unique_ptr<TBasePort> freed = std::move(port);
    if (freed && freed->IsOpen())
        freed->Close();
}

int CurrentPortNumber() {
    std::lock_guard guard(stateLock);
    return currentNumber;
}

std::string CurrentPortName() {
    std::lock_guard guard(stateLock);
    return currentName;
}

std::vector<TPortInfo> EnumPortInfos(bool withUnusable) {
    bool portOpen = port && port->IsOpen();
    int number = CurrentPortNumber();

    // Serial devices before the FTDI probe: opening the FTDI device takes its serial device away for a
    // moment.
    std::vector<TPortInfo> infos = SerialPortInfos(withUnusable, portOpen);

    if (FtdiDriver().Available()) {
        bool present = portOpen && number == FtdiPortNumber;
        if (!present) {
            TFTDIPort probe;
            present = probe.Open(false, 9600);
            if (present)
                probe.Close();
        }
        if (present)
            infos.insert(infos.begin(), {"FTDI", "FTDI cable, driven directly", ""});
    }

    std::lock_guard guard(stateLock);
    for (const TPortKind& kind : kinds)
        infos.push_back({kind.Prefix, kind.Description, ""});
    return infos;
}

void EnumPorts(std::vector<std::string>& list) {
    for (TPortInfo& info : EnumPortInfos())
        list.push_back(std::move(info.Name));
}

std::string FormatPortSettings(int baud, int parity, int stopBits) {
    const char* letter = parity >= 0 && parity < int(std::size(ParityLetters)) ? ParityLetters[parity] : "?";
    return std::to_string(baud) + letter + std::to_string(stopBits);
}

void RegisterPortKind(std::string prefix, int number, std::string description, TPortCreator creator) {
    std::lock_guard guard(stateLock);
    auto same = std::find_if(kinds.begin(), kinds.end(),
                             [&](const TPortKind& kind) { return kind.Prefix == prefix; });
    TPortKind kind{std::move(prefix), number, std::move(description), std::move(creator)};
    if (same != kinds.end())
        *same = std::move(kind);
    else
        kinds.push_back(std::move(kind));
}

} // namespace velmora
