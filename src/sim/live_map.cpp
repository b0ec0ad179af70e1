#include "sim/live_map.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace velmora {

namespace {

using S = TSignal;

// HFM/PMS: command 0x55 reads the unit's parameter number `Addr` (the built-in parameter set).
constexpr TLiveCell Channel55[] = {
    {0x55, 0, 1, S::Coolant, "-40"},
    {0x55, 1, 2, S::Rpm, "/4"},
    {0x55, 2, 2, S::TargetRpm, "/4"},
    {0x55, 3, 2, S::InjMs, "/125"},
    {0x55, 4, 1, S::O2Control, "(0;-100)-(255;99)"},
    {0x55, 5, 1, S::Throttle, "(0;0)-(255;90)"},
    {0x55, 6, 2, S::AirMass, "(0;0)-(65535;2359)"},
    {0x55, 7, 2, S::O2mV, "/51"},
    {0x55, 8, 1, S::AdaptIdleAir, "(0;-10)-(256;10)"},
    {0x55, 9, 1, S::AdaptLower, "(0;-100)-(255;99)"},
    {0x55, 10, 1, S::AdaptUpper, "(0;-100)-(255;99)"},
    {0x55, 11, 1, S::Ignition, "(0;-64)-(256;64)"},
    {0x55, 12, 1, S::AirTemp, "-40"},
    {0x55, 13, 1, S::Constant, "/51", 1.25},
    {0x55, 14, 1, S::Constant, "/51", 2.0},
    {0x55, 15, 1, S::Speed, "(0;0)-(255;306)"},
    {0x55, 16, 1, S::Pressure, "*10"},
    {0x55, 17, 1, S::Load, "(0;0)-(255;100)"},
    {0x55, 18, 1, S::Constant, "/51", 0.2},
    {0x55, 20, 1, S::TesterCode1, ""},
    {0x55, 21, 1, S::TesterCode2, ""},
    {0x55, 22, 1, S::TesterCode3, ""},
    {0x55, 23, 1, S::Flags23, ""},
    {0x55, 24, 1, S::Flags24, ""},
    {0x55, 25, 1, S::Flags25, ""},
    {0x55, 27, 1, S::Constant, "", 0},
    {0x55, 28, 1, S::Speed, "(0;0)-(255;306)"},
    {0x55, 34, 1, S::Constant, "", 0},
    {0x55, 37, 1, S::CodingHigh, ""},
    {0x55, 38, 1, S::CodingMid, ""},
    {0x55, 39, 1, S::CodingLow, ""},
    {0x55, 41, 2, S::Battery, "/1000"},
    {0x55, 43, 1, S::CoolantAtStart, "-40"},
    {0x55, 44, 1, S::HfmVolts, "/51"},
    {0x55, 45, 1, S::ThrottleStopV, "/51"},
    {0x55, 46, 1, S::Constant, "", 128},
    {0x55, 47, 1, S::O2Control, "(0;-100)-(255;99)"},
    {0x55, 48, 1, S::O2Control, "(0;-100)-(255;99)"},
    {0x55, 50, 1, S::Constant, "", 0x41},
    {0x55, 53, 1, S::Misfire1, ""},
    {0x55, 54, 1, S::Misfire2, ""},
    {0x55, 55, 1, S::Misfire3, ""},
    {0x55, 56, 1, S::Misfire4, ""},
    {0x55, 57, 1, S::Misfire5, ""},
    {0x55, 58, 1, S::Misfire6, ""},
    {0x55, 74, 1, S::Constant, "(0;0)-(255;100)", 40},
    {0x55, 79, 1, S::Constant, "", 0},
    {0x55, 84, 1, S::Load, "/2"},
    {0x55, 88, 2, S::RunSeconds, "/32"},
    {0x55, 90, 2, S::Period90, ""},
    {0x55, 91, 2, S::Period91, ""},
    {0x55, 92, 2, S::Period92, ""},
    {0x55, 93, 2, S::Period93, ""},
    {0x55, 94, 2, S::Period94, ""},
    {0x55, 95, 2, S::Period95, ""},
    {0x55, 100, 1, S::Constant, "/51", 1.6},
    {0x55, 105, 1, S::Constant, "/51", 0.6},
    {0x55, 108, 1, S::AdaptIdlePct, "(0;-100)-(255;99)"},
    {0x55, 113, 1, S::Constant, "", 0},
    {0x55, 114, 1, S::Fan, ""},
    {0x55, 118, 1, S::Fan, ""},
    {0x55, 141, 2, S::Battery, "(0;0)-(1023;20)"},
    {0x55, 167, 1, S::ThrottlePct, "(0;0)-(255;100)"},
};

// Siemens units of the newest generation: RAM addresses behind commands 0x10, 0x20, 0x21.
constexpr TLiveCell Siemens60[] = {
    {0x10, 0x62, 1, S::Coolant, "-40"},
    {0x10, 0x74, 1, S::Rpm, "*16"},
    {0x10, 0xBE, 1, S::TargetRpm, "*16"},
    {0x10, 0x5B, 2, S::InjMs, "/250"},
    {0x10, 0xA4, 1, S::O2Control, "(0;-25)-(256;25)"},
    {0x10, 0x49, 1, S::ThrottlePct, "(0;0)-(255;100)"},
    {0x10, 0x48, 1, S::O2mV, "(0;-200)-(255;1075)"},
    {0x10, 0x54, 1, S::Ignition, ""},
    {0x10, 0x61, 1, S::AirTemp, "-40"},
    {0x20, 0xD6, 1, S::Speed, ""},
    {0x20, 0x73, 1, S::Pressure, "*5"},
    {0x10, 0x20, 1, S::Flags23, ""},
    {0x10, 0x21, 1, S::Flags24, ""},
    {0x21, 0x9A, 1, S::Flags25, ""},
    {0x10, 0x4C, 1, S::Battery, ""},
};

// Bosch units with diagnosis index 40-41.
constexpr TLiveCell Bosch40[] = {
    {0x10, 0xBF, 1, S::Coolant,
     "(0;-59)-(4;-35)-(16;-17)-(32;-3)-(48;8)-(128;45)-(160;61)-(176;70)-(192;80)-(208;93)-(224;112)-(240;"
     "147)-"
     "(252;207)-(256;300)"},
    {0x10, 0xB7, 1, S::Rpm, "*25"},
    {0x20, 0x67, 1, S::TargetRpm, "*25"},
    {0x20, 0x54, 2, S::InjMs, "/250"},
    {0x10, 0xB9, 1, S::O2Control, "(0;-50)-(256;50)"},
    {0x10, 0xBD, 1, S::Throttle, "(0;0)-(256;90)"},
    {0x20, 0x48, 2, S::AirMass, "/10"},
    {0x20, 0x23, 1, S::O2mV, "*4"},
    {0x24, 0x90, 1, S::AdaptIdleAir, "(0;-12.8)-(256;12.7)"},
    {0x10, 0xC4, 1, S::Ignition, "(0;55)-(256;-35)"},
    {0x20, 0x47, 1, S::Speed, ""},
    {0x24, 0x7C, 1, S::Pressure, "*5"},
    {0x10, 0xC2, 1, S::Load, "/2"},
    {0x10, 0x98, 1, S::Flags23, ""},
    {0x10, 0x67, 1, S::Flags24, ""},
    {0x10, 0x69, 1, S::Flags25, ""},
};

// VDO units with diagnosis index 40-44.
constexpr TLiveCell Vdo40[] = {
    {0x12, 0x76, 1, S::Coolant, "-60"},
    {0x12, 0x7E, 1, S::Rpm, "*30"},
    {0x12, 0xA4, 2, S::TargetRpm, ""},
    {0x22, 0x74, 2, S::InjMs, "/250"},
    {0x22, 0x78, 1, S::Throttle, "(0;-7.8)-(255;81.45)"},
    {0x22, 0x72, 2, S::AirMass, "/10"},
    {0x20, 0xF2, 1, S::O2mV, "*4"},
    {0x12, 0x72, 2, S::Ignition, "(0;55)-(1100;-55)"},
    {0x12, 0x77, 1, S::AirTemp, "-60"},
    {0x12, 0x7F, 1, S::Speed, ""},
    {0x22, 0x7A, 1, S::Flags23, ""},
    {0x22, 0x7B, 1, S::Flags24, ""},
    {0x23, 0x7E, 1, S::Flags25, ""},
};

constexpr std::string_view LhCoolant = "(0;300)-(16;147)-(32;112)-(48;93)-(128;45)-(160;35)-(176;25)-(192;15)"
                                       "-(208;8)-(224;-3)-(240;-17)-(256;-59)";
constexpr std::string_view LhAirTemp = "(0;242)-(2;178.5)-(4;137.3)-(8;105)-(16;77)-(32;52)-(64;26.7)-(128;-"
                                       "3.6)-(160;-18.6)-(192;-41.7)-(255;-60)";

// LH: words go out high byte first (the profile says so); the unit's pages are 0x00, 0x10 and 0x40.
constexpr std::array<TLiveCell, 19> LhCommon = {{
    {0x10, 0x40, 1, S::Coolant, LhCoolant},
    {0x10, 0x45, 1, S::Coolant, LhCoolant},
    {0x00, 0x4C, 2, S::InjMs, "/500"},
    {0x10, 0x90, 1, S::OnOffRatio, "(0;100)-(255;0)"},
    {0x10, 0x4E, 1, S::Throttle, "(0;0)-(255;89.2)"},
    {0x00, 0x38, 2, S::AirMass, "/10"},
    {0x10, 0x48, 1, S::O2mV, "*4"},
    {0x10, 0xEF, 1, S::AdaptIdleAir, "(0;-12.8)-(256;12.8)"},
    {0x10, 0xF0, 1, S::AdaptLower, "(0;-50)-(256;50)"},
    {0x10, 0xF1, 1, S::AdaptUpper, "(0;-50)-(256;50)"},
    {0x10, 0x44, 1, S::AirTemp, LhAirTemp},
    {0x10, 0x50, 1, S::Speed, "(0;0)-(255;306)"},
    {0x10, 0x56, 1, S::Pressure, "*5"},
    {0x00, 0x20, 1, S::LhFlags20, ""},
    {0x00, 0x23, 1, S::LhFlags23, ""},
    {0x10, 0x80, 1, S::WarmingUp, ""},
    {0x00, 0x9B, 1, S::Battery, "(0;0)-(255;16)"},
    {0x00, 0x88, 1, S::Constant, "", 128},
    {0x10, 0x62, 1, S::Constant, "", 0},
}};

template <size_t N>
constexpr std::array<TLiveCell, N + 1> WithRow(const std::array<TLiveCell, N>& rows, TLiveCell extra) {
    std::array<TLiveCell, N + 1> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = rows[i];
    out[N] = extra;
    return out;
}

// Engine speed behind 0x00 0x89 is on the unit's own scale, which differs for the 'w' variant.
constexpr auto LH = WithRow(
    LhCommon, {0x00, 0x89, 1, S::Rpm, "(0;0)-(32;77)-(64;155)-(128;623)-(160;1246)-(192;2493)-(255;9759)"});
constexpr auto LHw = WithRow(
    LhCommon, {0x00, 0x89, 1, S::Rpm,
               "(0;0)-(32;70)-(64;140)-(128;530)-(160;970)-(182;1500)-(192;1750)-(199;2000)-(255;6000)"});

// EZ: bank 0 of the reads with command 0xFF.
constexpr TLiveCell EZ[] = {
    {0xFF, 0x41, 1, S::Rpm, "*30"},         {0xFF, 0x34, 1, S::Coolant, ""},
    {0xFF, 0x37, 1, S::AirTemp, LhAirTemp}, {0xFF, 0x33, 1, S::Pressure, "*5"},
    {0xFF, 0x3D, 1, S::Ignition, ""},       {0xFF, 0x30, 1, S::Pressure, "/10"},
};

bool ParseNumber(std::string_view text, double& value) {
    std::string s(text);
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end != s.c_str() && *end == 0;
}

// "(x;y)-(x;y)..." into points; false on anything else.
bool ParsePoints(std::string_view text, std::vector<std::pair<double, double>>& points) {
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '-' && !points.empty())
            ++pos;
        if (pos >= text.size() || text[pos] != '(')
            return false;
        size_t semi = text.find(';', pos);
        size_t close = text.find(')', pos);
        if (semi == std::string_view::npos || close == std::string_view::npos || semi > close)
            return false;
        double x = 0, y = 0;
        if (!ParseNumber(text.substr(pos + 1, semi - pos - 1), x) ||
            !ParseNumber(text.substr(semi + 1, close - semi - 1), y))
            return false;
        points.emplace_back(x, y);
        pos = close + 1;
        if (pos < text.size() && text[pos] == '~')
            break;
    }
    return points.size() >= 2;
}

std::optional<double> RawFor(std::string_view encoding, double v) {
    if (encoding.empty())
        return v;
    if (encoding[0] == '(') {
        std::vector<std::pair<double, double>> p;
        if (!ParsePoints(encoding, p))
            return std::nullopt;
        for (size_t i = 0; i + 1 < p.size(); ++i) {
            auto [x0, y0] = p[i];
            auto [x1, y1] = p[i + 1];
            if (y0 != y1 && v >= std::min(y0, y1) && v <= std::max(y0, y1))
                return x0 + (v - y0) * (x1 - x0) / (y1 - y0);
        }
        // Outside the table: the end whose value lies nearer.
        return std::abs(v - p.front().second) < std::abs(v - p.back().second) ? p.front().first
                                                                              : p.back().first;
    }
    std::string_view number = encoding.substr(1, encoding.find('~') - 1);
    double k = 0;
    if (!ParseNumber(number, k))
        return std::nullopt;
    switch (encoding[0]) {
    case '*':
        return k != 0 ? std::optional<double>(v / k) : std::nullopt;
    case '/':
        return v * k;
    case '+':
        return v - k;
    case '-':
        return v + k;
    default:
        return std::nullopt;
    }
}

} // namespace

std::span<const TLiveCell> LiveCells(TLiveMapKind kind) {
    switch (kind) {
    case TLiveMapKind::Channel55:
        return Channel55;
    case TLiveMapKind::Siemens60:
        return Siemens60;
    case TLiveMapKind::Bosch40:
        return Bosch40;
    case TLiveMapKind::Vdo40:
        return Vdo40;
    case TLiveMapKind::LH:
        return LH;
    case TLiveMapKind::LHw:
        return LHw;
    case TLiveMapKind::EZ:
        return EZ;
    }
    return {};
}

const TLiveCell* FindLiveCell(TLiveMapKind kind, uint8_t cmd, uint8_t addr, bool& second) {
    // A cell that starts at the address wins over the second byte of the cell before it.
    for (const TLiveCell& cell : LiveCells(kind))
        if (cell.Cmd == cmd && cell.Addr == addr) {
            second = false;
            return &cell;
        }
    for (const TLiveCell& cell : LiveCells(kind))
        if (cell.Cmd == cmd && cell.Size == 2 && uint8_t(cell.Addr + 1) == addr) {
            second = true;
            return &cell;
        }
    return nullptr;
}

std::optional<uint32_t> EncodeValue(std::string_view encoding, double v, int size) {
    std::optional<double> raw = RawFor(encoding, v);
    if (!raw)
        return std::nullopt;
    double top = size == 2 ? 65535.0 : 255.0;
    return uint32_t(std::clamp(std::round(*raw), 0.0, top));
}

} // namespace velmora
