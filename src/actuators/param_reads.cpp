#include "actuators/param_reads.h"

#include "actuators/actuator_state.h"
#include "engine_link/engine_link.h"
#include "params/param_list.h"

namespace velmora {

TECUparam* ReadNumber(TActuatorContext& context, uint16_t number) {
    TECUparam* param = context.Params ? context.Params->FindByNumber(number) : nullptr;
    if (param)
        context.Link.ReadParameter(*param);
    return param;
}

void ReadNumbers(TActuatorContext& context, std::initializer_list<uint16_t> numbers) {
    for (uint16_t number : numbers)
        ReadNumber(context, number);
}

} // namespace velmora
