#include "trip/trip_values.h"

#include <algorithm>
#include <cmath>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

// Above this amount the rate is taken as amount / (time / 360), as the 32-bit original did to keep
// amount × 360 in range; below it as amount × 360 / time.
constexpr uint32_t LargeAmount = 5000000;
constexpr uint16_t MaxTripConsumption = 4000; // 40.0 l/100 km
constexpr uint32_t MinTripDistance = 1000;    // 1/100 m: 10 m
constexpr std::string_view NoFigure = "—";    // no average yet
constexpr uint32_t FuelScaleNumerator = 0x60000000;
constexpr uint16_t PlainSpeedFrom = 200; // 1/10 km/h: 20 km/h and faster print without decimals

uint16_t Saturate16(uint64_t value) {
    return uint16_t(std::min<uint64_t>(value, 65535));
}

uint64_t RoundedDiv(uint64_t a, uint64_t b) {
    return (a + b / 2) / b;
}

// amount per time × 360: mm³/ms and 1/100 m per ms give 1/100 l/h and 1/10 km/h.
uint64_t Rate(uint32_t amount, uint32_t time) {
    if (amount > LargeAmount && time / 360 > 0)
        return RoundedDiv(amount, time / 360);
    return RoundedDiv(uint64_t(amount) * 360, time);
}

uint16_t TripConsumption(uint32_t fuel, uint32_t distance) {
    if (distance <= MinTripDistance)
        return MaxTripConsumption;
    // Both figures are divided by k so that 1000 × fuel stayed within 32 bits in the original; a fuel sum
    // above 0x60000000 mm³ (k = 0) takes the largest k the rule gives.
    uint64_t k = fuel == 0 ? 2000 : FuelScaleNumerator / fuel;
    k = k > 1000 ? 1 : k == 0 ? 1003 : 1000 / k + 3;
    const uint64_t scaledDistance = distance / k;
    if (scaledDistance == 0)
        return MaxTripConsumption;
    return uint16_t(std::min<uint64_t>(RoundedDiv(1000 * (fuel / k), scaledDistance), MaxTripConsumption));
}

} // namespace

TTripValues TripValues(const TTripSums& s) {
    TTripValues v;
    v.TripTime = Saturate16(RoundedDiv(s.TimeTotal, 1000));
    v.IdleTime = Saturate16(RoundedDiv(s.TimeIdle, 1000));
    v.Distance = uint32_t(RoundedDiv(s.Distance, 100));
    v.Fuel = Saturate16(RoundedDiv(s.FuelTotal, 10000));
    v.IdleFuel = Saturate16(RoundedDiv(s.FuelIdle, 10000));
    v.IdleConsumption = s.TimeIdle > 99 ? Saturate16(Rate(s.FuelIdle, s.TimeIdle)) : 0;
    v.CurrentConsumption = s.TimeLast > 9 ? Saturate16(Rate(s.FuelLast, s.TimeLast)) : 0;
    v.AverageSpeed = s.TimeTotal > 1000 ? Saturate16(Rate(s.Distance, s.TimeTotal)) : 0;
    v.TripConsumption = TripConsumption(s.FuelTotal, s.Distance);
    return v;
}

std::string DurationText(uint32_t seconds) {
    uint32_t t = seconds;
    if (t >= 3600)
        t += 30; // to the nearest minute
    const uint32_t h = t / 3600, m = (t - 3600 * h) / 60, s = t % 60;
    if (h > 0)
        return TranslateFormat("%.2d:%.2d ч:м", int(h), int(m));
    return TranslateFormat("%.2d:%.2d м:с", int(m), int(s));
}

std::string FormatFloatPattern(std::string_view pattern, double value) {
    size_t end = 0;
    int decimals = 0;
    while (end < pattern.size() && pattern[end] == '0')
        ++end;
    if (end < pattern.size() && pattern[end] == '.') {
        ++end;
        while (end < pattern.size() && pattern[end] == '0') {
            ++end;
            ++decimals;
        }
    }
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0)
        rounded = 0; // no "-0"
    return FormatText("%.*f", decimals, rounded) + std::string(pattern.substr(end));
}

TTripTexts TripTexts(const TTripValues& v) {
    TTripTexts t;
    t.Time = DurationText(v.TripTime);
    t.TimeIdle = DurationText(v.IdleTime);
    t.Distance = v.Distance < 1000 ? FormatFloatPattern(Translate("0 м"), v.Distance)
                                   : FormatFloatPattern(Translate("0.0 км"), v.Distance / 1000.0);
    t.Fuel = FormatFloatPattern(Translate("0.00 л"), v.Fuel / 100.0);
    t.FuelIdle = FormatFloatPattern(Translate("0.00 л"), v.IdleFuel / 100.0);
    const bool plain = v.AverageSpeed == 0 || v.AverageSpeed >= PlainSpeedFrom;
    t.SpeedAvg = FormatFloatPattern(plain ? "0" : "0.0", v.AverageSpeed / 10.0) + " " + Translate("км/ч");
    // Below the distance an average needs, the capped figure would read as a real one.
    t.Common = v.Distance * 100 <= MinTripDistance ? std::string(NoFigure)
                                                   : FormatFloatPattern("0.0", v.TripConsumption / 100.0);
    t.LastFE = FormatFloatPattern("0.0", v.CurrentConsumption / 100.0);
    t.IdleFE = FormatFloatPattern("0.00", v.IdleConsumption / 100.0);
    return t;
}

} // namespace velmora
