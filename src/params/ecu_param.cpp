#include "params/ecu_param.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "params/param_text.h"
#include "params/value_format.h"
#include "platform/clock.h"

namespace velmora {

namespace {

std::atomic<int> defaultFontSize{10};

constexpr size_t MaxBitTextChars = 200;
constexpr int LogValueWidth = 8; // characters of the value column in an exchange-log line
constexpr int FixedPrecision = 6;
constexpr uint32_t PollLevelMs = 1024;

// Raw bytes giving the smallest and largest raw number of each type.
struct TRawExtremes {
    char Type;
    uint8_t Low0, Low1, High0, High1;
};

constexpr TRawExtremes RawExtremes[] = {
    {'B', 0, 0, 255, 255}, {'W', 0, 0, 255, 255},   {'L', 0, 0, 255, 255},
    {'X', 0, 0, 255, 255}, {'S', 128, 0, 127, 255}, {'I', 0, 128, 255, 127},
};

// Converts the low and then the high raw end of the type; the value is left at the high end.
float AsSingle(TParamValue value) {
    return value.IsFloat ? value.Float : float(value.Int);
}

// The extremes are converted aside: the record's own value belongs to the worker, which may be writing
// it at this moment.
std::pair<float, float> ConvertExtremes(const TECUparam& param) {
    for (const TRawExtremes& row : RawExtremes) {
        if (row.Type != param.ParamType)
            continue;
        return {AsSingle(param.Convert(row.Low0, row.Low1, 0, 0)),
                AsSingle(param.Convert(row.High0, row.High1, 0, 0))};
    }
    return {0, 0};
}

int32_t RoundToInt(float value) {
    // nearbyint rounds half to even in the default rounding mode.
    double rounded = std::nearbyint(double(value));
    if (std::isnan(rounded))
        return 0;
    return int32_t(std::clamp(rounded, double(std::numeric_limits<int32_t>::min()),
                              double(std::numeric_limits<int32_t>::max())));
}

std::optional<uint8_t> ParseByte(std::string_view text) {
    auto value = ParseInteger(TrimBlanks(text));
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return uint8_t(*value);
}

std::optional<uint8_t> ParseHexByte(std::string_view text) {
    if (text.size() != 2)
        return std::nullopt;
    uint8_t value = 0;
    for (char c : text) {
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                             : -1;
        if (digit < 0)
            return std::nullopt;
        value = uint8_t(value * 16 + digit);
    }
    return value;
}

} // namespace

int DefaultFontSize() {
    return defaultFontSize.load();
}

void SetDefaultFontSize(int size) {
    defaultFontSize.store(size);
}

TECUparam::TECUparam(uint16_t number) : Number(number), FontSize(uint8_t(DefaultFontSize())) {}

void TECUparam::Assign(const TECUparam& source) {
    CmdHi = source.CmdHi;
    CmdLo = source.CmdLo;
    Mask = source.Mask;
    Izm = source.Izm;
    Unit = source.Unit;
    ParamType = source.ParamType;
    Decimals = source.Decimals;
    PointCount = source.PointCount;
    Multiplier = source.Multiplier;
    Divisor = source.Divisor;
    FontSize = source.FontSize;
    FontStyle = source.FontStyle;
    PollLevel = source.PollLevel.load();
    PollInterval = source.PollInterval.load();
    PointX = source.PointX;
    PointY = source.PointY;
}

void TECUparam::SetType(char type) {
    constexpr std::string_view Known = "BILSWX";
    ParamType = (type != 0 && Known.find(type) != std::string_view::npos) ? type : 'B';
}

void TECUparam::SetCmdText(std::string_view text) {
    std::optional<uint8_t> hi, lo;
    size_t blank = text.find(' ');
    if (blank != std::string_view::npos && blank > 0) {
        hi = ParseByte(text.substr(0, blank));
        lo = ParseByte(text.substr(blank + 1, 10));
    } else if (text.size() >= 4) {
        hi = ParseHexByte(text.substr(0, 2));
        lo = ParseHexByte(text.substr(2, 2));
    }
    CmdHi = (hi && lo) ? *hi : 0;
    CmdLo = (hi && lo) ? *lo : 0;
}

void TECUparam::SetCmdWord(uint16_t word) {
    CmdHi = uint8_t(word >> 8);
    CmdLo = uint8_t(word & 0xFF);
}

int TECUparam::DataLength() const {
    switch (ParamType) {
    case 'I':
    case 'W':
        return 2;
    case 'L':
        return 4;
    default:
        return 1;
    }
}

void TECUparam::SetData(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    RawWord = uint16_t(b0 + 256 * b1);
    LastTick = Clock().TickCount();
    SetRaw(b0, b1, b2, b3);
}

void TECUparam::SetRaw(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    if (ParamType == 'X')
        RebuildBitText(b0);
    CurrentValue.store(Convert(b0, b1, b2, b3));
}

TParamValue TECUparam::Convert(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) const {
    int32_t raw;
    switch (ParamType) {
    case 'S':
        raw = int8_t(b0);
        break;
    case 'W':
        raw = b0 + 256 * b1;
        break;
    case 'I':
        raw = int16_t(uint16_t(b0 + 256 * b1));
        break;
    case 'L':
        raw = int32_t(uint32_t(b0) | uint32_t(b1) << 8 | uint32_t(b2) << 16 | uint32_t(b3) << 24);
        break;
    default:
        raw = b0;
        break;
    }
    TParamValue value;
    value.IsFloat = PointCount > 0 || Divisor != 1;
    if (PointCount > 0) {
        value.Float = Interpolate(raw);
    } else if (Divisor != 1) {
        value.Float = float((long double)raw / Divisor);
    } else {
        // A product beyond 32 bits saturates rather than wrapping into a value of the other sign.
        int64_t product = int64_t(Multiplier) * raw;
        value.Int = int32_t(std::clamp<int64_t>(product, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max()));
    }
    return value;
}

float TECUparam::Interpolate(int32_t raw) const {
    const int count = PointCount;
    for (int i = 0; i + 1 < count; ++i) {
        long double x0 = PointX[i], x1 = PointX[i + 1];
        if (x0 <= raw && raw <= x1) {
            long double y0 = PointY[i], y1 = PointY[i + 1];
            // A zero-width segment (two equal x) is a step: it keeps the value of its first point.
            long double y = (x1 == x0) ? y0 : (y1 - y0) / (x1 - x0) * (raw - x0) + y0;
            return float(y / Divisor);
        }
    }
    long double y = 0;
    if (PointX[0] >= raw)
        y = PointY[0];
    if (PointX[count - 1] <= raw)
        y = PointY[count - 1];
    return float(y / Divisor);
}

int32_t TECUparam::AsInteger() const {
    TParamValue value = Current();
    return value.IsFloat ? RoundToInt(value.Float) : value.Int;
}

float TECUparam::AsSingle() const {
    TParamValue value = Current();
    return value.IsFloat ? value.Float : float(value.Int);
}

std::string TECUparam::FormatValue() const {
    TParamValue value = Current();
    if (!Mask.empty()) {
        TFormatArg arg = value.IsFloat ? TFormatArg::Floating(value.Float) : TFormatArg::Integer(value.Int);
        return FormatMask(Mask, {&arg, 1});
    }
    if (value.IsFloat)
        return FormatFixed(value.Float, FixedPrecision, Decimals) + Izm;
    return std::to_string(value.Int) + Izm;
}

std::string TECUparam::LogText() const {
    if (ParamType == 'X')
        return BitText();
    std::string text = FormatValue();
    size_t length = Utf8Length(text);
    if (length < LogValueWidth)
        text.append(LogValueWidth - length, ' ');
    return text + Name;
}

std::string TECUparam::BitText() const {
    std::lock_guard lock(BitTextLock);
    return CurrentBitText;
}

float TECUparam::RangeMin() const {
    auto [low, high] = ConvertExtremes(*this);
    return std::min(low, high);
}

float TECUparam::RangeMax() const {
    auto [low, high] = ConvertExtremes(*this);
    return std::max(low, high);
}

void TECUparam::ParseBitNames() {
    PointX.fill(0);
    PointY.fill(0);
    PointCount = 0;
    std::string text = Name + ";";
    size_t start = 0;
    for (int i = 0; i < BitCount; ++i) {
        size_t end = text.find(';', start);
        if (end == std::string::npos)
            break;
        std::string_view field = std::string_view(text).substr(start, end - start);
        PointX[i] = int32_t(end + 1);
        size_t bar = field.find('|');
        if (field == "|")
            PointY[i] = 0;
        else if (bar == std::string_view::npos || bar + 1 == field.size())
            PointY[i] = 1;
        else
            PointY[i] = int32_t(start + bar + 1);
        start = end + 1;
    }
}

int TECUparam::BitFieldCount() const {
    if (ParamType != 'X')
        return 0;
    int count = 0;
    while (count < BitCount && PointX[count] != 0)
        ++count;
    return count;
}

std::string_view TECUparam::BitFieldText(int bit) const {
    if (bit < 0 || bit >= BitFieldCount())
        return {};
    // Fields run between the closing ";" positions (1-based) recorded in PointX.
    size_t start = bit == 0 ? 0 : size_t(PointX[bit - 1]);
    size_t end = size_t(PointX[bit]) - 1;
    std::string_view name(Name);
    if (start > name.size() || end < start)
        return {};
    return name.substr(start, end - start);
}

std::string_view TECUparam::BitPiece(int bit, bool set) const {
    std::string_view field = BitFieldText(bit);
    int32_t bar = PointY[bit];
    if (bar == 0)
        return set ? std::string_view() : field;
    // 1 marks a plain field; it is also the position of a "|" opening the very first field.
    if (bar == 1 && !field.starts_with('|'))
        return set ? field : std::string_view();
    size_t start = bit == 0 ? 0 : size_t(PointX[bit - 1]);
    size_t split = size_t(bar - 1) - start;
    if (split >= field.size())
        return {};
    return set ? field.substr(0, split) : field.substr(split + 1);
}

void TECUparam::RebuildBitText(uint8_t bits) {
    std::string text;
    for (int i = 0; i < BitFieldCount(); ++i) {
        std::string_view piece = BitPiece(i, (bits >> i) & 1);
        if (!piece.empty())
            text += " " + std::string(piece);
    }
    std::lock_guard lock(BitTextLock);
    CurrentBitText = Utf8Prefix(text, MaxBitTextChars);
}

void TECUparam::SetBitId(uint8_t id, uint8_t mask) {
    if (ParamType != 'X')
        BitIds[0] = id;
    else if (std::has_single_bit(mask))
        BitIds[size_t(std::countr_zero(mask))] = id;
}

bool TECUparam::HasId(uint8_t id) const {
    if (BitIds[0] == id)
        return true;
    return ParamType == 'X' && std::find(BitIds.begin(), BitIds.end(), id) != BitIds.end();
}

int TECUparam::BitById(uint8_t id) const {
    if (ParamType != 'X')
        return -1;
    auto found = std::find(BitIds.begin(), BitIds.end(), id);
    if (found == BitIds.end())
        return -1;
    return (AsInteger() >> (found - BitIds.begin())) & 1;
}

uint8_t TECUparam::FirstId() const {
    return ParamType == 'X' ? 0 : BitIds[0];
}

namespace {

// Ms of a pause still to run at `now`; 0 when there is none or it is over. Pauses last at most 32 s, so a
// pause end further ahead than a quarter of the 31-bit range is one that has passed.
uint32_t PauseLeftMs(int32_t interval, uint32_t now) {
    if (interval >= 0)
        return 0;
    const uint32_t left = (uint32_t(-int64_t(interval)) - now) & PauseTickMask;
    return left < PauseTickMask / 4 ? left : 0;
}

} // namespace

uint32_t TECUparam::NextPollTick() const {
    const int32_t interval = PollInterval;
    const uint32_t period = interval > 0 ? uint32_t(interval) : uint32_t(PollLevel) * PollLevelMs;
    const uint32_t now = Clock().TickCount();
    uint32_t next = LastTick + period;
    if (const uint32_t left = PauseLeftMs(interval, now); left > 0 && int32_t(now + left - next) > 0)
        next = now + left;
    return next;
}

bool TECUparam::IsPollDue() const {
    const int32_t interval = PollInterval;
    const uint32_t period = interval > 0 ? uint32_t(interval) : uint32_t(PollLevel) * PollLevelMs;
    const uint32_t now = Clock().TickCount();
    return TicksSince(LastTick, now) >= period && PauseLeftMs(interval, now) == 0;
}

std::string TECUparam::DescriptionLabel() const {
    std::string label = "parameter " + std::to_string(Number);
    if (!Name.empty())
        label += " (" + Name + ")";
    return label;
}

} // namespace velmora
