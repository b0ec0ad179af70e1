#include "params/color_rules.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

enum class TCompare { Below, AtOrBelow, Above, AtOrAbove };

// One threshold of a rule. Rows of a rule are tested in order and a later match overrides an earlier
// one. Limits are compared at single precision, so a value shown as 13.2 is not below 13.2.
struct TThreshold {
    int Rule;
    TCompare Compare;
    float Limit;
    uint32_t Colour;
    bool OnlyEngineStopped;
};

constexpr TThreshold Thresholds[] = {
    {100, TCompare::AtOrAbove, 100.0f, Pale(ColorRed), false},
    {104, TCompare::Below, -15.0f, Pale(ColorYellow), false},
    {104, TCompare::Above, 15.0f, Pale(ColorYellow), false},
    {104, TCompare::Below, -20.0f, Pale(ColorRed), false},
    {104, TCompare::Above, 20.0f, Pale(ColorRed), false},
    {105, TCompare::Below, 0.5f, Pale(ColorRed), false},
    {108, TCompare::Below, -1.5f, Pale(ColorYellow), false},
    {108, TCompare::Above, 1.5f, Pale(ColorYellow), false},
    {108, TCompare::Below, -2.0f, Pale(ColorRed), false},
    {108, TCompare::Above, 2.0f, Pale(ColorRed), false},
    {109, TCompare::Below, -10.0f, Pale(ColorYellow), false},
    {109, TCompare::Above, 10.0f, Pale(ColorYellow), false},
    {109, TCompare::Below, -17.0f, Pale(ColorRed), false},
    {109, TCompare::Above, 17.0f, Pale(ColorRed), false},
    {112, TCompare::Below, -20.0f, Pale(ColorBlue), false},
    {112, TCompare::Above, 40.0f, Pale(ColorYellow), false},
    {112, TCompare::Above, 60.0f, Pale(ColorRed), false},
    {116, TCompare::AtOrBelow, 850.0f, Pale(ColorRed), false},
    {116, TCompare::AtOrAbove, 1100.0f, Pale(ColorRed), false},
    {141, TCompare::Below, 13.2f, Pale(ColorYellow), false},
    {141, TCompare::Above, 14.5f, Pale(ColorYellow), false},
    {141, TCompare::Below, 12.7f, Pale(ColorRed), false},
    {141, TCompare::Above, 14.8f, Pale(ColorRed), false},
    {141, TCompare::Below, 12.4f, Pale(ColorYellow), true},
    {141, TCompare::Above, 14.5f, Pale(ColorYellow), true},
    {141, TCompare::Below, 12.1f, Pale(ColorRed), true},
    {141, TCompare::Above, 14.8f, Pale(ColorRed), true},
};

constexpr int CoolantRule = 100;
constexpr int EngineSpeedRule = 101;
constexpr int SteadyValueRule = 99;
constexpr uint32_t SteadyAfterMs = 1000;
constexpr uint32_t SteadyValueMessage = WM_USER + 22;

std::atomic<int> keptCoolant{0};
std::atomic<int> keptEngineSpeed{0};

// Rule 99's watch: the last value seen and when it was first seen.
struct TSteadyWatch {
    std::mutex Lock;
    bool HasValue = false;
    float Value = 0;
    uint32_t Since = 0;
};
TSteadyWatch steadyWatch;

int Rounded(float v) {
    double rounded = std::nearbyint(double(v)); // half to even
    return std::isnan(rounded) ? 0 : int(std::clamp(rounded, -2147483648.0, 2147483647.0));
}

bool Matches(TCompare compare, float v, float limit) {
    switch (compare) {
    case TCompare::Below:
        return v < limit;
    case TCompare::AtOrBelow:
        return v <= limit;
    case TCompare::Above:
        return v > limit;
    case TCompare::AtOrAbove:
        return v >= limit;
    }
    return false;
}

// Rule 99: a ratio that settles on a value tells a coded state (30, 50, 95 are the good ones).
uint32_t SteadyValueColor(float v) {
    uint32_t now = Clock().TickCount();
    {
        std::lock_guard lock(steadyWatch.Lock);
        if (!steadyWatch.HasValue || steadyWatch.Value != v) {
            steadyWatch.HasValue = true;
            steadyWatch.Value = v;
            steadyWatch.Since = now;
            Host().PostMessage(SteadyValueMessage, 0, 0);
            return ColorWhite;
        }
        if (TicksSince(steadyWatch.Since, now) <= SteadyAfterMs)
            return ColorWhite;
    }
    int code = Rounded(v);
    int speed = keptEngineSpeed;
    uint32_t colour;
    switch (code) {
    case 30:
        colour = speed == 0 ? Pale(ColorGreen) : Pale(ColorRed);
        break;
    case 50:
        colour = (speed > 500 && keptCoolant > 70) ? Pale(ColorYellow) : ColorWhite;
        break;
    case 95:
        colour = Pale(ColorGreen);
        break;
    default:
        colour = Pale(ColorRed);
        break;
    }
    Host().PostMessage(SteadyValueMessage, code, speed);
    return colour;
}

} // namespace

uint32_t ColorOf(int rule, float v) {
    if (rule == SteadyValueRule)
        return SteadyValueColor(v);
    if (rule == CoolantRule)
        keptCoolant = Rounded(v);
    if (rule == EngineSpeedRule)
        keptEngineSpeed = Rounded(v);
    bool engineStopped = keptEngineSpeed == 0;
    uint32_t colour = ColorWhite;
    for (const TThreshold& row : Thresholds) {
        if (row.Rule == rule && (!row.OnlyEngineStopped || engineStopped) &&
            Matches(row.Compare, v, row.Limit))
            colour = row.Colour;
    }
    return colour;
}

int KeptCoolantTemperature() {
    return keptCoolant;
}

int KeptEngineSpeed() {
    return keptEngineSpeed;
}

void ResetColorRules() {
    keptCoolant = 0;
    keptEngineSpeed = 0;
    std::lock_guard lock(steadyWatch.Lock);
    steadyWatch.HasValue = false;
}

} // namespace velmora
