// The fault code tables of the decoding against the simulated units' own numbering, written apart from
// them: every bit of the HFM and PMS bitmaps and every LH slot must give the code the unit blinks.
#include <gtest/gtest.h>

#include "faults/fault_codes.h"
#include "sim/fault_codes.h"

namespace velmora {
namespace {

TEST(FaultCodes, EveryBitGivesTheCodeTheUnitBlinks) {
    struct TCase {
        uint8_t UnitType;
        TSimFamily Family;
        int Bits;
    };
    const TCase cases[] = {{UnitHfm, TSimFamily::HFM, FaultBitCount},
                           {UnitPms, TSimFamily::PMS, FaultBitCount}};
    for (const TCase& c : cases) {
        TFaultContext context; // no variant, diagnosis index 0: the base tables
        context.UnitType = c.UnitType;
        context.Supplier = SupplierBosch;
        for (int bit = 1; bit <= c.Bits; ++bit)
            EXPECT_EQ(FaultCodeOfBit(bit, context), FaultCodeFor(c.Family, bit))
                << "unit type " << int(c.UnitType) << ", bit " << bit;
    }
    for (int slot = 1; slot <= LhSlotCount; ++slot)
        EXPECT_EQ(LhFaultCode(slot), FaultCodeFor(TSimFamily::LH, slot)) << "LH slot " << slot;
}

} // namespace
} // namespace velmora
