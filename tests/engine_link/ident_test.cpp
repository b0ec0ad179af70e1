#include <gtest/gtest.h>

#include <tuple>

#include <map>
#include <utility>

#include "engine_link/ident_reader.h"
#include "engine_link/ident_report.h"
#include "engine_link/link_shared.h"
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
            // A disturbed line: the next answers of this pair, one per request, before the steady one.
            if (auto next = Disturbed.find({cmd, param}); next != Disturbed.end() && !next->second.empty()) {
                const uint8_t value = next->second.front();
                next->second.erase(next->second.begin());
                return value;
            }
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
    std::map<TPairKey, std::vector<uint8_t>> Disturbed;
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
        // A steady unit: the block is read twice, and the two reads agree.
        EXPECT_EQ(c.Unit.CountSent(0xF0), 2 * c.BlockReads);
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

TEST_F(IdentTest, VinIsReadForCapableUnitsUnlessCodingIsPending) {
    struct TCase {
        const char* Name;
        uint8_t DiagByte;
        uint8_t FirstVinByte;
        bool CodingPending;
        int VinReads;
    };
    const TCase cases[] = {
        {"VIN-capable", 0x49, 'W', false, 14},
        {"no VIN stored", 0x49, 0xFF, false, 1},
        {"coding pending", 0x49, 'W', true, 0},
        {"too old for a VIN", 0x45, 'W', false, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMapUnit unit;
        unit.Block({{0, 0x21}, {1, 'B'}, {0x1A, c.DiagByte}});
        const std::string vin = "WDB1240361A123";
        for (uint8_t i = 0; i < vin.size(); ++i)
            unit.Set(0xF9, i, uint8_t(vin[i]));
        unit.Set(0xF9, 0, c.FirstVinByte);
        TEcuIdent ident;
        Identify(ident, unit.Request(), c.CodingPending);
        EXPECT_EQ(unit.CountSent(0xF9), 2 * c.VinReads) << "read twice";
        const std::string line = IdentLine(ident, 6);
        EXPECT_EQ(line, c.VinReads == 14 ? "VIN: WDB124 03 61A123" : "");
    }
}

TEST_F(IdentTest, OpeningReadsFollowFamilySupplierAndIndex) {
    using TPairs = std::vector<TPairKey>;
    struct TCase {
        const char* Name;
        uint8_t First, Second, DiagByte;
        TPairs Tail; // the requests after the block
    };
    const TCase cases[] = {
        {"HFM Bosch index 41",
         0x27,
         'B',
         0x41,
         {{0x10, 0xAA}, {0x27, 0x02}, {0x24, 0xF0}, {0x10, 0xAA}, {0x10, 0x00}}},
        {"HFM VDO index 42",
         0x27,
         'V',
         0x42,
         {{0x10, 0x00},
          {0x10, 0x00},
          {0x10, 0x02},
          {0x22, 0x22},
          {0x10, 0x03},
          {0x22, 0x23},
          {0x10, 0x04},
          {0x10, 0x00}}},
        {"HFM Bosch index 45", 0x27, 'B', 0x45, {}},
        {"PMS Bosch", 0x21, 'B', 0x38, {{0x21, 0xB0}}},
        {"PMS Siemens",
         0x21,
         'S',
         0x38,
         {{0x20, 0x30}, {0x20, 0xDC}, {0x21, 0x92}, {0x21, 0x93}, {0x20, 0x00}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMapUnit unit;
        unit.Block({{0, c.First}, {1, c.Second}, {0x1A, c.DiagByte}});
        TEcuIdent ident;
        Identify(ident, unit.Request(), false);
        ASSERT_EQ(unit.CountSent(0xF0), 60);
        EXPECT_EQ(TPairs(unit.Sent.begin() + 60, unit.Sent.end()), c.Tail);
    }
}

TEST_F(IdentTest, BlockAndVinAreTakenOnlyFromTwoReadsThatAgree) {
    struct TCase {
        const char* Name;
        TPairKey Pair;
        std::vector<uint8_t> Disturbed; // the first answers of the pair
        const char* Failure;            // nullptr: identified with the steady bytes
    };
    const TCase cases[] = {
        {"one read of the block disturbed", {0xF0, 0x05}, {0xE9}, nullptr},
        {"one read of the VIN disturbed", {0xF9, 0x07}, {'?'}, nullptr},
        {"the block never the same",
         {0xF0, 0x05},
         {0xE9, 0x31},
         "Помехи на линии K: чтения блока идентификации не совпали при 3 чтениях (байты 0x05)."},
        {"the VIN never the same",
         {0xF9, 0x07},
         {'?', '!'},
         "Помехи на линии K: чтения VIN не совпали при 3 чтениях (символы 0x07)."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMapUnit unit; // a VIN-capable PMS from Bosch
        unit.Block({{0, 0x21}, {1, 'B'}, {5, '2'}, {0x1A, 0x49}});
        const std::string vin = "WDB1240921F123";
        for (uint8_t i = 0; i < vin.size(); ++i)
            unit.Set(0xF9, i, uint8_t(vin[i]));
        unit.Disturbed[c.Pair] = c.Disturbed;
        TEcuIdent ident;
        try {
            Identify(ident, unit.Request(), false);
            EXPECT_EQ(c.Failure, nullptr) << "identified from reads that never agreed";
            EXPECT_EQ(ident.IdentBuf[5], uint8_t('2'));
            EXPECT_EQ(std::string(ident.VinBuf.begin(), ident.VinBuf.begin() + 14), vin);
        } catch (const LinkException& error) {
            ASSERT_NE(c.Failure, nullptr) << error.what();
            EXPECT_STREQ(error.what(), c.Failure);
        }
    }
}

TEST_F(IdentTest, MeasuresTheExchangeRate) {
    TMapUnit unit = LhUnit(); // 14 block bytes and 6 extras, 30 ms each
    TEcuIdent ident;
    EXPECT_EQ(ident.MsPerRequest, 60);
    Identify(ident, unit.Request(), false);
    EXPECT_EQ(ident.MsPerRequest, 30);
    EXPECT_EQ(Host.Logs().front(), "Скорость обмена 33 Гц");
}

TEST_F(IdentTest, EzCountsFaultsAndSendsTheClosingSequence) {
    TMapUnit unit = EzUnit();
    unit.Set(0xFF, 0xF0, 0x03).Set(0xFF, 0xF3, 0x80); // 3 bits per cycle, four cycles
    unit.Set(0xFF, 0x2C, 0xFF);                       // not among the counted answers
    unit.Set(0xFF, 0x18, 0x0F).Set(0xFF, 0x1C, 0x01);
    unit.Set(0xFF, 0x2D, 0x40).Set(0xFF, 0x54, 0x01).Set(0xFF, 0x55, 0x01);
    unit.Set(0x02, 0x7F, 0x7E);
    TEcuIdent ident;
    const uint32_t start = ManualClock.TickCount();
    Identify(ident, unit.Request(), false);
    EXPECT_EQ(Host.Logs(),
              (std::vector<std::string>{"BAD response 027F=7E", "Current faults count = 12",
                                        "Irreversible faults count = 5", "Stored faults count = 2"}));
    // 13 block reads twice, 2 + 2 + 11 opening reads, 4 + 24, 3 + 5, 3 + 40, 2 + 470 + 32 + 10 closing
    // pairs.
    EXPECT_EQ(unit.Sent.size(), 26u + 15 + 28 + 8 + 43 + 514);
    // The counters start with the bank 0 read of 0x21 before the restart pair.
    const std::vector<TPairKey> counterStart(unit.Sent.begin() + 41, unit.Sent.begin() + 46);
    EXPECT_EQ(counterStart,
              (std::vector<TPairKey>{TPairKey(0x00, 0x00), TPairKey(0xFF, 0x21), TPairKey(0x10, 0x00),
                                     TPairKey(0x11, 0xAA), TPairKey(0x00, 0x00)}));
    EXPECT_EQ(unit.Sent.back(), TPairKey(0xFF, 0x1D));
    EXPECT_GE(TicksSince(start, ManualClock.TickCount()), uint32_t(unit.Sent.size()) * 30 + 5 * 50);
    EXPECT_EQ(ident.IdentBuf[0x12], 0x00);
    EXPECT_EQ(ident.IdentBuf[0x1C], 0x12);
}

TEST_F(IdentTest, HfmPmsReport) {
    TEcuIdent ident;
    ident.UnitType = UnitHfm;
    ident.Supplier = SupplierBosch;
    const std::string text = "\x27"
                             "B0261200179012545\x01"
                             "032";
    std::copy(text.begin(), text.end(), ident.IdentBuf.begin());
    const uint8_t dates[] = {0x93, 0x12, 0x94, 0x05, 0x45, 0x00};
    std::copy(std::begin(dates), std::end(dates), ident.IdentBuf.begin() + 0x16);
    const std::vector<std::string> expected = {
        " ********************************",
        "System: HFM",
        "Manufactured:   BOSCH",
        "Ident: 02 61200 179",
        "ECU Nr: 012 545 .0 32", // an unprintable byte shows as '.'
        "Hardware date: 93/12",
        "Software date: 94/05",
        "Diagnosis index: 45/00",
        " ********************************",
    };
    EXPECT_EQ(PrintInfo(ident, false), expected);
    EXPECT_EQ(IdentLine(ident, 0), "System: HFM\r\nManufactured:   BOSCH");

    ident.UnitType = UnitPms;
    ident.Supplier = SupplierUnknown;
    ident.IdentBuf[0] = 0x21;
    EXPECT_EQ(IdentLine(ident, 0), "System: PMS\r\nManufactured:   UNKNOWN 2142");

    ident.IdentBuf[0x1A] = 0x49;
    ident.DiagIndex = 49;
    const std::string vin = "WDB1240361A123";
    std::copy(vin.begin(), vin.end(), ident.VinBuf.begin());
    EXPECT_EQ(PrintInfo(ident, false).at(8), "VIN: WDB124 03 61A123");
    EXPECT_EQ(PrintInfo(ident, true).size(), 9u); // no VIN line while a coding run waits
}

TEST_F(IdentTest, LhAndEzReports) {
    TEcuIdent lh;
    TMapUnit lhUnit = LhUnit();
    Identify(lh, lhUnit.Request(), false);
    const std::vector<std::string> lhReport = {
        " ********************************",
        "",
        "System: LH",
        "ECU Nr: 012 545 12 32",
        "Supplier: Bosch",
        "Hardware status: 51/85", // no year 51: a version code, not a date
        "Software status: 30/07",
        "Diagnosis index: 13",
        "Displacement: 2.8 l",
        "Cylinders/Valves: 6/4",
        "Program status: 13",
        "Data status: 02",
        "National variant: 05",
        "    CAT AG 0x04",
        " ********************************",
    };
    EXPECT_EQ(PrintInfo(lh, false), lhReport);
    // A pair that reads as a year and a week is a date and says which.
    const std::tuple<uint8_t, uint8_t, const char*> dates[] = {
        {0x94, 0x12, "Hardware date: 94/12 (1994, week 12)"},
        {0x80, 0x53, "Hardware date: 80/53 (1980, week 53)"},
        {0x79, 0x12, "Hardware status: 79/12"},
        {0x94, 0x54, "Hardware status: 94/54"},
        {0x94, 0x00, "Hardware status: 94/00"},
        {0x9A, 0x12, "Hardware status: 9A/12"},
    };
    for (const auto& [year, week, line] : dates) {
        lh.IdentBuf[9] = year;
        lh.IdentBuf[10] = week;
        EXPECT_EQ(PrintInfo(lh, false).at(5), line);
    }

    TEcuIdent ez;
    TMapUnit ezUnit = EzUnit();
    Identify(ez, ezUnit.Request(), false);
    const std::vector<std::string> ezReport = {
        " ********************************",
        "Control unit: EZ17",
        "MB number: 001 545 71 32",
        "Supplier: Bosch",
        "Hardware status: 91/05",
        "Software status: 93/20",
        "Diagnosis ident: 0/12",
        "  ",
        "Displacement: 2.8",
        "Bank: not given by the unit",
        "Map No: M28 104-KB7",
        "",
        "   CAT/NO CAT",
        "Identification bytes 00-0C: 0D 4D 32 38 31 30 34 2D 4B 42 37 11 22",
        " ********************************",
    };
    EXPECT_EQ(PrintInfo(ez, false), ezReport);

    TEcuIdent unknown;
    EXPECT_TRUE(PrintInfo(unknown, false).empty());
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
