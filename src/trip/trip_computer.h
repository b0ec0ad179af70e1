// The trip computer's accounting: fuel from injection time, engine speed and a fixed injector flow,
// distance from the road speed, time with the engine turning, all in integer units (mm³, 1/100 m, ms).
// TripReset and TripStep run on the worker thread; Sums() and Ready() may be read from any thread (each
// figure is an atomic 32-bit value, so a reader may mix two steps, never two halves of one value).
#pragma once

#include <atomic>
#include <cstdint>

namespace velmora {

class TECUparam;
class TListParams;

// What one TripStep took or added (the wParam of WM_USER+21).
namespace TripChange {
constexpr uint32_t EngineSpeed = 0x01;
constexpr uint32_t InjectionTime = 0x02;
constexpr uint32_t RoadSpeed = 0x40;
constexpr uint32_t Distance = 0x80;
constexpr uint32_t Interval = 0x100;
constexpr uint32_t IdleInterval = 0x200;
constexpr uint32_t Fuel = 0x400;
} // namespace TripChange

// The injector set-up FuelQuantum works with.
struct TInjectorSetup {
    uint32_t InjPerRev = 2;    // injector openings per crankshaft revolution
    uint32_t InjDivisor = 125; // raw injection-time units per ms
    uint32_t InjFlow = 198;    // cm³ per minute
    uint32_t InjDeadTime = 50; // raw units (0.4 ms)
};

// The sums of a trip.
struct TTripSums {
    uint32_t Distance = 0;  // 1/100 m
    uint32_t FuelTotal = 0; // mm³
    uint32_t FuelIdle = 0;  // mm³ while turning and standing
    uint32_t FuelLast = 0;  // mm³ of the last interval
    uint32_t TimeTotal = 0; // ms with the engine turning
    uint32_t TimeIdle = 0;  // ms of TimeTotal while standing
    uint32_t TimeLast = 0;  // ms of the last interval
};

// Openings per revolution for the unit: 2; 4 on a PMS unit; 3 when the identification block holds "28"
// or "32" at bytes 4 and 5 (six cylinders; this wins over the unit type).
uint32_t InjectionsPerRev(int unitType, uint8_t identByte4, uint8_t identByte5);

// Fuel in mm³ of an interval of `dtMs` at `rpm` with the injection raw value `inj`, in 32-bit integer
// steps with a binary exponent. Results beyond 32 bits give 0xFFFFFFFF.
uint32_t FuelQuantum(const TInjectorSetup& setup, uint32_t dtMs, int64_t rpm, uint32_t inj);

class TTripComputer {
public:
    static constexpr uint32_t InjectorFlow = 198;  // cm³/min
    static constexpr uint32_t MinInjDivisor = 101; // raw units per ms; coarser values give no trip

    // The prerequisite check over `set` (null: not ready); logs (translated) which parameter is missing.
    // All sums and ticks start at 0. Returns TripReady.
    bool TripReset(const TListParams* set, uint32_t injPerRev);
    // Accounts one value the worker has read; nullptr resets (without a set: not ready). Returns the
    // changes of this step (TripChange bits), 0 when nothing was taken.
    uint32_t TripStep(const TECUparam* param);

    bool Ready() const { return TripReady.load(); }
    TTripSums Sums() const;
    TInjectorSetup Setup() const { return Injectors; }

private:
    void Add(std::atomic<uint32_t>& sum, uint32_t value);
    uint32_t EngineSpeedStep(const TECUparam& param);
    uint32_t RoadSpeedStep(const TECUparam& param);

    const TListParams* Set = nullptr;
    const TECUparam* Injection = nullptr;
    std::atomic<bool> TripReady{false};
    TInjectorSetup Injectors;
    uint32_t InjPerRevOfUnit = 2;
    uint32_t TripFlags = 0; // bit 0 engine turning, bit 1 vehicle moving
    int32_t PrevRpm = 0;
    double PrevSpeed = 0;
    uint32_t RpmTick = 0, InjTick = 0, SpeedTick = 0;
    std::atomic<uint32_t> Distance{0}, FuelTotal{0}, FuelIdle{0}, FuelLast{0};
    std::atomic<uint32_t> TimeTotal{0}, TimeIdle{0}, TimeLast{0};
};

} // namespace velmora
