#include "sim/engine_model.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace velmora {

namespace {

constexpr double StepMs = 10;
// Longer gaps than this are not simulated step by step: the engine jumps ahead (an hour of idle time).
constexpr double MaxCatchUpMs = 3600000;

// Firing orders by cylinder count.
constexpr int FiringOrder4[] = {1, 3, 4, 2};
constexpr int FiringOrder6[] = {1, 5, 3, 6, 2, 4};
constexpr int FiringOrder8[] = {1, 5, 4, 8, 6, 3, 7, 2};

std::span<const int> FiringOrder(int cylinders) {
    if (cylinders <= 4)
        return FiringOrder4;
    if (cylinders <= 6)
        return FiringOrder6;
    return FiringOrder8;
}

// The drive cycle unless the profile gives one: seconds per segment and the road speed aimed at (km/h);
// it repeats.
struct TDriveSegment {
    double Seconds;
    double Speed;
};
constexpr TDriveSegment DriveCycle[] = {
    {20, 0}, {15, 50}, {25, 50}, {10, 90}, {30, 90}, {15, 30}, {10, 30}, {15, 0},
};

// Road speed per 1000 rpm in each gear, km/h.
constexpr double GearSpeed[] = {8, 14, 22, 31, 40};

constexpr double ThermostatC = 88;

} // namespace

TEngineModel::TEngineModel(const TSimProfile& profile)
    : Profile(profile), NoiseState(profile.Seed ? profile.Seed : 1) {
    Coolant = profile.Start == TEngineStart::Cold ? profile.AmbientC : profile.CoolantC;
    CoolantStart = Coolant;
    AirTemp = profile.AmbientC;
    AdaptIdleAir = 0.6;
    if (Profile.DriveCycle.empty())
        for (const TDriveSegment& s : DriveCycle)
            Profile.DriveCycle.push_back({s.Seconds, s.Speed});
    for (int cylinder : profile.FaultyInjectors)
        if (cylinder >= 1 && cylinder <= 6)
            FaultyMask |= uint8_t(1 << cylinder);
}

double TEngineModel::Noise() {
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        NoiseState ^= NoiseState << 13;
        NoiseState ^= NoiseState >> 17;
        NoiseState ^= NoiseState << 5;
        sum += double(NoiseState) / 4294967295.0 * 2 - 1;
    }
    return sum / 3 * 1.7;
}

void TEngineModel::AdvanceTo(double nowMs) {
    if (!Started) {
        Started = true;
        NowMs = StartMs = RestartMs = nowMs;
        Rpm = TargetRpm = RpmShown = Profile.IdleRpm;
        LastFiringMs = NextFiringMs = nowMs;
        return;
    }
    if (nowMs - NowMs > MaxCatchUpMs)
        NowMs = nowMs - MaxCatchUpMs;
    while (NowMs + StepMs <= nowMs) {
        NowMs += StepMs;
        Step();
        StepCrank(NowMs);
    }
}

void TEngineModel::StepDriveCycle(double dt) {
    const std::vector<TDriveLeg>& legs = Profile.DriveCycle;
    double total = 0;
    for (const TDriveLeg& leg : legs)
        total += leg.Seconds;
    DriveClock = std::fmod(DriveClock + dt, total);
    double t = DriveClock, aim = 0;
    for (const TDriveLeg& leg : legs) {
        if (t < leg.Seconds) {
            aim = leg.SpeedKmh;
            break;
        }
        t -= leg.Seconds;
    }
    double accel = std::clamp(aim - Speed, -3.5 * dt, 2.5 * dt); // km/h per s
    Speed = std::max(0.0, Speed + accel);
    CutOff = accel < -0.5 * dt && Speed > 15;
    Throttle = CutOff ? 0 : (accel > 0.1 * dt ? 18 + 8 * accel / dt : (Speed > 1 ? 6 + Speed / 12 : 2));
}

void TEngineModel::Step() {
    double dt = StepMs / 1000;
    const uint8_t dead = DeadInjectors();
    bool allOff = (dead & 0x01) != 0;
    if (allOff && !Stalled) {
        Stalled = true;
    } else if (!allOff && Stalled) {
        Stalled = false; // the idle control cranks it again
        RestartMs = NowMs;
        CoolantStart = Coolant;
    }
    double runS = (NowMs - RestartMs) / 1000;

    if (Profile.Start == TEngineStart::Drive && !Stalled && !ActuatorMode)
        StepDriveCycle(dt);
    else {
        CutOff = false;
        Speed = std::max(0.0, Speed - 3.5 * dt);
        Throttle = 2;
    }

    // Idle speed aimed at: warmer idle when cold, the throttle motor actuator moves it.
    int deadCylinders = 0;
    for (int c = 1; c <= std::min(Profile.Cylinders, 6); ++c)
        if (dead & (1 << c))
            ++deadCylinders;
    double idle = Profile.IdleRpm + std::max(0.0, 60 - Coolant) * 6 + (int(ThrottleMotor) - 64) * 12;
    if (IdleControlOff) {
        IdleDrift = std::clamp(IdleDrift + Noise() * 4, -250.0, 250.0);
        idle += IdleDrift;
    }
    idle -= deadCylinders * 45.0; // the idle control makes up only part of the lost work
    if (Speed > 8) {
        int gear = 0;
        while (gear + 1 < int(std::size(GearSpeed)) && Speed / GearSpeed[gear + 1] * 1000 >= 1500)
            ++gear;
        TargetRpm = std::max(idle, Speed / GearSpeed[gear] * 1000);
    } else {
        TargetRpm = idle;
    }
    if (Stalled)
        TargetRpm = 0;

    // Speed follows with a lag; fluctuation grows with dead cylinders and a cold engine.
    double roughness = 6 + deadCylinders * 25 + (Coolant < 40 ? 10 : 0);
    RpmNoise = RpmNoise * 0.9 + Noise() * roughness * 0.45;
    double lag = Stalled ? 0.25 : 0.12;
    Rpm += (TargetRpm - Rpm) * lag;
    if (Stalled && Rpm < 60)
        Rpm = 0;
    double shownRpm = Stalled ? Rpm : std::max(0.0, Rpm + RpmNoise);

    // Load, air, fuel and ignition.
    Load = Stalled ? 0 : std::clamp(14 + Throttle * 1.6 + (Coolant < 60 ? 4 : 0) + Noise() * 0.8, 0.0, 100.0);
    double enrich = 1 + std::max(0.0, 70 - Coolant) / 100 + (runS < 30 ? 0.3 * (1 - runS / 30) : 0);
    double mixture = 1 + (int(Mixture) - 0x80) / 256.0;
    InjMs = (Stalled || CutOff) ? 0 : (0.8 + Load * 0.1) * enrich * mixture;
    Ignition = Stalled ? 0 : (CutOff ? 2 : 8 + std::min(Speed, 90.0) / 5 + Noise() * 0.7);

    // Mixture control: the O2 sensor switches once warm; a dead cylinder leaves air in the exhaust.
    bool closedLoop = Coolant > 40 && runS > 25 && !CutOff && !Stalled;
    O2Phase = std::fmod(O2Phase + dt / 1.2, 1.0);
    double lean = deadCylinders > 0 ? 1 : 0;
    double rich = (int(Mixture) - 0x80) / 128.0;
    if (Stalled)
        O2mV = std::max(20.0, O2mV - 20);
    else if (CutOff)
        O2mV = 60;
    else if (!closedLoop)
        O2mV = 450;
    else if (lean > 0)
        O2mV = 110 + Noise() * 15;
    else
        O2mV = std::clamp((O2Phase < 0.5 + rich * 0.4 ? 780 : 160) + Noise() * 25, 0.0, 1000.0);
    double aimControl = closedLoop ? std::clamp(lean * 22 - rich * 20, -25.0, 25.0) : 0;
    O2Control += (aimControl + (closedLoop ? 3 * std::sin(O2Phase * 6.283) : 0) - O2Control) * 0.05;

    // Heat: warming up towards the thermostat; the fan holds it.
    double thermostat = Profile.CoolantC >= 70 ? std::max(Profile.CoolantC, ThermostatC) : ThermostatC;
    if (!Stalled && Coolant < thermostat)
        Coolant = std::min(thermostat, Coolant + (0.12 + Load * 0.004) * dt);
    else if (Stalled)
        Coolant -= 0.01 * dt;
    AirTemp += ((Profile.AmbientC + std::max(0.0, Coolant - Profile.AmbientC) * 0.15) - AirTemp) * 0.002;

    // Misfire counters count the dead cylinders' cycles (one per two revolutions).
    if (!Stalled && deadCylinders > 0 && std::fmod(NowMs, 1000) < StepMs)
        for (int c = 1; c <= std::min(Profile.Cylinders, 6); ++c)
            if (dead & (1 << c))
                Misfires[c - 1] = uint8_t(std::min(255.0, Misfires[c - 1] + Rpm / 120));
    Rpm = std::max(0.0, Rpm);
    RpmShown = shownRpm;
    CountFuelAndDistance(dt);
}

void TEngineModel::CountFuelAndDistance(double dt) {
    Driven += Speed / 3.6 * dt;
    const double openMs = InjMs - Profile.InjectorDeadMs;
    if (Stalled || openMs <= 0)
        return;
    int injecting = 0;
    for (int c = 1; c <= Profile.Cylinders; ++c)
        injecting += c > 6 || !(DeadInjectors() & (1 << c));
    // Each cylinder's injector opens once every two revolutions; the flow is cm³/min = mm³ per 60 ms.
    const double openings = RpmShown / 60 * dt * injecting / 2;
    FuelBurnt += openings * openMs * Profile.InjectorFlow / 60;
}

void TEngineModel::StepCrank(double toMs) {
    if (RpmShown <= 0) {
        CrankSynced = false;
        NextFiringMs = toMs;
        return;
    }
    std::span<const int> order = FiringOrder(Profile.Cylinders);
    int n = int(order.size());
    while (NextFiringMs <= toMs) {
        double at = NextFiringMs;
        int cylinder = order[FiringIndex];
        // The segment that ends here was driven by the cylinder that fired before this one; the unit
        // stores it under parameter 89 + this cylinder.
        double period = at - LastFiringMs;
        if (cylinder <= 6 && CrankSynced && period > 0)
            Periods[cylinder - 1] =
                uint16_t(std::clamp(std::round(period * Profile.PeriodTicksPerMs), 1.0, 65535.0));
        LastFiringMs = at;
        CrankSynced = true;
        // The next segment is this cylinder's working stroke.
        double base = 120000.0 / (RpmShown * n);
        double factor = 1 + Noise() * 0.002;
        if (cylinder == Profile.WeakCylinder)
            factor += Profile.WeakPercent / 100;
        if (cylinder <= 6 && (DeadInjectors() & (1 << cylinder)))
            factor += 0.09;
        NextFiringMs = at + base * factor;
        FiringIndex = (FiringIndex + 1) % n;
    }
}

uint16_t TEngineModel::PeriodTicks(int parameter) const {
    int i = parameter - 90;
    return i >= 0 && i < 6 ? Periods[i] : 0;
}

double TEngineModel::Signal(TSignal signal) const {
    double runS = Stalled ? 0 : (NowMs - RestartMs) / 1000;
    uint8_t bits = 0;
    switch (signal) {
    case TSignal::Coolant:
        return Coolant;
    case TSignal::Rpm:
        return RpmShown;
    case TSignal::TargetRpm:
        return TargetRpm;
    case TSignal::InjMs:
        return InjMs;
    case TSignal::O2Control:
        return O2Control;
    case TSignal::Throttle:
        return Throttle;
    case TSignal::ThrottlePct:
        return Throttle / 90 * 100;
    case TSignal::AirMass:
        return Stalled ? 0 : RpmShown * Load * 0.00089;
    case TSignal::O2mV:
        return O2mV;
    case TSignal::AdaptIdleAir:
        return AdaptIdleAir;
    case TSignal::AdaptIdlePct:
        return AdaptIdleAir * 10;
    case TSignal::AdaptLower:
        return AdaptLower;
    case TSignal::AdaptUpper:
        return AdaptUpper;
    case TSignal::Ignition:
        return Ignition;
    case TSignal::AirTemp:
        return AirTemp;
    case TSignal::Speed:
        return Speed;
    case TSignal::Pressure:
        return 985;
    case TSignal::Load:
        return Load;
    case TSignal::Battery:
        return Stalled ? 12.5 : (Fan != 0x80 && Fan > 0 ? 13.8 : 14.1);
    case TSignal::Flags23:
        if (Throttle < 3)
            bits |= 0x01;
        if (Speed < 1)
            bits |= 0x02;
        if (!Stalled && runS < 1)
            bits |= 0x08;
        return bits;
    case TSignal::Flags24:
        if (RpmShown > 2000 && Load > 40)
            bits |= 0x08;
        if (Coolant > 70 && runS > 60)
            bits |= 0x10;
        return bits;
    case TSignal::Flags25:
        if (ActuatorMode)
            bits |= 0x01;
        if (!Stalled && runS < 30)
            bits |= 0x02;
        if (Coolant < 70)
            bits |= 0x04;
        if (CutOff)
            bits |= 0x08;
        if (Throttle > 60)
            bits |= 0x10;
        return bits;
    case TSignal::LhFlags20:
        return (!Stalled && runS < 30) ? 0x10 : 0;
    case TSignal::LhFlags23:
        return ((!Stalled && runS < 1) ? 0x08 : 0) | (Throttle < 3 ? 0x10 : 0);
    case TSignal::WarmingUp:
        return Coolant < 70 ? 1 : 0;
    case TSignal::CoolantAtStart:
        return CoolantStart;
    case TSignal::RunSeconds:
        return runS;
    case TSignal::Fan:
        if (ActuatorMode && Fan != 0x80)
            return Fan;
        return std::clamp((Coolant - 95) * 20, 0.0, 100.0);
    case TSignal::ThrottleStopV:
        if (LearningSinceMs >= 0) {
            // The motor drives the stop to both ends and back in a 6-s sweep.
            double phase = std::fmod((NowMs - LearningSinceMs) / 6000, 1.0);
            return 0.4 + 4.2 * (phase < 0.5 ? phase * 2 : 2 - phase * 2);
        }
        return ThrottleStop + Throttle / 90 * 3.2;
    case TSignal::HfmVolts:
        return Stalled ? 1.0 : 1.0 + RpmShown * Load * 0.00089 / 100 * 3;
    case TSignal::OnOffRatio:
        return std::clamp(50 + O2Control, 0.0, 100.0);
    case TSignal::Misfire1:
        return Misfires[0];
    case TSignal::Misfire2:
        return Misfires[1];
    case TSignal::Misfire3:
        return Misfires[2];
    case TSignal::Misfire4:
        return Misfires[3];
    case TSignal::Misfire5:
        return Misfires[4];
    case TSignal::Misfire6:
        return Misfires[5];
    default:
        return 0;
    }
}

void TEngineModel::SetInjectorsOff(uint8_t mask) {
    InjectorsOff = mask & 0x7F;
}
void TEngineModel::SetThrottleMotor(uint8_t value) {
    ThrottleMotor = value;
}
void TEngineModel::SetMixture(uint8_t value) {
    Mixture = value;
}
void TEngineModel::SetIdleControlOff(bool off) {
    IdleControlOff = off;
    if (!off)
        IdleDrift = 0;
}
void TEngineModel::SetFan(uint8_t percent) {
    Fan = percent;
}
void TEngineModel::SetThrottleLearning(bool on) {
    if (on && LearningSinceMs < 0)
        LearningSinceMs = NowMs;
    if (!on && LearningSinceMs >= 0) {
        LearningSinceMs = -1;
        ThrottleStop = 1.1; // the newly learned rest position
    }
}
void TEngineModel::SetActuatorMode(bool on) {
    ActuatorMode = on;
}

void TEngineModel::ResetActuators() {
    InjectorsOff = 0;
    ThrottleMotor = 64;
    Mixture = 0x80;
    Fan = 0x80;
    SetIdleControlOff(false);
    SetThrottleLearning(false);
}

void TEngineModel::ResetAdaptation() {
    AdaptIdleAir = AdaptLower = AdaptUpper = 0;
}

} // namespace velmora
