#include "sim/adapters/adapter_kind.h"

#include "sim/adapters/carsoft_firmware.h"
#include "sim/adapters/elm_firmware.h"
#include "sim/adapters/kkl_cable.h"

namespace velmora {

std::unique_ptr<TSimAdapter> MakeSimAdapter(TSimAdapterKind kind, TSimCar& car) {
    switch (kind) {
    case TSimAdapterKind::Elm:
        return std::make_unique<TElmFirmware>(car);
    case TSimAdapterKind::CarSoft:
        return std::make_unique<TCarSoftFirmware>(car.Bus());
    case TSimAdapterKind::Kkl:
        break;
    }
    return std::make_unique<TKklCable>(car.Bus());
}

int SimAdapterBaud(TSimAdapterKind kind) {
    switch (kind) {
    case TSimAdapterKind::Elm:
        return ElmBaud;
    case TSimAdapterKind::CarSoft:
        return CarSoftBaud;
    case TSimAdapterKind::Kkl:
        break;
    }
    return 9600;
}

} // namespace velmora
