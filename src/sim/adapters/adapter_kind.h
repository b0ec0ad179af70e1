// The kinds of simulated adapter and how one is made for a car: the plain KKL cable, the ELM327 and the
// CarSoft 7.4 interface. Any thread; the adapter made belongs to the caller and to the car's thread.
#pragma once

#include <memory>

#include "sim/adapters/sim_adapter.h"
#include "sim/sim_car.h"

namespace velmora {

enum class TSimAdapterKind { Kkl, Elm, CarSoft };

std::unique_ptr<TSimAdapter> MakeSimAdapter(TSimAdapterKind kind, TSimCar& car);
// The serial rate the adapter's own UART runs at (the K-line's 9600 for the plain cable).
int SimAdapterBaud(TSimAdapterKind kind);

} // namespace velmora
