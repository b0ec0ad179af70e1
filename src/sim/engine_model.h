// The live engine behind a simulated unit: coolant warming up, idle speed that fluctuates and is held by
// the idle control, a repeating drive cycle with road speed and gears, mixture control, and the crankshaft
// whose working periods per cylinder the unit records. Stepped in 10 ms steps on the unit's timeline;
// deterministic for a given profile (seeded noise). Used by the unit's thread only.
#pragma once

#include <array>
#include <cstdint>

#include "sim/live_map.h"
#include "sim/sim_profile.h"

namespace velmora {

class TEngineModel {
public:
    explicit TEngineModel(const TSimProfile& profile);

    // Runs the engine up to nowMs; the first call starts it (ignition on, engine cranked).
    void AdvanceTo(double nowMs);
    // The signal's current value in the unit of its TSignal comment; 0 for signals the unit holds.
    double Signal(TSignal signal) const;
    // The last working period recorded for parameter 90-95, in 1/PeriodTicksPerMs ms (0 = none yet).
    uint16_t PeriodTicks(int parameter) const;
    bool Running() const { return Rpm > 0; }
    // What the engine has really burnt and the car has driven since the first call, by the model's own
    // step: mm³ of fuel (every injector opening, dead time off, at the profile's injector flow) and m.
    double FuelBurntMm3() const { return FuelBurnt; }
    double DistanceM() const { return Driven; }

    // Actuator channels (values as the tester sends them).
    void SetInjectorsOff(uint8_t mask);   // 0xD2: 0x01 all, 0x02..0x40 cylinders 1..6
    void SetThrottleMotor(uint8_t value); // 0xD3: 64 = no change
    void SetMixture(uint8_t value);       // 0xD6: 0x80 = no change
    void SetIdleControlOff(bool off);     // 0xD1 bit 0x80
    void SetThrottleLearning(bool on);    // 0xD1 bit 0x40: the throttle stop sweeps while it is learned
    void SetFan(uint8_t percent);         // 0xDC: 0x80 = automatic
    void SetActuatorMode(bool on);        // shown in bit 0x01 of parameter 25
    void ResetActuators();
    void ResetAdaptation();

private:
    void Step();
    void StepDriveCycle(double dt);
    void StepCrank(double toMs);
    double Noise();                                                     // about -1..1, roughly normal
    uint8_t DeadInjectors() const { return InjectorsOff | FaultyMask; } // as the 0xD2 mask
    void CountFuelAndDistance(double dt);

    TSimProfile Profile; // a copy: the model may outlive the caller's profile
    bool Started = false;
    double NowMs = 0;
    double StartMs = 0;
    uint32_t NoiseState;

    double Coolant, CoolantStart, AirTemp;
    double Speed = 0, Rpm = 0, TargetRpm = 0, RpmNoise = 0;
    double RpmShown = 0; // Rpm with the crankshaft's fluctuation
    double Throttle = 2, Load = 18, InjMs = 0, O2mV = 450, O2Control = 0, Ignition = 8;
    double AdaptIdleAir = 0.6, AdaptLower = 3.1, AdaptUpper = -1.6;
    bool CutOff = false, Stalled = false;
    double DriveClock = 0;  // s into the drive cycle
    uint8_t FaultyMask = 0; // injectors faulty by the profile (0xD2 bits)
    double FuelBurnt = 0, Driven = 0;
    uint8_t InjectorsOff = 0, ThrottleMotor = 64, Mixture = 0x80, Fan = 0x80;
    bool IdleControlOff = false, ActuatorMode = false;
    double LearningSinceMs = -1; // throttle stop learning started at (-1 = not learning)
    double ThrottleStop = 1.2;   // V of the stop potentiometer at rest
    double IdleDrift = 0;
    double RestartMs = 0; // engine (re)started at

    std::array<uint8_t, 6> Misfires{};
    std::array<uint16_t, 6> Periods{}; // parameters 90..95
    int FiringIndex = 0;
    double LastFiringMs = 0, NextFiringMs = 0;
    bool CrankSynced = false; // a firing has been seen since the crankshaft last turned
    double O2Phase = 0;
};

} // namespace velmora
