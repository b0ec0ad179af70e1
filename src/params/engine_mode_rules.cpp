#include "params/engine_mode_rules.h"

#include "params/param_ids.h"

namespace velmora {

namespace {

using enum TQuantity;
using enum TCompare;
namespace M = EngineMode;

constexpr uint8_t QuantityIds[] = {
    ParamId::EngineSpeed, ParamId::Coolant,     ParamId::Throttle, ParamId::RoadSpeed,
    ParamId::O2Control,   ParamId::IdleContact, ParamId::Starter,  ParamId::PostStart,
    ParamId::WarmUp,      ParamId::CutOff,      ParamId::FullLoad, ParamId::KnockControl,
    ParamId::ShiftRetard, ParamId::IdleProblem,
};
static_assert(std::size(QuantityIds) == size_t(TQuantity::Count));

// The table of engine_mode.h, row for row.
constexpr TModeRule Rules[] = {
    {M::Start, 0, {{{Starter, On}}}},
    {M::Start, 500, {{{EngineSpeed, AtLeast, 1}, {EngineSpeed, Below, 350}}}},
    {M::WaitingForStart, 1000, {{{EngineSpeed, Below, 1}}}},
    {M::OverrunCutOff, 0, {{{CutOff, On}, {EngineSpeed, AtLeast, 1000}}}},
    {M::OverrunCutOff, 300, {{{IdleContact, On}, {EngineSpeed, AtLeast, 1500}, {RoadSpeed, AtLeast, 10}}}},
    {M::FullLoad, 0, {{{FullLoad, On}}}},
    {M::FullLoad, 300, {{{Throttle, AtLeast, 75}, {EngineSpeed, AtLeast, 1000}}}},
    {M::PostStart, 0, {{{PostStart, On}}}},
    {M::AfterPostStart, 0, {{{WarmUp, On}, {EngineSpeed, AtLeast, 1}}}},
    {M::ShiftRetard, 0, {{{ShiftRetard, On}}}},
    {M::IdleProblem, 0, {{{IdleProblem, On}}}},
    {M::Ignition, 1000, {{{KnockControl, On}, {EngineSpeed, AtLeast, 1000}}}},
    {M::MixtureLimit,
     5000,
     {{{O2Control, AbsAtLeast, 20}, {Coolant, AtLeast, 70}, {EngineSpeed, AtLeast, 500}}}},
    {M::IdleSmoothness,
     5000,
     {{{IdleContact, On}, {EngineSpeed, AtLeast, 500}, {EngineSpeed, Below, 1100}, {Coolant, AtLeast, 70}}}},
    {M::O2RaisedIdle,
     3000,
     {{{EngineSpeed, AtLeast, 2000},
       {EngineSpeed, Below, 3200},
       {RoadSpeed, Below, 3},
       {IdleContact, Off},
       {Coolant, AtLeast, 70}}}},
    {M::O2Driving,
     5000,
     {{{RoadSpeed, AtLeast, 30},
       {EngineSpeed, AtLeast, 1500},
       {EngineSpeed, Below, 4000},
       {IdleContact, Off},
       {Coolant, AtLeast, 70}}}},
};

constexpr uint8_t IdleAirAdaptation = 8; // parameter number, HFM/PMS and LH sets
constexpr uint8_t IgnitionAngle = 11;    // parameter number, HFM/PMS set

// Modes without a row here (waiting, post-start and warm-up enrichment, shift point retard) keep the
// polling as it is: they last long and nothing in them needs reading faster than the rest.
constexpr TModePolling Pollings[] = {
    {M::Start, 2, {{{true, ParamId::EngineSpeed, 100}, {true, ParamId::Coolant, 1000}}}},
    {M::OverrunCutOff, 4, {{{true, ParamId::EngineSpeed, 300}, {true, ParamId::RoadSpeed, 1000}}}},
    {M::FullLoad,
     2,
     {{{true, ParamId::EngineSpeed, 300},
       {true, ParamId::Load, 300},
       {true, ParamId::AirMass, 300},
       {true, ParamId::Throttle, 300}}}},
    {M::IdleProblem,
     2,
     {{{true, ParamId::EngineSpeed, 300}, {true, ParamId::AirMass, 300}, {false, IdleAirAdaptation, 1000}}}},
    {M::Ignition, 2, {{{true, ParamId::EngineSpeed, 300}, {false, IgnitionAngle, 300}}}},
    {M::MixtureLimit, 2, {{{true, ParamId::O2Control, 300}, {true, ParamId::O2Sensor, 300}}}},
    {M::IdleSmoothness, 4, {{{true, ParamId::EngineSpeed, 100}, {true, ParamId::AirMass, 300}}}},
    {M::O2RaisedIdle, 8, {{{true, ParamId::O2Sensor, 3}}}},
    {M::O2Driving, 8, {{{true, ParamId::O2Sensor, 3}}}},
};

} // namespace

std::span<const TModeRule> ModeRules() {
    return Rules;
}

std::span<const TModePolling> ModePollings() {
    return Pollings;
}

uint8_t QuantityId(TQuantity quantity) {
    return QuantityIds[size_t(quantity)];
}

} // namespace velmora
