// The nine figures the trip computer shows, computed from its sums with the rounding and caps of the
// display, and their texts (durations, distance, litres, averages). Pure functions, any thread; the
// texts pass through the dictionary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trip/trip_computer.h"

namespace velmora {

// Every figure is unsigned 16-bit except the distance; a figure beyond 16 bits shows 65535.
struct TTripValues {
    uint16_t TripTime = 0;           // s
    uint16_t IdleTime = 0;           // s
    uint32_t Distance = 0;           // m
    uint16_t Fuel = 0;               // 1/100 l
    uint16_t IdleFuel = 0;           // 1/100 l
    uint16_t IdleConsumption = 0;    // 1/100 l/h
    uint16_t CurrentConsumption = 0; // 1/100 l/h
    uint16_t AverageSpeed = 0;       // 1/10 km/h
    uint16_t TripConsumption = 0;    // 1/100 l per 100 km, at most 4000
};

TTripValues TripValues(const TTripSums& sums);

// "%.2d:%.2d м:с" below an hour, else "%.2d:%.2d ч:м" rounded to the minute (translated).
std::string DurationText(uint32_t seconds);
// A Delphi-style float pattern: a leading "0", "0.0" or "0.00" (the digits after the point) and a
// literal rest ("0.0 км"). The value is rounded half away from zero; the decimal separator is '.'.
std::string FormatFloatPattern(std::string_view pattern, double value);

// The texts of the tab's figures, as the display and the trip log show them.
struct TTripTexts {
    std::string Time, TimeIdle, Distance, Fuel, FuelIdle, SpeedAvg, Common, LastFE, IdleFE;
};
TTripTexts TripTexts(const TTripValues& values);

} // namespace velmora
