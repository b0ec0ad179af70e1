// The simulated ELM327 firmware's module commands: ISOSET sets the framed protocol up, ISOCONNECT wakes
// the module and returns its first frame, ISOMSG sends one request and returns the answer frame.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "sim/adapters/elm_firmware.h"

namespace velmora {

namespace {

constexpr double AnswerDelayMs = 1;

std::optional<unsigned> HexNumber(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 16 + unsigned(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'A' + 10);
    }
    return value;
}

std::string FrameText(const std::vector<uint8_t>& frame) {
    std::string text = "R";
    for (uint8_t b : frame) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%.2X", b);
        text += hex;
    }
    return text;
}

} // namespace

void TElmFirmware::IsoSet(std::string_view args, double atMs) {
    // <address hex2><S|F><parity letter><inter-byte time, decimal><answer time-out / 2, hex2>
    // <request delay, hex2>
    const double at = atMs + AnswerDelayMs;
    std::optional<unsigned> address = args.size() >= 9 ? HexNumber(args.substr(0, 2)) : std::nullopt;
    std::string_view interByte = args.size() >= 9 ? args.substr(4, args.size() - 8) : std::string_view{};
    std::optional<unsigned> halfTimeout =
        args.size() >= 9 ? HexNumber(args.substr(args.size() - 4, 2)) : std::nullopt;
    std::optional<unsigned> delay =
        args.size() >= 9 ? HexNumber(args.substr(args.size() - 2, 2)) : std::nullopt;
    const bool digits = !interByte.empty() && interByte.size() <= 3 &&
                        std::all_of(interByte.begin(), interByte.end(),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (!address || !halfTimeout || !delay || !digits || (args[2] != 'S' && args[2] != 'F') ||
        std::string_view("NOEMS").find(args[3]) == std::string_view::npos) {
        PutLine("?", at);
        Prompt(at);
        return;
    }
    TModuleLineSettings settings;
    settings.Address = uint8_t(*address);
    settings.FiveBaud = args[2] == 'S';
    settings.InterByteMs = std::stoi(std::string(interByte));
    settings.AnswerTimeoutMs = 2.0 * *halfTimeout;
    settings.RequestDelayMs = *delay;
    ModuleSettings = settings;
    ModuleUp = false;
    PutLine("OK", at);
    Prompt(at);
}

void TElmFirmware::IsoConnect(double atMs) {
    double at = atMs + AnswerDelayMs;
    if (!ModuleSettings) {
        PutLine("?", at);
        Prompt(at);
        return;
    }
    BusUp = false; // the engine session, if any, is gone with the module's wake-up
    at = std::max(at, Bus.NowMs());
    std::optional<std::vector<uint8_t>> frame = ModuleLine.Connect(*ModuleSettings, at);
    ModuleUp = frame.has_value();
    PutLine(frame ? FrameText(*frame) : "NO DATA", at);
    Prompt(at);
}

void TElmFirmware::IsoMsg(std::string_view hex, double atMs) {
    double at = atMs + AnswerDelayMs;
    std::vector<uint8_t> request;
    for (size_t i = 0; hex.size() % 2 == 0 && i < hex.size(); i += 2) {
        std::optional<unsigned> b = HexNumber(hex.substr(i, 2));
        if (!b) {
            request.clear();
            break;
        }
        request.push_back(uint8_t(*b));
    }
    if (!ModuleSettings || request.empty()) {
        PutLine("?", at);
        Prompt(at);
        return;
    }
    std::optional<std::vector<uint8_t>> answer;
    if (ModuleUp) {
        at = std::max(at, Bus.NowMs());
        answer = ModuleLine.Message(*ModuleSettings, request, at);
    }
    PutLine(answer ? FrameText(*answer) : "NO DATA", at);
    Prompt(at);
}

} // namespace velmora
