// Texts of the pairs an exchange-log conversion explains beyond their label: the actuator channels
// (0xD0-0xDC) and the bytes of the fault memory (0xF1, LH 0x30). Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faults/fault_context.h"

namespace velmora {

// Command bytes 0xD0-0xDC.
bool IsActuatorChannel(uint8_t cmd);

// "     ACT: " and what the value does on the channel; empty for a command that is no channel.
// `newestGeneration` tells the standard state of 0xD0 and 0xD1.
std::string ActuatorText(uint8_t channel, uint8_t value, bool newestGeneration);

// The faults one fault-memory byte holds, one text each: the fault code of every set bit of a bitmap
// byte (HFM, PMS) or the code of a non-zero LH slot.
std::vector<std::string> FaultByteTexts(uint8_t address, uint8_t value, const TFaultContext& context);

// Fault-memory addresses 0-15 hold the faults that were stored (lost), the others the current ones.
bool IsLostFaultAddress(uint8_t address);

} // namespace velmora
