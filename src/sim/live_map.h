// The unit's live memory cells: which (command, address) holds which engine signal, and how the unit
// encodes the signal into raw bytes. Tables of rows, one per map kind; plain functions, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "sim/sim_profile.h"

namespace velmora {

// Everything the engine model publishes (engine_model.h gives the units).
enum class TSignal : uint8_t {
    Coolant,      // deg C
    Rpm,          // 1/min
    TargetRpm,    // 1/min
    InjMs,        // ms per injection
    O2Control,    // % of mixture correction
    Throttle,     // deg
    AirMass,      // kg/h
    O2mV,         // mV
    AdaptIdleAir, // kg/h
    AdaptIdlePct, // %
    AdaptLower,   // %
    AdaptUpper,   // %
    Ignition,     // deg before TDC
    AirTemp,      // deg C
    Speed,        // km/h
    Pressure,     // mbar
    Load,         // %
    Battery,      // V
    Flags23,      // bits: 0x01 idle, 0x02 P/N, 0x04 A/C, 0x08 starter
    Flags24,      // bits: 0x08 camshaft actuator, 0x10 EVAP
    Flags25,      // bits: 0x01 actuator mode, 0x02 post-start, 0x04 warm-up, 0x08 cut-off, 0x10 full load
    CoolantAtStart,
    RunSeconds,    // s since start
    Fan,           // % output
    ThrottleStopV, // V of the throttle stop potentiometer
    HfmVolts,      // V of the air-mass meter
    Misfire1,
    Misfire2,
    Misfire3,
    Misfire4,
    Misfire5,
    Misfire6,    // counts
    OnOffRatio,  // % (LH mixture duty)
    ThrottlePct, // % of full throttle
    LhFlags20,   // LH bits: 0x10 post-start enrichment
    LhFlags23,   // LH bits: 0x08 starter, 0x10 idle
    WarmingUp,   // 1 while the engine is below 70 deg C
    // Held by the unit, not the engine:
    CodingHigh,
    CodingMid,
    CodingLow, // coding unit number bytes
    TesterCode1,
    TesterCode2,
    TesterCode3,
    Period90,
    Period91,
    Period92,
    Period93,
    Period94,
    Period95, // cylinder periods, 1/PeriodTicksPerMs ms
    Constant, // the row's own value (Value field)
};

struct TLiveCell {
    uint8_t Cmd;
    uint8_t Addr;
    uint8_t Size; // 1 or 2 bytes
    TSignal Signal;
    // How the raw number r relates to the value v, in the CALC notation the descriptions use: "*k"
    // (v = r*k), "/k" (v = r/k), "+k" / "-k" (v = r+k / r-k), "(r;v)-(r;v)..." (piecewise linear);
    // empty: v = r.
    std::string_view Encoding;
    double Value = 0; // for TSignal::Constant
};

std::span<const TLiveCell> LiveCells(TLiveMapKind kind);
// The cell at (cmd, addr) or its second byte: `second` tells which byte of the cell was hit.
const TLiveCell* FindLiveCell(TLiveMapKind kind, uint8_t cmd, uint8_t addr, bool& second);

// The raw number for value v (rounded, clamped to the cell's range); nullopt on an encoding it cannot
// read (a table fault, caught by the tests).
std::optional<uint32_t> EncodeValue(std::string_view encoding, double v, int size);

} // namespace velmora
