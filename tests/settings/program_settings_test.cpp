#include "settings/program_settings.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(ProgramSettings, FileWithoutKeysGivesDefaults) {
    testing::TTempFolder folder;
    folder.WriteFile("velmora.ini", "[OPTIONS]\n");
    TProgramSettings s = ReadProgramSettings(TIniFile(folder.Path() / "velmora.ini"));
    EXPECT_EQ(s.FontSize, 10);
    EXPECT_EQ(s.PrmFontSize, 12);
    EXPECT_EQ(s.ValueFontSize, 12);
    EXPECT_EQ(s.StatusFontSize, 12);
    EXPECT_TRUE(s.StatusSmartShow);
    EXPECT_EQ(s.Port, "");
    EXPECT_EQ(s.ComLastNum, 20);
    EXPECT_EQ(s.Adapter, 'S');
    EXPECT_EQ(s.Language, 'R');
    EXPECT_FALSE(s.CheckWord);
    EXPECT_FALSE(s.RusTextErr);
}

TEST(ProgramSettings, ReadsValuesAndRejectsUnknownOnes) {
    testing::TTempFolder folder;
    folder.WriteFile("velmora.ini", "[OPTIONS]\nFONT_SIZE=14\nLANGUAGE=x\nCHECK_WORD= y \nRUSTEXTERR=Yes\n"
                                    "ADAPTER=ELM\nCONNECTLOST_TIME=70000\nIDLE_TIME=-5\nCLIENT=" +
                                        std::string(300, 'a') + "\n");
    TProgramSettings s = ReadProgramSettings(TIniFile(folder.Path() / "velmora.ini"));
    EXPECT_EQ(s.FontSize, 14);
    EXPECT_EQ(s.Language, 'R'); // an unknown language keeps Russian
    EXPECT_TRUE(s.CheckWord);
    EXPECT_FALSE(s.RusTextErr); // only "Y" is yes
    EXPECT_EQ(s.Adapter, 'E');
    EXPECT_EQ(s.ConnectLostTime, 65535);
    EXPECT_EQ(s.IdleTime, 0);
    EXPECT_EQ(s.Client.size(), 255u);
}

TEST(ProgramSettings, ClosingSaveKeepsThePortChoice) {
    testing::TTempFolder folder;
    TIniFile ini(folder.Path() / "velmora.ini");
    TSessionSettings session{"COM3", 'E', "log1.bin", "Ivanov", true};
    ASSERT_TRUE(SaveSessionSettings(ini, session, false));
    session.Port = "COM7";
    session.Client = "Petrov";
    ASSERT_TRUE(SaveSessionSettings(ini, session, true));
    EXPECT_EQ(ini.ReadString("OPTIONS", "PORT", ""), "COM3");
    EXPECT_EQ(ini.ReadInteger("OPTIONS", "COM", 0), 3);
    EXPECT_EQ(ini.ReadString("OPTIONS", "ADAPTER", ""), "E");
    EXPECT_EQ(ini.ReadString("OPTIONS", "CLIENT", ""), "Petrov");
    EXPECT_EQ(ini.ReadString("OPTIONS", "RUSTEXTERR", ""), "Y");
    EXPECT_EQ(ini.ReadString("OPTIONS", "FILE", ""), "log1.bin");
}

TEST(ProgramSettings, DisplaySettingsRoundTrip) {
    testing::TTempFolder folder;
    TIniFile ini(folder.Path() / "velmora.ini");
    TProgramSettings s;
    s.PrmFontSize = 16;
    s.ValueFontSize = 20;
    s.StatusFontSize = 14;
    s.StatusSmartShow = false;
    s.Language = 'D';
    ASSERT_TRUE(SaveDisplaySettings(ini, s));
    TProgramSettings back = ReadProgramSettings(ini);
    EXPECT_EQ(back.PrmFontSize, 16);
    EXPECT_EQ(back.ValueFontSize, 20);
    EXPECT_EQ(back.StatusFontSize, 14);
    EXPECT_FALSE(back.StatusSmartShow);
    EXPECT_EQ(back.Language, 'D');
}

} // namespace
} // namespace velmora
