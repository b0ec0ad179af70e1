// A recording as the window replays it: what it is (file, date, car, whether its times were estimated),
// the unit and parameter set it came from, and its values and fault reads in the order of its clock
// (ms from the session's start). Built once when a recording is opened, then only read. Window thread.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine_link/ecu_ident.h"
#include "faults/fault_context.h"
#include "faults/fault_memory.h"
#include "params/param_list.h"

namespace velmora {

// One parameter read: its bytes as the unit sent them, at `Ms` on the recording's clock.
struct TReplayValue {
    uint32_t Ms = 0;
    uint8_t Number = 0;
    std::array<uint8_t, 4> Bytes{};
};

// The fault memory as a complete read left it.
struct TReplayFaults {
    uint32_t Ms = 0;
    TFaultBuf Buffer{};
};

struct TReplayRecording {
    std::filesystem::path File;
    std::string Name; // the file's name, as the top bar shows it
    std::string Date; // when it was recorded, local time ("10.12.2026 14:03")
    std::string Car;  // the unit and, when read, the VIN
    // No times were written with it: the values are spaced at the line's nominal rate.
    bool TimesEstimated = false;
    std::string TimesText; // what the top bar says then (translated); empty: a general notice
    uint32_t DurationMs = 0;
    TEcuIdent Ident;
    TFaultContext FaultContext;
    // The set the values are decoded with; the replay writes the values into its records.
    std::shared_ptr<TListParams> Params;
    std::vector<TReplayValue> Values; // by Ms, in the order read
    std::vector<TReplayFaults> Faults;
};

} // namespace velmora
