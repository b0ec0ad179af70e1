#include "sim/adapters/adapter_kind.h"

#include <algorithm>

#include "links/port_factory.h"
#include "sim/adapters/carsoft_firmware.h"
#include "sim/adapters/elm_firmware.h"
#include "sim/adapters/kkl_cable.h"

namespace velmora {

namespace {

const TSimAdapterInfo Kinds[] = {
    {TSimAdapterKind::Kkl, "SIM", SimPortNumber, "Simulated car", 9600,
     [](TSimCar& car) -> std::unique_ptr<TSimAdapter> { return std::make_unique<TKklCable>(car.Bus()); }},
    {TSimAdapterKind::Elm, "SIMELM", SimElmPortNumber, "Simulated car behind an ELM327", ElmBaud,
     [](TSimCar& car) -> std::unique_ptr<TSimAdapter> { return std::make_unique<TElmFirmware>(car); }},
    {TSimAdapterKind::CarSoft, "SIMCARSOFT", SimCarSoftPortNumber,
     "Simulated car behind a CarSoft 7.4 interface", CarSoftBaud,
     [](TSimCar& car) -> std::unique_ptr<TSimAdapter> {
         return std::make_unique<TCarSoftFirmware>(car.Bus());
     }},
};

} // namespace

std::span<const TSimAdapterInfo> SimAdapterKinds() {
    return Kinds;
}

const TSimAdapterInfo& SimAdapterInfo(TSimAdapterKind kind) {
    // Every kind has its row.
    return *std::find_if(std::begin(Kinds), std::end(Kinds),
                         [kind](const TSimAdapterInfo& row) { return row.Kind == kind; });
}

std::unique_ptr<TSimAdapter> MakeSimAdapter(TSimAdapterKind kind, TSimCar& car) {
    return SimAdapterInfo(kind).Make(car);
}

int SimAdapterBaud(TSimAdapterKind kind) {
    return SimAdapterInfo(kind).Baud;
}

} // namespace velmora
