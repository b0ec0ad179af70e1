#include <gtest/gtest.h>

#include <vector>

#include "faults/fault_memory.h"

namespace velmora {
namespace {

std::vector<int> Range(int first, int last) {
    std::vector<int> addresses;
    for (int a = first; a <= last; ++a)
        addresses.push_back(a);
    return addresses;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> joined;
    for (const std::vector<int>& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

TEST(FaultMemoryTest, ReadsAddressesInOrderUntilComplete) {
    struct TCase {
        const char* Name;
        TFaultReadRule Rule;
        bool ErasePreRead;
        uint8_t Command;
        std::vector<int> Addresses;
    };
    const TCase cases[] = {
        {"bitmap", {}, false, 0xF1, Range(0, 31)},
        {"PMS layout",
         {false, true},
         false,
         0xF1,
         Join({Range(0, 15), Range(48, 50), Range(16, 31), Range(64, 66)})},
        {"LH", {true, false}, false, 0x30, Range(1, 30)},
        {"bitmap erase pre-read", {}, true, 0xF1, Range(0, 15)},
        {"PMS layout erase pre-read", {false, true}, true, 0xF1, Join({Range(0, 15), Range(48, 50)})},
        {"LH erase pre-read", {true, false}, true, 0x30, Range(1, 15)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFaultMemory memory;
        memory.SetRule(c.Rule);
        EXPECT_EQ(memory.Command(), c.Command);
        std::vector<int> read;
        bool complete = false;
        // Twice round, so that a complete read is seen to start again at the first address.
        for (int round = 0; round < 2; ++round) {
            read.clear();
            for (int guard = 0; guard < 100 && !complete; ++guard) {
                read.push_back(memory.Address());
                complete = memory.Store(uint8_t(memory.Address() + 1), c.ErasePreRead);
            }
            EXPECT_TRUE(complete);
            EXPECT_EQ(read, c.Addresses);
            EXPECT_EQ(memory.Index(), 0);
            complete = false;
        }
        for (int address : c.Addresses)
            EXPECT_EQ(memory.Buffer()[size_t(address)], address + 1) << "address " << address;
    }
}

TEST(FaultMemoryTest, StrayIndexEndsTheReadInsteadOfRunningOn) {
    // An index beyond the map (set by a caller out of order) completes the read; nothing is stored
    // beyond the 71 bytes of FaultBuf.
    const TFaultReadRule rules[] = {{}, {false, true}, {true, false}};
    for (const TFaultReadRule& rule : rules) {
        const TFaultReadStep step = FaultIndexAfterRead(200, rule, false);
        EXPECT_TRUE(step.Complete);
        EXPECT_EQ(step.Next, 0);
    }
}

TEST(FaultMemoryTest, NewUnitForgetsTheBytesOfTheLastOne) {
    TFaultMemory memory;
    memory.SetRule({true, false});
    memory.Store(7); // LH slot 1
    memory.Store(7); // LH slot 2
    memory.SetRule({});
    EXPECT_EQ(memory.Index(), 0);
    EXPECT_EQ(memory.Buffer(), TFaultBuf{});
    EXPECT_EQ(memory.Address(), 0);
}

} // namespace
} // namespace velmora
