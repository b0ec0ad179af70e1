#include <gtest/gtest.h>

#include "faults/fault_texts.h"
#include "host_recorder.h"
#include "params/unit_codes.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace velmora {
namespace {

std::string Lines(std::initializer_list<std::string> lines, const char* end = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

class FaultTextsTest : public ::testing::Test {
protected:
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

TEST_F(FaultTextsTest, RussianEntriesReplaceOthersOnlyWhenAsked) {
    // The field's files are Windows-1251 with CR LF.
    Folder.WriteFile("DATA/en/HFM.DAT", Utf8ToCp1251(Lines({
                                            "header line, not an entry",
                                            "$F12",
                                            "Lambda probe heating",
                                            "Check the relay.",
                                            "",
                                            "$F013",
                                            "Intake air temperature",
                                            "$R12",
                                            "Подогрев лямбда-зонда",
                                            "Проверить реле.",
                                            "$R14",
                                            "Только по-русски",
                                            "$F14",
                                            "English after Russian",
                                        })));
    struct TCase {
        bool Russian;
        int Code;
        std::string Text;
        std::vector<std::string> Description;
    };
    const TCase cases[] = {
        {false, 12, "Lambda probe heating", {"Lambda probe heating", "Check the relay.", ""}},
        {true, 12, "Подогрев лямбда-зонда", {"Подогрев лямбда-зонда", "Проверить реле."}},
        {false, 13, "Intake air temperature", {"Intake air temperature"}},
        {true, 13, "Intake air temperature", {"Intake air temperature"}},
        {false, 14, "English after Russian", {"English after Russian"}},
        {true, 14, "Только по-русски", {"Только по-русски"}}, // "$R" wins wherever it stands
        {true, 11, "", {}},
        {true, 500, "", {}},
    };
    for (const TCase& c : cases) {
        const TFaultTexts texts = LoadFaultTexts(UnitHfm, c.Russian, 'E');
        EXPECT_EQ(texts.Text(c.Code), c.Text) << c.Code << (c.Russian ? " russian" : "");
        EXPECT_EQ(texts.Description(c.Code), c.Description) << c.Code << (c.Russian ? " russian" : "");
    }
    EXPECT_TRUE(Host.Logs().empty());
}

TEST_F(FaultTextsTest, FileByFamilyAndLanguage) {
    Folder.WriteFile("DATA/de/PMS.DAT", Lines({"$F2", "Drehzahlgeber"}));
    Folder.WriteFile("DATA/ru/LH.DAT", Lines({"$F2", "Датчик оборотов"}, "\n")); // UTF-8, LF only
    Folder.WriteFile("DATA/en/LH.DAT", Lines({"$F2", "Engine speed sensor"}));
    Folder.WriteFile("DATA/en/EZ.DAT", Lines({"$F2", "never read: no EZ fault texts"}));
    struct TCase {
        uint8_t UnitType;
        char Language;
        std::string Text;
    };
    const TCase cases[] = {
        {UnitPms, 'D', "Drehzahlgeber"},
        {UnitLh, 'R', "Датчик оборотов"},
        {UnitLh, 'E', "Engine speed sensor"},
        {UnitLh, 'X', "Engine speed sensor"},
        {UnitHfm, 'E', ""},
        {UnitEz, 'E', ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LoadFaultTexts(c.UnitType, false, c.Language).Text(2), c.Text)
            << int(c.UnitType) << c.Language;
    EXPECT_EQ(FaultTextPath(UnitPms, 'D'), Folder.Path() / "DATA" / "de" / "PMS.DAT");
    EXPECT_TRUE(FaultTextPath(UnitEz, 'D').empty());
}

TEST_F(FaultTextsTest, TxtListIsTheFallbackAndCaseOfTheNameDoesNotMatter) {
    Folder.WriteFile("DATA/en/hfm.txt", Lines({"Fault list", "012 Lambda probe heating", "12x not a code",
                                               "7 not three digits", "118 Idle speed contact"}));
    const TFaultTexts texts = LoadFaultTexts(UnitHfm, true, 'E');
    EXPECT_EQ(texts.Text(12), "012 Lambda probe heating");
    EXPECT_EQ(texts.Description(12), std::vector<std::string>{"012 Lambda probe heating"});
    EXPECT_EQ(texts.Text(118), "118 Idle speed contact");
    EXPECT_EQ(texts.Text(7), "");

    // A .DAT file, once there, is read instead of the list.
    Folder.WriteFile("DATA/en/Hfm.Dat", Lines({"$F12", "From the DAT file"}));
    EXPECT_EQ(LoadFaultTexts(UnitHfm, true, 'E').Text(12), "From the DAT file");
    EXPECT_EQ(LoadFaultTexts(UnitHfm, true, 'E').Text(118), "");
}

TEST_F(FaultTextsTest, MissingFileGivesNoTexts) {
    const TFaultTexts texts = LoadFaultTexts(UnitHfm, false, 'E');
    EXPECT_TRUE(texts.Texts.empty());
    EXPECT_EQ(texts.Text(2), "");
    EXPECT_TRUE(Host.Logs().empty());
}

TEST_F(FaultTextsTest, NoticeNamesTheFileAndWhereItBelongs) {
    Folder.WriteFile("DATA/ru/PMS.DAT", Lines({"a header, but no entry", "$X12", "not a fault marker"}));
    Folder.WriteFile("DATA/ru/LH.txt", Lines({"012 Lambda"}));
    Folder.WriteFile("DATA/en/LH.txt", Lines({"only a title"}));
    const std::string ru = (Folder.Path() / "DATA" / "ru").string();
    struct TCase {
        uint8_t UnitType;
        char Language;
        TFaultTextFile State;
        std::string Notice;
    };
    const TCase cases[] = {
        {UnitHfm, 'R', TFaultTextFile::Missing,
         "Нет файла текстов ошибок HFM.DAT: коды показаны без текстов. Положите файл в папку " + ru},
        {UnitPms, 'R', TFaultTextFile::NoEntries,
         "В файле текстов ошибок " + (Folder.Path() / "DATA" / "ru" / "PMS.DAT").string() +
             " нет текстов: коды показаны без текстов."},
        {UnitLh, 'R', TFaultTextFile::Read, ""},
        {UnitLh, 'E', TFaultTextFile::NoEntries,
         "В файле текстов ошибок " + (Folder.Path() / "DATA" / "en" / "LH.txt").string() +
             " нет текстов: коды показаны без текстов."},
        {UnitEz, 'R', TFaultTextFile::NotExpected, ""},
    };
    for (const TCase& c : cases) {
        const TFaultTexts texts = LoadFaultTexts(c.UnitType, false, c.Language);
        EXPECT_EQ(texts.FileState, c.State) << int(c.UnitType) << c.Language;
        EXPECT_EQ(FaultTextsNotice(texts), c.Notice) << int(c.UnitType) << c.Language;
    }
    EXPECT_EQ(FaultTextsNotice(TFaultTexts{}), "");
}

TEST_F(FaultTextsTest, BadMarkersAreSkippedWithALogLineAndLoseNothingElse) {
    Folder.WriteFile("DATA/en/PMS.DAT", Lines({"$F2", "Speed sensor", "$Fx3", "bad code", "$F99999999999",
                                               "too large", "$F 4 ", "Spaces around the code", "$$", "$F5"}));
    const TFaultTexts texts = LoadFaultTexts(UnitPms, false, 'E');
    EXPECT_EQ(texts.Text(2), "Speed sensor");
    EXPECT_EQ(texts.Text(4), "Spaces around the code");
    EXPECT_EQ(texts.Text(5), ""); // a marker on the last line has no text
    EXPECT_LE(texts.Texts.size(), size_t(MaxFaultCode) + 1);
    const std::vector<std::string> logs = Host.Logs();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_NE(logs[0].find("PMS.DAT:3"), std::string::npos) << logs[0];
    EXPECT_NE(logs[1].find("PMS.DAT:5"), std::string::npos) << logs[1];
}

} // namespace
} // namespace velmora
