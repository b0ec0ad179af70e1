// Colour rules: the background colour of a value field chosen from the value (thresholds per rule), and
// the engine state the rules keep for the whole program (coolant temperature, engine speed) and the
// steady-value watch of rule 99. Called on the window thread; the kept values may be read anywhere.
#pragma once

#include <cstdint>

namespace velmora {

// Colours as the window system has them: 0x00BBGGRR.
constexpr uint32_t ColorWhite = 0xFFFFFF;
constexpr uint32_t ColorBlack = 0x000000;
constexpr uint32_t ColorRed = 0x0000FF;
constexpr uint32_t ColorYellow = 0x00FFFF;
constexpr uint32_t ColorGreen = 0x008000;
constexpr uint32_t ColorBlue = 0xFF0000;

// The colour lightened half-way towards white, channel by channel (rounded down).
constexpr uint32_t Pale(uint32_t colour) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t channel = (colour >> shift) & 0xFF;
        out |= (channel + (255 - channel) / 2) << shift;
    }
    return out;
}

// Background colour of a value field for `rule` and value `v`; may post WM_USER+22 (rule 99).
uint32_t ColorOf(int rule, float v);

// The values rules 100 and 101 keep (rounded): the last coolant temperature (°C) and engine speed (rpm).
int KeptCoolantTemperature();
int KeptEngineSpeed();
// Forgets the kept values and the rule-99 watch (a new connection; tests).
void ResetColorRules();

} // namespace velmora
