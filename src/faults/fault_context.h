// What the decoding of the fault memory needs to know about the engine unit: its family, supplier,
// diagnosis index, variant letter and whether its bitmaps have the three extra bytes of the late PMS
// units. Filled from the identification by the worker; a plain value that any thread may copy.
#pragma once

#include <cstdint>

#include "params/unit_codes.h"

namespace velmora {

struct TFaultContext {
    uint8_t UnitType = UnitUnknown;
    uint8_t Supplier = SupplierUnknown;
    uint8_t DiagIndex = 0;  // decimal reading of the identification byte (0x45 gives 45)
    char VariantLetter = 0; // 'h', 'o', 'x', 'w' or 0
    bool PmsLayout = false; // bitmaps continue at 48-50 (stored) and 64-66 (current)
};

} // namespace velmora
