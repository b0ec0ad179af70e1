// The engine-mode observer: watches the values the worker reads, decides what the engine is doing
// (cranking, overrun cut-off, full load, an observation worth watching ...), tells the window through
// WM_USER+14 (4 and the code when a mode starts, -4 and the code when it ends) and retunes the polling
// of the parameter set so that the values that matter in the mode are read more often. Worker thread;
// Mode() may be read from any thread.
//
// Inputs are found by identifier (param_ids.h); a value older than StaleMs counts as unknown, and a
// rule that needs an unknown value does not hold. The rules, first that holds wins (a rule must hold
// for its hold time before its mode starts; the mode shown keeps going while any of its rules holds):
//
//   code  text                                 holds when                                     hold
//    1    Пуск                                 starter signal on                                0 ms
//    1    Пуск                                 1 <= engine speed < 350 rpm (cranking)         500 ms
//   99    Ожидание пуска                       engine speed 0                                1000 ms
//   98    ПХХ/Отсечка                          overrun cut-off bit on, speed >= 1000 rpm        0 ms
//   98    ПХХ/Отсечка                          idle contact on, >= 1500 rpm, >= 10 km/h       300 ms
//    3    Full Load                            full-load bit on                                 0 ms
//    3    Full Load                            throttle >= 75°, >= 1000 rpm                   300 ms
//    7    Post Start Enrichment                post-start enrichment on                         0 ms
//    8    After Post Start Enrichment          warm-up enrichment on, engine turning            0 ms
//   95    Transmission shift point retard      shift point retard bit on                        0 ms
//    5    Idle Problem                         idle problem bit on                              0 ms
//  109    ignition observation                 knock control on, >= 1000 rpm                 1000 ms
//  104    mixture correction at its limit      |O2 control| >= 20 %, coolant >= 70°, >= 500 rpm 5000 ms
//  106    idle smoothness observation          idle contact on, 500..1099 rpm, coolant >= 70° 5000 ms
//  107    O2 observation, raised idle          2000..3199 rpm, < 3 km/h, idle contact off,    3000 ms
//                                              coolant >= 70°
//  108    O2 observation, steady driving       >= 30 km/h, 1500..3999 rpm, idle contact off,  5000 ms
//                                              coolant >= 70°
//
// Polling in a mode (engine_mode_rules.cpp): the whole set is held back for the mode's pause (renewed
// while the mode lasts), the values its rules read are polled every 500 ms so that the mode can end,
// and the mode's own values get their intervals (mode 98: engine speed every 300 ms, road speed every
// 1000 ms; 107 and 108: the oxygen sensor every 3 ms; the table has the rest). Modes without a pause
// (99, 7, 8, 95) leave the polling as it is. When no mode is shown the pauses and intervals are
// cleared. When the engine starts or stops, the poll levels of the set
// are reassigned (poll_levels.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/host.h"

namespace velmora {

class TECUparam;
class TListParams;

namespace EngineMode {
constexpr uint8_t None = 255;
constexpr uint8_t Start = 1;
constexpr uint8_t FullLoad = 3;
constexpr uint8_t IdleProblem = 5;
constexpr uint8_t PostStart = 7;
constexpr uint8_t AfterPostStart = 8;
constexpr uint8_t ShiftRetard = 95;
constexpr uint8_t OverrunCutOff = 98;
constexpr uint8_t WaitingForStart = 99;
constexpr uint8_t MixtureLimit = 104;
constexpr uint8_t IdleSmoothness = 106;
constexpr uint8_t O2RaisedIdle = 107;
constexpr uint8_t O2Driving = 108;
constexpr uint8_t Ignition = 109;
} // namespace EngineMode

// The window message of the engine-mode label and its events (wParam); lParam is the mode code.
constexpr uint32_t WmEngineMode = WM_USER + 14;
constexpr intptr_t ModeShown = 4;
constexpr intptr_t ModeCleared = -4;

// What the observer watches; the index of a value in its snapshot.
enum class TQuantity : uint8_t {
    EngineSpeed,
    Coolant,
    Throttle,
    RoadSpeed,
    O2Control,
    IdleContact,
    Starter,
    PostStart,
    WarmUp,
    CutOff,
    FullLoad,
    KnockControl,
    ShiftRetard,
    IdleProblem,
    Count
};

class TEngineModeObserver {
public:
    // A value older than this (ms) is not used to decide a mode.
    static constexpr uint32_t StaleMs = 5000;
    // Interval (ms) of the values a mode's rules read, while the mode is shown.
    static constexpr int32_t DecidingPollMs = 500;

    // `params` is the set whose polling the observer retunes; it must outlive the observer.
    TEngineModeObserver(TListParams& params, int unitType);

    // The value handler's call after every read of `param`.
    void OnValue(const TECUparam& param);
    // The same on a clock of the caller's (a replayed recording's, whose values carry its time).
    void OnValue(const TECUparam& param, uint32_t now);
    // Connection start or end: clears a shown mode (posting its end), forgets the values and gives the
    // set the poll levels of a standing engine.
    void Reset();
    uint8_t Mode() const { return CurrentMode; }

private:
    struct TSample {
        float Value;
        uint32_t Tick;
    };

    void Take(TQuantity quantity, float value, uint32_t tick);
    // The value if it is known and fresh.
    std::optional<float> Fresh(TQuantity quantity, uint32_t now) const;
    uint8_t Decide(uint32_t now);
    void ChangeMode(uint8_t mode, uint32_t now);
    void ApplyModePolling(uint32_t now);
    void FollowEngineState();

    TListParams& Params;
    int UnitType;
    std::atomic<uint8_t> CurrentMode{EngineMode::None};
    std::array<std::optional<TSample>, size_t(TQuantity::Count)> Samples;
    // Per rule of the table: tick since which it has held.
    std::vector<std::optional<uint32_t>> HoldingSince;
    std::optional<bool> EngineRunning;
    uint32_t PauseEnd = 0;
};

} // namespace velmora
