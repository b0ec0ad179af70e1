// The coding run: writes a new coding (three code-number bytes) into a unit of the late generation,
// unlocked by the answer to the unit's check word, and reads it back. Run once at connection start;
// the connection ends afterwards (state 1). Worker thread. The window's side: the coding text the user
// enters and where the coding is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "actuators/actuator_state.h"

namespace velmora {

class TECUparam;

void RunCoding(TActuatorContext& context);

// CodingPending from the user's entry: three numbers 0-255 separated by blanks (the form the log shows,
// "012 005 000"). Empty for anything else, and for 0 0 0, which would mean "no coding run".
std::optional<uint32_t> ParseCodingText(std::string_view text);
// CodingLoc from the three coding parameters (high, middle, low): their command byte and addresses.
uint32_t CodingLocOf(const TECUparam& high, const TECUparam& middle, const TECUparam& low);

} // namespace velmora
