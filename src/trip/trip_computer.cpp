#include "trip/trip_computer.h"

#include <cmath>
#include <limits>

#include "lang/dictionary.h"
#include "params/ecu_param.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr uint32_t Bit16 = 65536;
// mm³ = dt · rpm · openings · (inj − dead) · flow / (3 600 000 · divisor) with dt in ms, flow in cm³/min
// and the injection in raw units; 55 · 2^16 stands in for 3 600 000 (0.125 % more).
constexpr uint64_t FuelScale = 55;
constexpr uint32_t TurningFlag = 1, MovingFlag = 2;

// Halves x (adding 1 to the exponent) while it is 2^16 or more, or even and not 0.
void Normalise(uint64_t& x, int& e) {
    while (x >= Bit16 || (x != 0 && x % 2 == 0)) {
        x /= 2;
        ++e;
    }
}

} // namespace

uint32_t InjectionsPerRev(int unitType, uint8_t identByte4, uint8_t identByte5) {
    if ((identByte4 == '2' && identByte5 == '8') || (identByte4 == '3' && identByte5 == '2'))
        return 3;
    return unitType == UnitPms ? 4 : 2;
}

uint32_t FuelQuantum(const TInjectorSetup& setup, uint32_t dtMs, int64_t rpm, uint32_t inj) {
    // Each product is taken in 64 bits from a normalised x (below 2^16), so none overflows, whatever the
    // inputs; the normalising keeps the arithmetic of the 32-bit original.
    uint64_t x = 0;
    int e = 0;
    x = uint64_t(setup.InjPerRev) * dtMs;
    Normalise(x, e);
    x *= uint64_t(rpm > 0 ? rpm : 0);
    Normalise(x, e);
    x = inj > setup.InjDeadTime ? x * (inj - setup.InjDeadTime) : 0;
    Normalise(x, e);
    x *= setup.InjFlow;
    Normalise(x, e);
    while (e > 16 && (x & 0x80000000u) == 0) {
        x *= 2;
        --e;
    }
    uint64_t d = uint64_t(setup.InjDivisor) * FuelScale;
    if (e <= 16)
        d <<= 16 - e;
    else
        d = e - 16 < 64 ? d >> (e - 16) : 0;
    if (d == 0)
        return x == 0 ? 0 : std::numeric_limits<uint32_t>::max();
    const uint64_t q = (x + d / 2) / d;
    return q > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max() : uint32_t(q);
}

bool TTripComputer::TripReset(const TListParams* set, uint32_t injPerRev) {
    Set = set;
    InjPerRevOfUnit = injPerRev;
    PrevRpm = 0;
    PrevSpeed = 0;
    TripFlags = 0;
    RpmTick = InjTick = SpeedTick = 0;
    for (std::atomic<uint32_t>* sum :
         {&Distance, &FuelTotal, &FuelIdle, &FuelLast, &TimeTotal, &TimeIdle, &TimeLast})
        sum->store(0);
    Injection = set ? set->FindById(ParamId::InjectionTime) : nullptr;
    bool ready = set != nullptr;
    if (set && !Injection) {
        AddLog(Translate("параметр \"Время впрыска\" не найден"));
        ready = false;
    }
    if (set && !set->FindById(ParamId::EngineSpeed)) {
        AddLog(Translate("параметр \"Обороты двигателя\" не найден"));
        ready = false;
    }
    if (ready && Injection->Divisor < MinInjDivisor)
        ready = false;
    if (ready) {
        Injectors.InjPerRev = injPerRev;
        Injectors.InjDivisor = Injection->Divisor;
        Injectors.InjFlow = InjectorFlow;
        Injectors.InjDeadTime = Injectors.InjDivisor * 2 / 5;
    }
    TripReady = ready;
    return ready;
}

void TTripComputer::Add(std::atomic<uint32_t>& sum, uint32_t value) {
    // A sum stops at its top instead of starting again from 0 (49 days of engine time, 4295 l).
    const uint32_t old = sum.load();
    sum.store(old > std::numeric_limits<uint32_t>::max() - value ? std::numeric_limits<uint32_t>::max()
                                                                 : old + value);
}

TTripSums TTripComputer::Sums() const {
    return {Distance.load(),  FuelTotal.load(), FuelIdle.load(), FuelLast.load(),
            TimeTotal.load(), TimeIdle.load(),  TimeLast.load()};
}

uint32_t TTripComputer::TripStep(const TECUparam* param) {
    if (!param) {
        TripReset(Set, InjPerRevOfUnit);
        return 0;
    }
    if (!TripReady)
        return 0;
    switch (param->FirstId()) {
    case ParamId::EngineSpeed:
        return EngineSpeedStep(*param);
    case ParamId::InjectionTime:
        InjTick = param->LastTick;
        return TripChange::InjectionTime;
    case ParamId::RoadSpeed:
        return RoadSpeedStep(*param);
    default:
        return 0;
    }
}

uint32_t TTripComputer::EngineSpeedStep(const TECUparam& param) {
    uint32_t changes = TripChange::EngineSpeed;
    const uint32_t previousTick = RpmTick;
    RpmTick = param.LastTick;
    const int32_t rpm = param.AsInteger();
    TripFlags = rpm > 0 ? TripFlags | TurningFlag : TripFlags & ~TurningFlag;
    if (previousTick != 0 && (PrevRpm > 0 || rpm > 0)) {
        const uint32_t dt = RpmTick - previousTick;
        const uint32_t inj = Injection->RawWord;
        // The mean of the two samples, rounded toward zero, without overflowing 32 bits.
        const int64_t meanRpm = (int64_t(rpm) + PrevRpm) / 2;
        const uint32_t q = FuelQuantum(Injectors, dt, meanRpm, inj);
        Add(FuelTotal, q);
        Add(TimeTotal, dt);
        FuelLast = q;
        TimeLast = dt;
        changes |= TripChange::Interval;
        if (q > 0)
            changes |= TripChange::Fuel;
        if (TripFlags == TurningFlag) {
            Add(FuelIdle, q);
            Add(TimeIdle, dt);
            changes |= TripChange::IdleInterval;
        }
    }
    PrevRpm = rpm;
    return changes;
}

uint32_t TTripComputer::RoadSpeedStep(const TECUparam& param) {
    uint32_t changes = TripChange::RoadSpeed;
    const double speed = param.AsSingle();
    TripFlags = speed != 0 ? TripFlags | MovingFlag : TripFlags & ~MovingFlag;
    const uint32_t previousTick = SpeedTick;
    SpeedTick = param.LastTick;
    if ((TripFlags & MovingFlag) && previousTick != 0) {
        // km/h × ms / 72 = 1/100 m (the sum of two speeds is twice their mean); a negative speed adds
        // nothing, and a step beyond 32 bits stops at the top.
        const double product = std::round((speed + PrevSpeed) * double(SpeedTick - previousTick) + 36);
        const double step = product > 0 ? std::floor(product / 72) : 0;
        const uint32_t added = step >= double(std::numeric_limits<uint32_t>::max())
                                   ? std::numeric_limits<uint32_t>::max()
                                   : uint32_t(step);
        if (added > 0) {
            Add(Distance, added);
            changes |= TripChange::Distance;
        }
    }
    PrevSpeed = speed;
    return changes;
}

} // namespace velmora
