#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "connection/ident_reader.h"
#include "connection/ident_report.h"
#include "host_recorder.h"
#include "params/unit_codes.h"
#include "platform/clock.h"

namespace velmora {
namespace {

using TPairKey = std::pair<uint8_t, uint8_t>;

// A unit made of a byte map: unknown pairs answer 0. Each pair takes 30 ms of virtual time.
class TMapUnit {
public:
    TMapUnit& Block(std::initializer_list<std::pair<uint8_t, uint8_t>> addressValues) {
        for (auto [address, value] : addressValues)
            Answers[{0xF0, address}] = value;
        return *this;
    }
    TMapUnit& Set(uint8_t cmd, uint8_t param, uint8_t value) {
        Answers[{cmd, param}] = value;
        return *this;
    }
    TRequestPair Request() {
        return [this](uint8_t cmd, uint8_t param) {
            Sent.push_back({cmd, param});
            Clock().Sleep(30);
            auto found = Answers.find({cmd, param});
            return found == Answers.end() ? uint8_t(0) : found->second;
        };
    }
    int CountSent(uint8_t cmd) const {
        int count = 0;
        for (const TPairKey& pair : Sent)
            count += pair.first == cmd ? 1 : 0;
        return count;
    }

    std::map<TPairKey, uint8_t> Answers;
    std::vector<TPairKey> Sent;
};

// Blocks that pass the LH rules, and that pass the EZ rules but fail LH at byte 1.
TMapUnit LhUnit() {
    TMapUnit unit;
    unit.Block({{0, 0x0D},
                {1, 0x01},
                {2, 0x25},
                {3, 'E'},
                {4, 0x12},
                {5, '2'},
                {6, 0x40},
                {7, 0x81},
                {8, 0x03},
                {9, 0x51},
                {10, 0x85},
                {11, 0x30},
                {12, 0x07},
                {13, 0x13}});
    unit.Set(0x40, 0xF7, 0x64).Set(0x40, 0xF8, 0x28).Set(0x40, 0xFA, 0x13).Set(0x40, 0xFB, 0x02);
    unit.Set(0x00, 0x22, 0x05).Set(0x10, 0xC9, 0x06);
    return unit;
}

TMapUnit EzUnit() {
    TMapUnit unit;
    unit.Block({{0, 0x0D},
                {1, 'M'},
                {2, '2'},
                {3, '8'},
                {4, '1'},
                {5, '0'},
                {6, '4'},
                {7, '-'},
                {8, 'K'},
                {9, 'B'},
                {10, '7'},
                {11, 0x11},
                {12, 0x22}});
    unit.Set(0x02, 0x7F, 0x80).Set(0x80, 0xF2, '1').Set(0x80, 0xF3, '7');
    const uint8_t number[] = {0x00, 0x15, 0x45, 0x71, 0x32, 0x03, 0x91, 0x05, 0x93, 0x20, 0x12};
    const uint8_t params[] = {0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB};
    for (size_t i = 0; i < std::size(params); ++i)
        unit.Set(0x80, params[i], number[i]);
    return unit;
}

class IdentTest : public ::testing::Test {
protected:
    TManualClock ManualClock;
    TScopedClock ClockScope{ManualClock};
    testing::THostRecorder Host;
};

TEST_F(IdentTest, ClassifiesEachFamily) {
    struct TCase {
        const char* Name;
        TMapUnit Unit;
        uint8_t UnitType, Supplier, DiagIndex;
        char Variant;
        int BlockReads; // requests with command 0xF0
        std::vector<std::string> Warnings;
    };
    const std::vector<std::string> none;
    TCase cases[] = {
        {"HFM from Bosch", TMapUnit().Block({{0, 0x27}, {1, 'B'}, {4, '2'}, {5, '8'}, {0x1A, 0x45}}), UnitHfm,
         SupplierBosch, 45, 'h', 30, none},
        {"PMS from VDO", TMapUnit().Block({{0, 0x21}, {1, 'V'}, {4, '2'}, {5, '0'}, {0x1A, 0x39}}), UnitPms,
         SupplierVdo, 39, 'o', 30, none},
        {"PMS from Siemens", TMapUnit().Block({{0, 0x23}, {1, 'S'}, {0x1A, 0x61}}), UnitPms, SupplierSiemens,
         61, 0, 30, none},
        {"HFM of an unknown supplier",
         TMapUnit().Block({{0, 0x2C}, {1, 'X'}, {0x1A, 0x41}}),
         UnitHfm,
         SupplierVdo,
         41,
         0,
         30,
         {"Тип блока не определен. Сигнатура 2c58", "Предположу что это ЭБУ фирмы VDO"}},
        {"LH", LhUnit(), UnitLh, SupplierBosch, 13, 'h', 14, none},
        {"LH candidate falling to EZ", EzUnit(), UnitEz, SupplierBosch, 17, 0, 13, none},
        {"EZ candidate falling to unknown",
         TMapUnit().Block({{0, 0x0D}, {1, 'M'}, {2, 'X'}}),
         UnitUnknown,
         SupplierVdo,
         0,
         0,
         30,
         {"Тип системы не определен. Сигнатура  d4d", "Тип блока не определен. Сигнатура  d4d",
          "Предположу что это ЭБУ фирмы VDO"}},
    };
    for (TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Clear();
        TEcuIdent ident;
        Identify(ident, c.Unit.Request(), false);
        EXPECT_EQ(ident.UnitType, c.UnitType);
        EXPECT_EQ(ident.Supplier, c.Supplier);
        EXPECT_EQ(ident.DiagIndex, c.DiagIndex);
        EXPECT_EQ(ident.VariantLetter, c.Variant);
        EXPECT_EQ(c.Unit.CountSent(0xF0), c.BlockReads);
        for (const TPairKey& pair : c.Unit.Sent)
            EXPECT_FALSE(pair.first == 0xF0 && pair.second >= 0x1C && pair.second <= 0x25);
        std::vector<std::string> warnings;
        for (const std::string& line : Host.Logs()) {
            if (line.rfind("Тип", 0) == 0 || line.rfind("Предположу", 0) == 0)
                warnings.push_back(line);
        }
        EXPECT_EQ(warnings, c.Warnings);
    }
}

TEST(IdentRules, CandidateFollowsTheBytesInOrder) {
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Block;
        uint8_t Expected;
    };
    const TCase cases[] = {
        {"LH bytes", {0x0D, 0x14, 0x95, 'E', 0x99, '2'}, UnitLh},
        {"fails LH at byte 1, EZ bytes", {0x0D, 'A', '1', '2'}, UnitEz},
        {"fails EZ after falling from LH", {0x0D, 'A', '1', 'x'}, UnitUnknown},
        {"fails both at the same byte", {0x0D, 0x14, 0x95, 'E', 0x9A}, UnitUnknown},
        // Bytes that passed as LH are not checked again against the EZ rules.
        {"falls to EZ late", {0x0D, 0x01, 0x25, 'E', 0x12, '2', 0, 0, 0, 0x51, 'Z'}, UnitEz},
        {"no LH marker", {0x27, 'B'}, UnitUnknown},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CandidateFamily(c.Block), c.Expected) << c.Name;
}

} // namespace
} // namespace velmora
