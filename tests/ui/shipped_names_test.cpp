// The parameter names of every built-in unit family as the window shows them, with the shipped
// dictionaries, in each language: finished text (no unit written into the name, no English left in a
// Russian or German window, no Russian in an English or German one) and the unit beside the value.
#include <QLabel>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lang/dictionary.h"
#include "lang/dictionary_appender.h"
#include "lang/dictionary_table.h"
#include "params/display_unit.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "temp_folder.h"
#include "ui/screens/param_row.h"
#include "ui/screens/screen_definition.h"
#include "ui/screens/screen_page.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

std::string Shipped(const char* file) {
    std::ifstream in(std::filesystem::path(VELMORA_DATA_DIR) / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct TFamily {
    int UnitType;
    char Variant;
    const char* Name;
};
constexpr TFamily Families[] = {{UnitHfm, 'A', "HFM"}, {UnitLh, 'h', "LH"}, {UnitEz, 0, "EZ"}};

// A unit written into a name: "Air mass, kg/h", "Injection time [ms]", "O2 Sensor (mV)", "..., сек.".
const QRegularExpression UnitInName(
    R"((,\s*|\s*[\[(]|\s)(кг/ч|kg/h|мс|ms|мбар|mbar|mBar|Нм|Nm|В|V|мВ|mV|сек|s|%|об/мин|rpm|км/ч|km/h)\.?[\])]?\s*$)"
    R"(|\[[^\]]*\])");
const QRegularExpression LowerCaseLatin("[a-z]");

class ShippedNamesTest : public ::testing::TestWithParam<char> {
protected:
    void SetUp() override {
        for (const char* file : {"english.txt", "deutsch.txt"})
            Folder.WriteFile(std::string("DATA/") + file, Shipped(file));
        ResetDictionary();
        SetLanguage(GetParam());
    }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }

    // What a reader of the window sees of a name: the whole name, or each caption of a status byte.
    static std::vector<QString> ShownTexts(const TECUparam& param) {
        if (param.ParamType != 'X')
            return {QString::fromStdString(param.Name)};
        std::vector<QString> texts;
        for (const QString& field : QString::fromStdString(param.Name).split(';'))
            for (const QString& caption : field.split('|'))
                texts.push_back(caption.trimmed());
        return texts;
    }

    testing::TTempFolder Folder;
};

TEST_P(ShippedNamesTest, NamesAreFinishedTextInTheWindowsLanguage) {
    for (const TFamily& family : Families) {
        TListParams set;
        set.LoadBuiltinSet(family.UnitType, family.Variant);
        ASSERT_GT(set.Count(), 0u) << family.Name;
        for (const auto& param : set) {
            const std::string where = std::string(family.Name) + " " + std::to_string(param->Number);
            for (const QString& text : ShownTexts(*param)) {
                const std::string utf8 = text.toStdString();
                EXPECT_FALSE(UnitInName.match(text).hasMatch()) << where << ": unit in the name: " << utf8;
                if (GetParam() == 'R') {
                    // Latin is left only for codes and abbreviations (IDLE, A/C, SS24_1, CODE NUMBER).
                    EXPECT_TRUE(HasCyrillic(utf8) || !LowerCaseLatin.match(text).hasMatch())
                        << where << ": English in a Russian window: " << utf8;
                } else {
                    EXPECT_FALSE(HasCyrillic(utf8)) << where << ": untranslated: " << utf8;
                }
            }
        }
    }
    // Nothing was missing from the dictionaries: no name was appended to them (nor is on its way).
    FlushDictionaryAppends();
    EXPECT_EQ(Folder.ReadFile("DATA/english.txt"), Shipped("english.txt"));
    EXPECT_EQ(Folder.ReadFile("DATA/deutsch.txt"), Shipped("deutsch.txt"));
}

// The units that were part of the names stand beside the values, translated.
TEST_P(ShippedNamesTest, UnitsStandBesideTheValue) {
    struct TRow {
        int UnitType;
        char Variant;
        int Number;
        const char* Russian;
        const char* English; // German writes these units the same way
    } rows[] = {
        {UnitHfm, 'A', 6, "кг/ч", "kg/h"},  {UnitHfm, 'A', 7, "мВ", "mV"},
        {UnitHfm, 'A', 16, "мбар", "mbar"}, {UnitHfm, 'A', 88, "с", "s"},
        {UnitHfm, 'A', 165, "Нм", "Nm"},    {UnitHfm, 'A', 2, "об/мин", "rpm"},
        {UnitLh, 'h', 3, "мс", "ms"},       {UnitLh, 'h', 8, "кг/ч", "kg/h"},
        {UnitLh, 'h', 14, "В", "V"},        {UnitLh, 'h', 44, "В", "V"},
        {UnitEz, 0, 4, "мбар", "mbar"},     {UnitEz, 0, 1, "об/мин", "rpm"},
    };
    for (const TRow& row : rows) {
        TListParams set;
        set.LoadBuiltinSet(row.UnitType, row.Variant);
        const TECUparam* param = set.FindByNumber(row.Number);
        ASSERT_NE(param, nullptr) << row.Number;
        std::string expected = GetParam() == 'R' ? row.Russian : row.English;
        if (GetParam() == 'D' && expected == "rpm")
            expected = "1/min";
        EXPECT_EQ(DisplayUnit(*param), expected) << row.UnitType << " " << row.Number;
        EXPECT_EQ(param->FormatValue().find(expected), std::string::npos) << "the value text stays bare";
    }
}

// The unit column is as wide in every row, whichever unit is the widest in the language, so the names
// line up.
TEST_P(ShippedNamesTest, UnitColumnLinesUpTheNames) {
    TListParams set;
    set.LoadBuiltinSet(UnitHfm, 'A');
    TScreenPage page(ParseScreenItems("S 1,16,7,165,88,0", 0, false), testing::Borrow(set), {});
    for (size_t row = 1; row < 6; ++row)
        EXPECT_EQ(page.Row(row)->UnitLabel()->width(), page.Row(0)->UnitLabel()->width()) << row;
}

// The combined code lines of a screen are named in the window's language too.
TEST_P(ShippedNamesTest, CombinedCodeLinesAreNamedInTheWindowsLanguage) {
    TListParams set;
    set.LoadBuiltinSet(UnitHfm, 'A');
    TScreenPage page(ParseScreenItems("Блок 255,254", 0, false), testing::Borrow(set), {});
    struct TRow {
        char Language;
        const char* Code;
        const char* Coding;
    } rows[] = {{'R', "Кодовый номер", "Кодировка блока"},
                {'E', "Code number", "Unit coding"},
                {'D', "Codenummer", "Steuergerätecodierung"}};
    for (const TRow& row : rows) {
        if (row.Language != GetParam())
            continue;
        EXPECT_EQ(page.Row(0)->NameLabel()->text().toStdString(), row.Code);
        EXPECT_EQ(page.Row(1)->NameLabel()->text().toStdString(), row.Coding);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedNamesTest, ::testing::Values('R', 'E', 'D'),
                         [](const ::testing::TestParamInfo<char>& language) {
                             return std::string(1, language.param);
                         });

} // namespace
} // namespace velmora
