// The commands of the simulated ELM327 firmware: the AT table, the OBD-style hex requests and the
// extended engine commands.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "sim/adapters/elm_firmware.h"
#include "sim/sim_profile.h"
#include "sim/sim_unit.h"

namespace velmora {

namespace {

constexpr std::string_view Banner = "ELM327 v1.5";
// A reset (ATZ) restarts the chip before it prints its banner, ms; a warm start (ATWS) is quicker.
constexpr double ResetMs = 300;
constexpr double WarmStartMs = 50;
// The wake-up breaks the firmware tries, ms: the usual one, then the shorter one LH units want.
constexpr double WakeBreaksMs[] = {165, 130};
// The header of an ISO 9141-2 answer (priority, target, source) shown with ATH1.
constexpr uint8_t IsoHeader[] = {0x48, 0x6B, 0x10};

std::optional<uint8_t> HexByte(std::string_view two) {
    unsigned value = 0;
    for (char c : two) {
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + unsigned(digit);
    }
    return uint8_t(value);
}

std::string Hex(uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%.2X", value);
    return text;
}

} // namespace

const TElmFirmware::TAtCommand TElmFirmware::AtCommands[] = {
    {"", TAtAction::Attention},
    {"Z", TAtAction::Reset},
    {"WS", TAtAction::WarmStart},
    {"D", TAtAction::Defaults},
    {"I", TAtAction::Identify},
    {"RV", TAtAction::Voltage},
    {"PC", TAtAction::ProtocolClose},
    {"E0", TAtAction::Flag, &TSettings::Echo, false},
    {"E1", TAtAction::Flag, &TSettings::Echo, true},
    {"L0", TAtAction::Flag, &TSettings::Linefeeds, false},
    {"L1", TAtAction::Flag, &TSettings::Linefeeds, true},
    {"S0", TAtAction::Flag, &TSettings::Spaces, false},
    {"S1", TAtAction::Flag, &TSettings::Spaces, true},
    {"H0", TAtAction::Flag, &TSettings::Headers, false},
    {"H1", TAtAction::Flag, &TSettings::Headers, true},
};

void TElmFirmware::RunAt(std::string_view name, double atMs) {
    const TAtCommand* found = std::find_if(std::begin(AtCommands), std::end(AtCommands),
                                           [&](const TAtCommand& row) { return row.Name == name; });
    double at = atMs + ElmAnswerDelayMs;
    if (found == std::end(AtCommands)) {
        PutLine("?", at);
        Prompt(at);
        return;
    }
    switch (found->Action) {
    case TAtAction::Reset:
    case TAtAction::WarmStart:
        // The chip restarts: settings to their defaults, the bus session gone.
        Current = TSettings{};
        BusUp = false;
        ModuleSettings.reset();
        ModuleUp = false;
        at += found->Action == TAtAction::Reset ? ResetMs : WarmStartMs;
        PutLine("", at);
        PutLine(Banner, at);
        break;
    case TAtAction::Attention:
        PutLine("OK", at);
        break;
    case TAtAction::Defaults:
        Current = TSettings{};
        PutLine("OK", at);
        break;
    case TAtAction::Identify:
        PutLine(Banner, at);
        break;
    case TAtAction::Voltage: {
        char text[16];
        std::snprintf(text, sizeof text, "%.1fV", Car.Unit().Engine().Signal(TSignal::Battery));
        PutLine(text, at);
        break;
    }
    case TAtAction::ProtocolClose:
        BusUp = false;
        PutLine("OK", at);
        break;
    case TAtAction::Flag:
        Current.*(found->Setting) = found->Value;
        PutLine("OK", at);
        break;
    }
    Prompt(at);
}

void TElmFirmware::RunHex(std::string_view hex, double atMs) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; hex.size() % 2 == 0 && i < hex.size(); i += 2) {
        std::optional<uint8_t> b = HexByte(hex.substr(i, 2));
        if (!b) {
            bytes.clear();
            break;
        }
        bytes.push_back(*b);
    }
    double at = atMs + ElmAnswerDelayMs;
    if (bytes.size() == 2 && bytes[0] >= 0x40) {
        TableRead(uint8_t(bytes[0] - 0x40), bytes[1], at);
        return;
    }
    if (!bytes.empty() && bytes[0] >= 0x01 && bytes[0] <= 0x0A) {
        ObdRequest(bytes, at);
        return;
    }
    PutLine("?", at);
    Prompt(at);
}

bool TElmFirmware::EnsureBus(double& atMs) {
    if (BusUp)
        return true;
    Put("BUS INIT: ...", atMs);
    for (double breakMs : WakeBreaksMs) {
        atMs = std::max(atMs, Bus.NowMs());
        if ((BusUp = Tester.WakeUp(atMs, breakMs)))
            break;
    }
    PutLine(BusUp ? "OK" : "ERROR", atMs);
    return BusUp;
}

std::optional<uint8_t> TElmFirmware::Pair(uint8_t command, uint8_t param, double& atMs) {
    atMs = std::max(atMs, Bus.NowMs());
    std::optional<uint8_t> value = Tester.Request(command, param, atMs);
    if (!value)
        BusUp = false;
    return value;
}

void TElmFirmware::HfmConnect(double atMs) {
    double at = atMs + ElmAnswerDelayMs;
    BusUp = false; // asked for explicitly: wake the unit even when a session runs
    EnsureBus(at);
    Prompt(at);
}

void TElmFirmware::HfmData(std::string_view args, double atMs) {
    double at = atMs + ElmAnswerDelayMs;
    std::optional<uint8_t> command = args.size() == 4 ? HexByte(args.substr(0, 2)) : std::nullopt;
    std::optional<uint8_t> param = args.size() == 4 ? HexByte(args.substr(2, 2)) : std::nullopt;
    if (!command || !param) {
        PutLine("?", at);
    } else if (EnsureBus(at)) {
        std::optional<uint8_t> value = Pair(*command, *param, at);
        PutLine(value ? "R" + std::string(args) + Hex(*value) : "NO DATA", at);
    }
    Prompt(at);
}

void TElmFirmware::TableRead(uint8_t command, uint8_t address, double atMs) {
    double at = atMs;
    if (EnsureBus(at)) {
        auto cell = std::find_if(Cells.begin(), Cells.end(),
                                 [&](const TLiveCell& c) { return c.Cmd == command && c.Addr == address; });
        int size = cell != Cells.end() ? cell->Size : 1;
        std::vector<uint8_t> answer = {uint8_t(command + 0x40), address};
        for (int i = 0; i < size; ++i) {
            std::optional<uint8_t> value = Pair(command, uint8_t(address + i), at);
            if (!value)
                break;
            answer.push_back(*value);
        }
        PutLine(answer.size() == size_t(2 + size) ? DataText(answer) : "NO DATA", at);
    }
    Prompt(at);
}

void TElmFirmware::ObdRequest(std::span<const uint8_t> request, double atMs) {
    double at = atMs;
    if (EnsureBus(at)) {
        // The engine units speak no OBD: the firmware answers the connection check "which PIDs are
        // supported" itself, with none beyond it, and has no data for anything else.
        if (request.size() == 2 && request[0] == 0x01 && request[1] == 0x00) {
            const uint8_t answer[] = {0x41, 0x00, 0x00, 0x00, 0x00, 0x00};
            PutLine(DataText(answer), at);
        } else {
            PutLine("NO DATA", at);
        }
    }
    Prompt(at);
}

void TElmFirmware::UsbKkl(double atMs) {
    // The adapter leaves command mode without a prompt and from now on passes the K-line through.
    PutLine("EXEC_AS_KKL_MODE", atMs + ElmAnswerDelayMs);
    BusUp = false;
    KklMode = true;
    Cable.HostLine(HostBaud, HostParity, HostStopBits, Uart.FreeMs());
}

std::string TElmFirmware::DataText(std::span<const uint8_t> bytes) const {
    std::vector<uint8_t> all;
    if (Current.Headers)
        all.assign(std::begin(IsoHeader), std::end(IsoHeader));
    all.insert(all.end(), bytes.begin(), bytes.end());
    if (Current.Headers) {
        uint8_t sum = 0;
        for (uint8_t b : all)
            sum = uint8_t(sum + b);
        all.push_back(sum);
    }
    std::string text;
    for (uint8_t b : all) {
        if (Current.Spaces && !text.empty())
            text += ' ';
        text += Hex(b);
    }
    return text;
}

} // namespace velmora
