// The kinds of simulated adapter: the plain KKL cable, the ELM327 and the CarSoft 7.4 interface, one row
// each with how the adapter is made for a car, its serial rate and the in-process port that puts it in
// front of the car. Any thread; the adapter made belongs to the caller and to the car's thread.
#pragma once

#include <memory>
#include <span>

#include "sim/adapters/sim_adapter.h"
#include "sim/sim_car.h"

namespace velmora {

enum class TSimAdapterKind { Kkl, Elm, CarSoft };

// Port numbers of the kinds behind an adapter, below the "SIM" port's 97 (SimPortNumber).
constexpr int SimElmPortNumber = 96;
constexpr int SimCarSoftPortNumber = 95;

struct TSimAdapterInfo {
    TSimAdapterKind Kind;
    const char* PortPrefix; // the in-process port's name; "<prefix>:<unit>" picks the unit
    int PortNumber;
    const char* Description;
    int Baud; // the adapter's own UART rate (the K-line's 9600 for the plain cable)
    std::unique_ptr<TSimAdapter> (*Make)(TSimCar& car);
};

std::span<const TSimAdapterInfo> SimAdapterKinds();
const TSimAdapterInfo& SimAdapterInfo(TSimAdapterKind kind);

std::unique_ptr<TSimAdapter> MakeSimAdapter(TSimAdapterKind kind, TSimCar& car);
// The serial rate the adapter's own UART runs at (the K-line's 9600 for the plain cable).
int SimAdapterBaud(TSimAdapterKind kind);

} // namespace velmora
