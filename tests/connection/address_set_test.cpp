// The address set a connection keeps: built in for Siemens, Bosch, VDO and LH units of the simulated
// car, none for other units, and ECU.bin in the log folder in place of the built-in set when it was made
// for the unit.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "connection/address_set_source.h"
#include "connection/com_reader.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/list_prm.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

class TPlainView : public TBaseParam {
public:
    using TBaseParam::TBaseParam;
    void UpdateView() override {}
};

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

    // Polls `param` as a graph would, until it has been read `reads` times (or the link is gone); the
    // raw bytes of every value read.
    std::vector<uint32_t> Poll(TECUparam& param, int reads) {
        auto list = std::make_shared<TListPrm>();
        list->Add(std::make_unique<TPlainView>(param)).ParamNo = uint8_t(param.Number);
        std::vector<uint32_t> raws;
        if (!Reader->RequestViewList(list, TViewKind::Graph))
            return raws;
        size_t seen = Host.Posted().size();
        for (int step = 0; step < 2000 && int(raws.size()) < reads && Reader->Step(); ++step) {
            const std::vector<testing::TPosted> posted = Host.Posted();
            for (; seen < posted.size(); ++seen)
                if (posted[seen].Msg == WM_USER + 8 && posted[seen].WParam == param.Number)
                    raws.push_back(param.RawWord.load());
        }
        return raws;
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

// The engine speed lives in each unit's RAM at the address its address set gives for number 1, on the
// unit's own scale: a session that reads number 1 of the address set it loaded finds the idle speed
// there.
TEST_F(AddressSetTest, ReadsGoToTheAddressOfTheLoadedSet) {
    struct TCase {
        const char* Port;
        uint32_t RawFrom, RawTo; // the raw byte of an idle speed of 600 to 1000 rpm on the unit's scale
    };
    const TCase cases[] = {
        {"SIM:pms", 600 / 16, 1000 / 16},     // Siemens: 1074, rpm/16
        {"SIM:hfm40", 600 / 25, 1000 / 25},   // Bosch: 10B7, rpm/25
        {"SIM:hfm-vdo", 600 / 30, 1000 / 30}, // VDO: 127E, rpm/30
        {"SIM:lh", 124, 147},                 // LH: 0089, the unit's point table
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(Connect(c.Port)) << c.Port << "\n" << Host.LogText();
        const std::shared_ptr<const TListParams> set = Reader->AddressSet();
        ASSERT_NE(set, nullptr) << c.Port;
        TECUparam* rpm = set->FindByNumber(1);
        ASSERT_NE(rpm, nullptr) << c.Port;
        const std::vector<uint32_t> raws = Poll(*rpm, 5);
        ASSERT_EQ(raws.size(), 5u) << c.Port << "\n" << Host.LogText();
        for (uint32_t raw : raws) {
            EXPECT_GE(raw, c.RawFrom) << c.Port;
            EXPECT_LE(raw, c.RawTo) << c.Port;
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

// The entries of an ECU.bin made for the unit are what the reads use: number 1 at 10B7, where this unit
// keeps its engine speed (rpm/25), although the built-in sets give it none.
TEST_F(AddressSetTest, ReadsGoToTheAddressesOfEcuBin) {
    const std::string port =
        "SIM:" + Folder.WriteFile("bosch-ram.ini", "[Unit]\nBase=hfm\nLiveMap=bosch40\n").string();
    ASSERT_TRUE(Connect(port));
    EXPECT_EQ(Reader->AddressSet(), nullptr);
    const TEcuIdent ident = Reader->Ident();
    Renew();

    Folder.WriteFile("LOGS/ECU.bin", EcuBinFor(ident));
    ASSERT_TRUE(Connect(port));
    const std::shared_ptr<const TListParams> set = Reader->AddressSet();
    ASSERT_NE(set, nullptr);
    TECUparam* rpm = set->FindByNumber(1);
    ASSERT_NE(rpm, nullptr);
    const std::vector<uint32_t> raws = Poll(*rpm, 5);
    ASSERT_EQ(raws.size(), 5u) << Host.LogText();
    for (uint32_t raw : raws) {
        EXPECT_GE(raw, 600u / 25);
        EXPECT_LE(raw, 1000u / 25);
    }
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
