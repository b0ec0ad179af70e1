// Fault codes of the maker's classification: the bit of an HFM or PMS fault bitmap and the slot of an LH
// fault memory mapped to the code the fault texts are filed under. Tables only; any thread.
#pragma once

#include <cstdint>

#include "faults/fault_context.h"

namespace velmora {

// Highest bit number of an HFM/PMS bitmap (bits 129-152 live in the extra bytes of the PMS layout).
constexpr int FaultBitCount = 152;
// Highest LH fault slot.
constexpr int LhSlotCount = 30;

// Code of bit `bit` (1-based) for the unit; 0 when the maker's classification has no code for it.
// PMS units use the PMS table (bits 1-128), HFM units the HFM table (bits 1-152) with the overrides of
// their variant and diagnosis index; other families have no bitmap codes.
int FaultCodeOfBit(int bit, const TFaultContext& context);
// Code of LH slot `slot` (1-30): the slot itself up to 22, 123 for 23, then one less than the slot.
int LhFaultCode(int slot);

} // namespace velmora
