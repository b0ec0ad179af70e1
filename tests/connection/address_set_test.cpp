// The address set a connection keeps: built in for Siemens, Bosch, VDO and LH units of the simulated
// car, none for other units, and ECU.bin in the log folder in place of the built-in set when it was made
// for the unit.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "connection/address_set_source.h"
#include "connection/com_reader.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

class AddressSetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override {
        Reader.reset();
        FreePort();
    }
    // A fresh worker for the next connection.
    void Renew() {
        Reader.reset();
        FreePort();
        Reader = std::make_unique<TComReader>();
    }
    bool Connect(const std::string& port) {
        Reader->PrepareConnect({port, 'K', false, false, {}});
        return Reader->Step() && Reader->State() == ReaderState::Polling;
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
    std::unique_ptr<TComReader> Reader = std::make_unique<TComReader>();
};

TEST_F(AddressSetTest, EachSupplierGetsItsSet) {
    struct TCase {
        const char* Port;
        size_t Entries; // 0: no address set
        int Number;     // an entry to look at
        uint16_t Address;
    };
    const TCase cases[] = {
        {"SIM:pms", 32, 0, 0x1062},     // Siemens, diagnosis index 61
        {"SIM:hfm40", 27, 1, 0x10B7},   // Bosch, 40
        {"SIM:hfm-vdo", 40, 6, 0x2272}, // VDO, 42
        {"SIM:lh", 43, 44, 0x003D},     // LH
        {"SIM:hfm", 0, 0, 0},           // Bosch, 52: none
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(Connect(c.Port)) << c.Port << "\n" << Host.LogText();
        const std::shared_ptr<const TListParams> set = Reader->AddressSet();
        if (c.Entries == 0) {
            EXPECT_EQ(set, nullptr) << c.Port;
        } else {
            ASSERT_NE(set, nullptr) << c.Port;
            EXPECT_EQ(set->Count(), c.Entries) << c.Port;
            const TECUparam* entry = set->FindByNumber(c.Number);
            ASSERT_NE(entry, nullptr) << c.Port;
            EXPECT_EQ(entry->CmdHi << 8 | entry->CmdLo, c.Address) << c.Port;
        }
        Renew();
    }
}

// The identification records of the simulated HFM unit (block bytes 0..27, 38, 39) and address entries.
std::string EcuBinFor(const TEcuIdent& ident, uint8_t changeIndex = 0xFF) {
    std::string bytes;
    for (int index = 0; index < 40; ++index) {
        if (index > 27 && index < 38)
            continue;
        const uint8_t value = uint8_t(ident.IdentBuf[size_t(index)] + (index == changeIndex ? 1 : 0));
        bytes += std::string{char(0xF0), char(0x0F), char(index), char(value)};
    }
    bytes += std::string{char(0x80), char(0x7F), char(1), char(0x10), char(0xB7), 'B'};
    bytes += std::string{char(0x80), char(0x7F), char(3), char(0x20), char(0x54), 'W'};
    return bytes;
}

TEST_F(AddressSetTest, EcuBinMadeForTheUnitSuppliesTheSet) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    const TEcuIdent ident = Reader->Ident();
    Renew();

    Folder.WriteFile("LOGS/ECU.bin", EcuBinFor(ident));
    ASSERT_TRUE(Connect("SIM:hfm"));
    const std::shared_ptr<const TListParams> set = Reader->AddressSet();
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->Count(), 2u);
    EXPECT_EQ((*set)[1].Number, 3);
    EXPECT_EQ((*set)[1].CmdHi, 0x20);
    EXPECT_EQ((*set)[1].CmdLo, 0x54);
    EXPECT_EQ((*set)[1].DataLength(), 2);
}

TEST(AddressSetFromEcuBin, AppliesOnlyToTheUnitItWasMadeFor) {
    TEcuIdent ident;
    for (size_t i = 0; i < ident.IdentBuf.size(); ++i)
        ident.IdentBuf[i] = uint8_t(0x30 + i);
    const std::string made = EcuBinFor(ident);
    const std::string other = EcuBinFor(ident, 26);
    const std::string few = made.substr(4 * 5); // the records of indexes 0..4 are missing: 25 match
    const std::string noise = "\x01\x02" + made + "\x80";
    struct TCase {
        const char* What;
        const std::string& Bytes;
        size_t Entries;
    };
    const TCase cases[] = {
        {"made for the unit", made, 2},
        {"another unit's byte 26", other, 0},
        {"fewer than 28 identification records", few, 0},
        {"stray bytes around the records", noise, 2},
    };
    for (const TCase& c : cases) {
        const auto bytes = std::span(reinterpret_cast<const uint8_t*>(c.Bytes.data()), c.Bytes.size());
        EXPECT_EQ(AddressSetFromEcuBin(bytes, ident)->Count(), c.Entries) << c.What;
    }
}

} // namespace
} // namespace velmora
