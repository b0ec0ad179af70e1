#include "params/poll_levels.h"

#include "params/param_list.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr uint8_t Rarely = 255;
constexpr uint8_t DefaultLevel = 4;

struct TLevelRow {
    bool Lh; // LH set; otherwise the HFM/PMS set (EZ units are not polled)
    uint16_t FirstNumber;
    uint16_t LastNumber;
    uint8_t Running;
    uint8_t Standing;
};

// Numbers as in builtin_hfm_set.cpp and builtin_lh_set.cpp; the first row that holds a number wins.
constexpr TLevelRow LevelRows[] = {
    // HFM/PMS
    {false, 0, 0, 2, 2},               // coolant
    {false, 1, 7, 0, 0},               // speed, injection, O2 control, throttle, air mass, O2 sensor
    {false, 8, 10, 90, Rarely},        // adaptations
    {false, 108, 109, 90, Rarely},     // idle adaptations
    {false, 11, 11, 0, 2},             // ignition angle
    {false, 12, 12, 2, 2},             // intake air
    {false, 13, 14, 30, 30},           // trimming plug, CO resistor
    {false, 15, 15, 0, 4},             // road speed
    {false, 16, 16, 30, 30},           // altitude pressure
    {false, 17, 17, 0, 2},             // load
    {false, 20, 22, Rarely, Rarely},   // code number
    {false, 23, 25, 0, 0},             // status bytes
    {false, 27, 27, 0, 0},             // cruise-control contacts
    {false, 28, 28, 0, 4},             // front wheel speed
    {false, 34, 34, 0, 0},             // cruise-control status
    {false, 37, 39, Rarely, Rarely},   // coding number
    {false, 41, 41, 2, 2},             // battery
    {false, 141, 141, 2, 2},           // battery
    {false, 43, 43, 30, 30},           // coolant at start
    {false, 44, 44, 0, 2},             // air-mass meter voltage
    {false, 50, 50, Rarely, Rarely},   // HFM identifier
    {false, 53, 61, 30, 30},           // ignition fault counters
    {false, 62, 67, 2, 10},            // ignition coils
    {false, 68, 73, 1, 10},            // knock angles
    {false, 74, 74, 0, 4},             // MOT valve
    {false, 79, 79, 0, 0},             // status byte
    {false, 84, 84, 0, 2},             // theoretical load
    {false, 100, 112, 2, 2},           // converter readings
    {false, 120, 121, Rarely, Rarely}, // variant bits
    {false, 162, 164, 2, 10},          // ignition coils
    {false, 165, 173, 0, 4},           // torques, pedal
    // LH
    {true, 0, 0, 2, 2},               // coolant 1
    {true, 1, 1, 0, 0},               // engine speed
    {true, 2, 2, 2, 2},               // coolant 2
    {true, 3, 7, 0, 0},               // injection, on/off ratio, throttle, air mass, O2 sensor
    {true, 8, 10, 90, Rarely},        // adaptations
    {true, 12, 12, 2, 2},             // intake air
    {true, 13, 13, Rarely, Rarely},   // trimming plug
    {true, 15, 15, 0, 4},             // road speed
    {true, 16, 16, 30, 30},           // altitude pressure
    {true, 20, 29, 0, 2},             // status bytes, fuel shut-off, warm-up, enrichment
    {true, 41, 41, 2, 2},             // battery
    {true, 44, 44, 0, 2},             // air-mass meter voltage
    {true, 73, 74, 0, 4},             // injection reading, MOT valve
    {true, 128, 129, Rarely, Rarely}, // keep-alive bytes
};

uint8_t LevelOf(bool lh, uint16_t number, bool engineRunning) {
    for (const TLevelRow& row : LevelRows)
        if (row.Lh == lh && number >= row.FirstNumber && number <= row.LastNumber)
            return engineRunning ? row.Running : row.Standing;
    return DefaultLevel;
}

} // namespace

void AssignPollLevels(TListParams& params, int unitType, bool engineRunning) {
    bool lh = unitType == UnitLh;
    for (const auto& param : params)
        param->PollLevel = LevelOf(lh, param->Number, engineRunning);
}

} // namespace velmora
