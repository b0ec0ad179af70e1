#include <gtest/gtest.h>

#include "lang/dictionary.h"
#include "params/param_errors.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(ParseLine, KeysMatchAtTheStartOfTheLine) {
    struct TCase {
        std::string_view Line;
        std::string_view Name, Izm, Mask;
        char Type;
    };
    const TCase cases[] = {
        {"NAME=Coolant", "Coolant", "", "", 'B'},
        {"NAMEX= Speed  ", "Speed", "", "", 'B'},
        {" NAME=ignored", "", "", "", 'B'},
        {"NAME ignored", "", "", "", 'B'},
        {"name=ignored", "", "", "", 'B'},
        {"IZM=°C long", "", "°C l", "", 'B'},
        {"TYPE=w", "", "", "", 'B'},
        {"TYPE=W", "", "", "", 'W'},
        {"TYPE=", "", "", "", 'B'},
        {"MASK=%.3d", "", "", "%.3d", 'B'},
        {"OTHER=1", "", "", "", 'B'},
    };
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.ParseLine(c.Line);
        EXPECT_EQ(param.Name, c.Name) << c.Line;
        EXPECT_EQ(param.Izm, c.Izm) << c.Line;
        EXPECT_EQ(param.Mask, c.Mask) << c.Line;
        EXPECT_EQ(param.ParamType, c.Type) << c.Line;
    }
}

TEST(ParseLine, NameIsShownInTheUsersLanguage) {
    testing::TTempFolder folder;
    // The dictionary on disk is Windows-1251: "Обороты" / "Engine speed".
    folder.WriteFile("DATA/english.txt", "\xCE\xE1\xEE\xF0\xEE\xF2\xFB\r\nEngine speed\r\n");
    SetLanguage('E');
    TECUparam param(1);
    param.ParseLine("NAME=Обороты");
    SetLanguage('R');
    ResetDictionary();
    EXPECT_EQ(param.Name, "Engine speed");
}

TEST(ParseLine, DescriptionLinesBuildARecord) {
    TECUparam param(5);
    for (std::string_view line :
         {"NAME=IDLE;P/N|Drive;A/C", "TYPE=X", "CALC=/10", "CMD=0817", "FONT_SIZE=B12"})
        param.ParseLine(line);
    EXPECT_EQ(param.ParamType, 'X');
    EXPECT_EQ(param.Divisor, 1); // the CALC of an X parameter parses the bit names again
    EXPECT_EQ(param.BitFieldCount(), 3);
    EXPECT_EQ(param.CmdHi, 0x08);
    EXPECT_EQ(param.CmdLo, 0x17);
    EXPECT_EQ(param.FontStyle, 'B');
    EXPECT_EQ(param.FontSize, 12);
    param.ParseLine("FONT_SIZE=14");
    EXPECT_EQ(param.FontSize, 14);
    EXPECT_EQ(param.FontStyle, 'B');

    param.ParseLine("NAME=" + std::string(300, 'n'));
    EXPECT_EQ(param.Name.size(), 200u); // a line's value is cut at 200 characters
}

TEST(ParseLine, NumbersThatDoNotConvertRaiseErrors) {
    TECUparam param(4);
    param.ParseLine("NAME=Lambda");
    EXPECT_THROW(param.ParseLine("CALC=*abc"), ConvertError);
    EXPECT_THROW(param.ParseLine("FONT_SIZE=Bxx"), ConvertError);
    EXPECT_THROW(param.ParseLine("FONT_SIZE=300"), RangeError);
    try {
        param.ParseLine("CALC=(0;1)-(2;x)");
        ADD_FAILURE();
    } catch (const ConvertError& error) {
        EXPECT_NE(std::string(error.what()).find("parameter 4 (Lambda)"), std::string::npos);
    }
}

class EcuIni : public ::testing::Test {
protected:
    testing::TTempFolder Folder;
    TListParams Params;
};

TEST_F(EcuIni, ReadsPlainAndUnitSectionsInOrder) {
    Folder.WriteFile("ECU.ini",
                     "[HFM]\nTYPE=HFM 2142\n"
                     "[U220]\nCMD=10 20\n"
                     "[P5]\nCMD=0817\nUNIT=кг/ч\n"
                     "[P0]\nNAME=0\nCMD=55 00\n"
                     "[P1]\nname=1\ncmd=0001\nCALC=/4\n"
                     "[P23]\nNAME=23\nCMD=0017\nTYPE=X\n"
                     "[P7]\nNAME=No address\n"
                     "[P8]\nCMD=zz\n"
                     "[P9]\nNAME=Speed\nCMD=85 9\nTYPE=W\nIZM=km/h!\nFONT_SIZE=B14\nCALC=/10~1\nMASK=%.2f\n"
                     "[U255]\nCMD=FF26\n"
                     "[P300]\nCMD=0001\n");
    Params.LoadIni();
    EXPECT_TRUE(Params.Is2142);
    std::vector<int> numbers;
    for (const auto& param : Params)
        numbers.push_back(param->Number);
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 5, 9, 23, 255, 220}));

    const TECUparam& p5 = *Params.FindByNumber(5);
    EXPECT_EQ(p5.Name, "P5");
    EXPECT_EQ(p5.ParamType, 'B');
    EXPECT_EQ(p5.CmdHi, 0x08);
    EXPECT_EQ(p5.CmdLo, 0x17);
    EXPECT_EQ(p5.PointCount, 0);
    EXPECT_EQ(p5.FontSize, DefaultFontSize());
    EXPECT_EQ(p5.Unit, "кг/ч");
    EXPECT_EQ(p5.Izm, "");

    // Numbers 0, 1 and 23 named only by their number get built-in descriptions; the names mix Latin
    // and Cyrillic letters and must stay byte for byte.
    TECUparam& p0 = *Params.FindByNumber(0);
    EXPECT_EQ(p0.Name, "\xD0\xA2"
                       "e\xD0\xBC\xD0\xBF"
                       "e\xD1\x80"
                       "a\xD1\x82"
                       "y\xD1\x80"
                       "a O\xD0\x96");
    EXPECT_EQ(p0.PointCount, 4);
    p0.SetRaw(24, 0, 0, 0);
    EXPECT_FLOAT_EQ(p0.AsSingle(), -10);
    TECUparam& p1 = *Params.FindByNumber(1);
    EXPECT_EQ(p1.Name, "O\xD0\xB1opo\xD1\x82\xD1\x8B");
    EXPECT_EQ(p1.Multiplier, 25);
    EXPECT_EQ(p1.Divisor, 1);
    const TECUparam& p23 = *Params.FindByNumber(23);
    EXPECT_EQ(p23.Name,
              "IDL\xD0\x95;\xD0\xA0/N;\xD0\x90/C;St\xD0\xB0rt\xD0\xB5r sign\xD0\xB0l;\xD0\xA5;X;\xD0\xA5;X");
    EXPECT_EQ(p23.BitFieldCount(), 8);

    TECUparam& p9 = *Params.FindByNumber(9);
    EXPECT_EQ(p9.Name, "Speed");
    EXPECT_EQ(p9.Izm, "km/h");
    EXPECT_EQ(p9.FontStyle, 'B');
    EXPECT_EQ(p9.FontSize, 14);
    EXPECT_EQ(p9.Mask, "%.2f");
    p9.SetRaw(0x39, 0x30, 0, 0);
    EXPECT_EQ(p9.FormatValue(), "1234.50");
    EXPECT_EQ(Params.FindByNumber(7), nullptr);
    EXPECT_EQ(Params.FindByNumber(8), nullptr);
}

TEST_F(EcuIni, MissingFileGivesAnEmptySet) {
    Params.LoadBuiltinSet(UnitEz, 0);
    Params.Is2142 = true;
    Params.LoadIni(Folder.Path() / "absent.ini");
    EXPECT_EQ(Params.Count(), 0u);
    EXPECT_FALSE(Params.Is2142);
}

TEST_F(EcuIni, BadCalcStopsTheLoadAndKeepsWhatWasRead) {
    Folder.WriteFile("other.ini", "[P0]\nCMD=0001\n[P2]\nNAME=Boost\nCMD=0002\nCALC=/x\n[P3]\nCMD=0003\n");
    try {
        Params.LoadIni(Folder.Path() / "other.ini");
        ADD_FAILURE() << "no error";
    } catch (const ConvertError& error) {
        EXPECT_NE(std::string(error.what()).find("CALC \"/x\" of parameter 2 (Boost)"), std::string::npos)
            << error.what();
    }
    ASSERT_EQ(Params.Count(), 1u);
    EXPECT_EQ(Params[0].Number, 0);
}

TEST(BuiltinSets, HoldTheRowsOfEachFamily) {
    struct TCase {
        int UnitType;
        char Variant;
        size_t Count;
    };
    const TCase cases[] = {{UnitHfm, 0, 85},  {UnitPms, 'h', 85}, {UnitUnknown, 0, 85},
                           {UnitLh, 'w', 42}, {UnitLh, 'x', 42},  {UnitEz, 0, 39}};
    for (const TCase& c : cases) {
        TListParams params;
        params.LoadBuiltinSet(c.UnitType, c.Variant);
        EXPECT_EQ(params.Count(), c.Count) << c.UnitType << " " << c.Variant;
    }
}

TEST(BuiltinSets, SampleRowsConvertAsDescribed) {
    struct TCase {
        int UnitType;
        char Variant;
        int Number;
        uint8_t CmdHi, CmdLo;
        std::string_view Name;
        std::array<uint8_t, 2> Raw;
        std::string_view Text;
    };
    const TCase cases[] = {
        {UnitHfm, 0, 0, 0x55, 0, "Температура ОЖ", {130, 0}, "90°"},
        {UnitHfm, 0, 1, 0x55, 1, "Обороты", {0x40, 0x0C}, "784"},
        {UnitHfm, 0, 3, 0x55, 3, "Время впрыска", {0xE2, 0x04}, "10.00"},
        {UnitHfm, 0, 20, 0x55, 20, "CODE NUMBER 20", {7, 0}, "007"},
        {UnitHfm, 0, 28, 0x55, 28, "Скорость переднего левого колеса", {255, 0}, "306"},
        {UnitHfm, 0, 39, 0x55, 39, "CODING UNIT NUMBER, LOW", {0xAB, 0}, "ab"},
        {UnitHfm, 0, 141, 0x55, 141, "Uакб", {0xFF, 0x03}, "20.00"},
        {UnitHfm, 0, 173, 0x55, 173, "Макс. индикаторный момент мотора", {100, 0}, "300"},
        {UnitLh, 'w', 1, 0x00, 0x89, "Обороты", {255, 0}, "6000"},
        {UnitLh, 'h', 1, 0x00, 0x89, "Обороты", {255, 0}, "9759"},
        {UnitLh, 0, 0, 0x10, 0x40, "Температура ОЖ 1", {16, 0}, "147°"},
        {UnitLh, 0, 5, 0x10, 0x4E, "Угол ДЗ", {255, 0}, "89.2°"},
        {UnitLh, 0, 44, 0x00, 0x3D, "Сигнал расходомера воздуха", {0, 0x20}, "22.40"},
        {UnitLh, 0, 129, 0x00, 0xAA, "Поддержание связи", {1, 0}, "1"},
        {UnitEz, 0, 201, 0xFF, 0x26, "P201", {9, 0}, "9"},
        {UnitEz, 0, 1, 0xFF, 0x41, "Обороты", {100, 0}, "3000"},
        {UnitEz, 0, 252, 0x10, 0x00, "Поддержание связи", {0, 0}, "0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.UnitType) + " " + std::to_string(c.Number));
        TListParams params;
        params.LoadBuiltinSet(c.UnitType, c.Variant);
        TECUparam* param = params.FindByNumber(c.Number);
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(param->CmdHi, c.CmdHi);
        EXPECT_EQ(param->CmdLo, c.CmdLo);
        EXPECT_EQ(param->Name, c.Name);
        param->SetRaw(c.Raw[0], c.Raw[1], 0, 0);
        EXPECT_EQ(param->FormatValue(), c.Text);
    }
}

TEST(BuiltinSets, BitRowsParseTheirNames) {
    TListParams params;
    params.LoadBuiltinSet(UnitLh, 0);
    TECUparam& airPump = *params.FindByNumber(25);
    EXPECT_EQ(airPump.ParamType, 'X');
    EXPECT_EQ(airPump.BitFieldCount(), 8);
    airPump.SetRaw(0xE0, 0, 0, 0);
    EXPECT_EQ(airPump.BitText(), " Воздушный насос вкл/выкл 25_40 25_80");
}

TEST(AddressSets, FitTheUnitBySupplierAndDiagnosisIndex) {
    struct TCase {
        int UnitType, Supplier, DiagIndex;
        size_t Count;
    };
    const TCase cases[] = {
        {UnitHfm, SupplierSiemens, 60, 32}, {UnitPms, SupplierSiemens, 72, 32},
        {UnitHfm, SupplierSiemens, 73, 0},  {UnitHfm, SupplierBosch, 40, 27},
        {UnitPms, SupplierBosch, 41, 27},   {UnitHfm, SupplierBosch, 42, 0},
        {UnitHfm, SupplierVdo, 44, 40},     {UnitHfm, SupplierVdo, 39, 0},
        {UnitLh, SupplierBosch, 12, 43},    {UnitLh, SupplierUnknown, 12, 0},
        {UnitEz, SupplierBosch, 40, 0},     {UnitUnknown, SupplierBosch, 40, 0},
    };
    for (const TCase& c : cases) {
        TListParams params;
        EXPECT_EQ(params.LoadAddressSet(c.UnitType, c.Supplier, c.DiagIndex), c.Count > 0);
        EXPECT_EQ(params.Count(), c.Count) << c.UnitType << " " << c.Supplier << " " << c.DiagIndex;
    }
}

TEST(AddressSets, EntriesCarryAddressAndDescription) {
    TListParams params;
    params.LoadAddressSet(UnitHfm, SupplierVdo, 42);
    TECUparam& temperature = *params.FindByNumber(5);
    EXPECT_EQ(temperature.CmdHi, 0x22);
    EXPECT_EQ(temperature.CmdLo, 0x78);
    EXPECT_EQ(temperature.Divisor, 100);
    TECUparam& voltage = *params.FindByNumber(13);
    EXPECT_EQ(voltage.ParamType, 'W');
    voltage.SetRaw(0xFF, 0x03, 0, 0);
    EXPECT_EQ(voltage.FormatValue(), "5.00");
    const TECUparam& plain = *params.FindByNumber(15);
    EXPECT_EQ(plain.ParamType, 'B');
    EXPECT_EQ(plain.CmdHi, 0x12);
    EXPECT_EQ(plain.CmdLo, 0x7F);
}

TEST(ColorRulesByNumber, DependOnTheUnit) {
    struct TCase {
        int UnitType, Supplier, DiagIndex;
        std::vector<std::pair<int, int>> Rules; // number, rule
    };
    const TCase cases[] = {
        {UnitHfm,
         SupplierBosch,
         30,
         {{0, 100}, {1, 101}, {2, 0}, {4, 104}, {5, 105}, {8, 108}, {9, 109}, {41, 141}}},
        {UnitHfm, SupplierVdo, 30, {{8, 109}, {12, 112}, {16, 116}}},
        {UnitPms, SupplierVdo, 45, {{8, 108}}},
        {UnitPms, SupplierBosch, 30, {{8, 109}}},
        {UnitLh, SupplierBosch, 70, {{2, 100}, {4, 99}, {8, 108}, {10, 109}}},
    };
    for (const TCase& c : cases) {
        TListParams params;
        params.LoadBuiltinSet(c.UnitType, 0);
        params.AssignColorRules(c.UnitType, c.Supplier, c.DiagIndex);
        for (auto [number, rule] : c.Rules)
            EXPECT_EQ(params.FindByNumber(number)->ColorRule, rule)
                << c.UnitType << " " << c.Supplier << " " << c.DiagIndex << " number " << number;
    }
}

TEST(ListParams, FindByIdAndAddOnlyWithCmd) {
    TListParams params;
    EXPECT_FALSE(params.Add(std::make_unique<TECUparam>(1)));
    auto status = std::make_unique<TECUparam>(23);
    status->SetType('X');
    status->SetCmdWord(0x5517);
    status->SetBitId(42, 0x10);
    EXPECT_TRUE(params.Add(std::move(status)));
    EXPECT_EQ(params.FindById(42), &params[0]);
    EXPECT_EQ(params.FindById(43), nullptr);
    EXPECT_EQ(params.FindByNumber(1), nullptr);
}

} // namespace
} // namespace velmora
