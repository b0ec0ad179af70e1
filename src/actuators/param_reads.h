// Reads of the unit's parameters by number for the actuator functions. Worker thread.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace velmora {

class TECUparam;
struct TActuatorContext;

// Reads parameter `number` of the context's parameter set through the link; nullptr (and nothing
// sent) when the set does not hold it.
TECUparam* ReadNumber(TActuatorContext& context, uint16_t number);
void ReadNumbers(TActuatorContext& context, std::initializer_list<uint16_t> numbers);

} // namespace velmora
