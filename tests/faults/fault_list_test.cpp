#include <gtest/gtest.h>

#include "faults/fault_list.h"

namespace velmora {
namespace {

TFaultContext Hfm(uint8_t diagIndex = 45, char variant = 0, uint8_t supplier = SupplierBosch) {
    return {UnitHfm, supplier, diagIndex, variant, false};
}

TFaultContext Pms(uint8_t diagIndex = 52) {
    return {UnitPms, SupplierVdo, diagIndex, 0, diagIndex >= 49 && diagIndex < 60};
}

TEST(FaultListTest, BitOfOneAddressGivesItsCodeAndState) {
    struct TCase {
        const char* Name;
        TFaultContext Context;
        int Address;
        uint8_t Mask;
        TFault Expected;
    };
    const TCase cases[] = {
        {"HFM bit 9 current", Hfm(), 17, 0x01, {118, 9, false, true, false}},
        {"HFM bit 9 stored", Hfm(), 1, 0x01, {118, 9, true, false, false}},
        {"HFM bit 70 by the table", Hfm(48), 8, 0x20, {74, 70, true, false, false}},
        {"HFM bit 70 index >= 49", Hfm(49), 8, 0x20, {122, 70, true, false, false}},
        {"HFM bit 70 index 50-55 wins", Hfm(52), 8, 0x20, {147, 70, true, false, false}},
        {"HFM bit 70 index 56", Hfm(56), 8, 0x20, {122, 70, true, false, false}},
        {"HFM bit 152 index 52", Hfm(52), 66, 0x80, {164, 152, false, true, false}},
        {"HFM bit 152 by the table", Hfm(45), 50, 0x80, {255, 152, true, false, false}},
        {"HFM variant o bit 51", Hfm(45, 'o'), 6, 0x04, {55, 51, true, false, false}},
        {"HFM variant h Bosch 49 bit 35", Hfm(49, 'h'), 4, 0x04, {45, 35, true, false, false}},
        {"HFM variant h VDO 49 bit 35", Hfm(49, 'h', SupplierVdo), 4, 0x04, {39, 35, true, false, false}},
        {"HFM variant h Bosch 50 bit 35", Hfm(50, 'h'), 4, 0x04, {39, 35, true, false, false}},
        {"PMS bit 1", Pms(), 0, 0x01, {2, 1, true, false, false}},
        {"PMS unknown bit 10", Pms(), 1, 0x02, {10, 10, true, false, true}},
        {"PMS extra byte bit 128", Pms(), 31, 0x80, {80, 128, false, true, false}},
        {"PMS extra bit 129 has no code", Pms(), 64, 0x01, {129, 129, false, true, true}},
        {"EZ has no bitmap codes", {UnitEz, SupplierBosch, 12, 0, false}, 0, 0x01, {1, 1, true, false, true}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFaultBuf buffer{};
        buffer[size_t(c.Address)] = c.Mask;
        const std::vector<TFault> faults = CollectFaults(buffer, c.Context, 100);
        ASSERT_EQ(faults.size(), 1u);
        EXPECT_EQ(faults[0].Code, c.Expected.Code);
        EXPECT_EQ(faults[0].Cell, c.Expected.Cell);
        EXPECT_EQ(faults[0].Stored, c.Expected.Stored);
        EXPECT_EQ(faults[0].Current, c.Expected.Current);
        EXPECT_EQ(faults[0].Unknown, c.Expected.Unknown);
    }
}

TEST(FaultListTest, LhSlotsGiveTheirCodesAsStored) {
    struct TCase {
        int Slot;
        int Code;
    };
    const TCase cases[] = {{1, 1}, {22, 22}, {23, 123}, {24, 23}, {30, 29}};
    const TFaultContext lh{UnitLh, SupplierBosch, 0, 'x', false};
    for (const TCase& c : cases) {
        TFaultBuf buffer{};
        buffer[size_t(c.Slot)] = 3; // a counter, any non-zero value
        const std::vector<TFault> faults = CollectFaults(buffer, lh, 100);
        ASSERT_EQ(faults.size(), 1u) << "slot " << c.Slot;
        EXPECT_EQ(faults[0].Code, c.Code) << "slot " << c.Slot;
        EXPECT_TRUE(faults[0].Stored);
        EXPECT_FALSE(faults[0].Current);
    }
    // Slot 0 and the bytes beyond slot 30 are not faults.
    TFaultBuf outside{};
    outside[0] = outside[31] = outside[70] = 1;
    EXPECT_TRUE(CollectFaults(outside, lh, 100).empty());
}

TEST(FaultListTest, IteratorWalksInBitOrderAndRestartsOnCodeZero) {
    TFaultBuf buffer{};
    buffer[0] = 0x01;  // bit 1 stored
    buffer[17] = 0x01; // bit 9 current
    buffer[1] = 0x01;  // ... and stored
    buffer[50] = 0x80; // bit 152 stored
    TFaultIterator iterator(buffer, Hfm());
    int code = 0;
    bool stored = false, unknown = false, current = false;
    ASSERT_TRUE(iterator.NextFault(code, stored, unknown, current));
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(stored && !current);
    ASSERT_TRUE(iterator.NextFault(code, stored, unknown, current));
    EXPECT_EQ(code, 118);
    EXPECT_TRUE(stored && current);
    ASSERT_TRUE(iterator.NextFault(code, stored, unknown, current));
    EXPECT_EQ(code, 255);
    EXPECT_EQ(iterator.Position(), 152);
    EXPECT_FALSE(iterator.NextFault(code, stored, unknown, current));
    code = 0;
    ASSERT_TRUE(iterator.NextFault(code, stored, unknown, current));
    EXPECT_EQ(code, 2);
}

TEST(FaultListTest, CollectsAtMostTheLimit) {
    TFaultBuf full;
    full.fill(0xFF);
    EXPECT_EQ(CollectFaults(full, Hfm(), 100).size(), 100u);
    EXPECT_EQ(CollectFaults(full, Hfm(), 1000).size(), 152u);
    EXPECT_EQ(CollectFaults(full, {UnitLh, 1, 0, 0, false}, 1000).size(), 30u);
}

} // namespace
} // namespace velmora
