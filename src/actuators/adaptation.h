// Adaptation reset (two phases over two connections, with an ignition cycle between them) and throttle
// adaptation, run once at connection start. Worker thread.
#pragma once

#include "actuators/actuator_state.h"

namespace velmora {

// Runs the function AdaptMode asks for (13, 14, 17 or 21) on a unit of the late or newest generation.
// `done` becomes false when the user must cycle the ignition before going on (phase 1 of the reset,
// throttle adaptation of Bosch units). The connection ends afterwards in the way the result says.
// A throttle adaptation for Bosch units (21) asked of another maker's unit is refused with
// BoschThrottleOnlyText.
TFunctionEnd RunAdaptation(TActuatorContext& context, bool& done);

inline constexpr const char* BoschThrottleOnlyText =
    "Адаптация дросселя для ЭБУ Bosch недоступна для этого блока!";
// The stop reason when the unit refused the special mode the function needs (StopOnError).
inline constexpr const char* SpecialModeRefusedReason = "ЭБУ не принял вход в режим адаптации";

} // namespace velmora
