// The tables of the engine-mode observer: the rules that decide a mode and the polling each mode asks
// for. Read only by engine_mode.cpp (and its tests); constant, any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "params/engine_mode.h"

namespace velmora {

enum class TCompare : uint8_t {
    Unused,
    Below,      // value < limit
    AtLeast,    // value >= limit
    AbsAtLeast, // |value| >= limit
    On,         // a status: value != 0
    Off,        // a status: value == 0
};

struct TModeTerm {
    TQuantity Quantity = TQuantity::Count;
    TCompare Compare = TCompare::Unused;
    float Limit = 0;
};

struct TModeRule {
    uint8_t Code;
    uint32_t HoldMs;
    std::array<TModeTerm, 5> Terms;
};

// One interval request of a mode: by identifier or by parameter number.
struct TPollRequest {
    bool ById = true;
    uint8_t Key = 0;
    int32_t IntervalMs = 0;
};

struct TModePolling {
    uint8_t Code;
    uint8_t PauseSeconds; // the back-off of the whole set; 0: none
    std::array<TPollRequest, 4> Requests;
};

// In priority order.
std::span<const TModeRule> ModeRules();
std::span<const TModePolling> ModePollings();
// The identifier a quantity is found by.
uint8_t QuantityId(TQuantity quantity);

} // namespace velmora
