// Identifiers that name what a parameter means (engine speed, coolant, the idle contact bit ...) so
// that the trip computer, the smoothness test and the engine-mode observer find their inputs by
// meaning, whatever number the unit family gives them. Tables are constant; AssignParamIds runs on
// the thread that fills the parameter set, before the set is shared.
#pragma once

#include <cstdint>

namespace velmora {

class TListParams;

// Identifiers of whole values (TECUparam::FirstId) and of single status bits (TECUparam::BitById).
// 2, 3, 7 and 27 are the identifiers the trip computer and the observer's poll settings use.
namespace ParamId {
constexpr uint8_t Coolant = 1;       // °C
constexpr uint8_t EngineSpeed = 2;   // rpm
constexpr uint8_t InjectionTime = 3; // ms
constexpr uint8_t O2Control = 4;     // mixture correction, %
constexpr uint8_t Throttle = 5;      // throttle angle, °
constexpr uint8_t AirMass = 6;       // kg/h
constexpr uint8_t O2Sensor = 7;      // oxygen-sensor signal, mV
constexpr uint8_t Load = 8;          // engine load, %
constexpr uint8_t IntakeAir = 12;    // °C
constexpr uint8_t RoadSpeed = 27;    // km/h
constexpr uint8_t Battery = 41;      // V
// Status bits (1 = the state is on). On a unit that keeps a state in a whole byte, the identifier sits
// on that byte and any value other than 0 means on.
constexpr uint8_t IdleContact = 60;
constexpr uint8_t Starter = 61;
constexpr uint8_t PostStart = 62; // post-start enrichment
constexpr uint8_t WarmUp = 63;    // warm-up enrichment
constexpr uint8_t CutOff = 64;    // overrun fuel cut-off
constexpr uint8_t FullLoad = 65;
constexpr uint8_t KnockControl = 66; // knock control retarding the ignition
constexpr uint8_t ShiftRetard = 67;  // transmission shift point retard
constexpr uint8_t IdleProblem = 68;
// Set while the unit's actuator test mode is open; the actuator test entry checks it.
constexpr uint8_t Activation = 120;
} // namespace ParamId

// Gives the records of the set their identifiers by parameter number for the unit family (UnitType).
void AssignParamIds(TListParams& params, int unitType);

} // namespace velmora
