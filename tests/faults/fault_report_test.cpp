#include <gtest/gtest.h>

#include <algorithm>

#include "faults/fault_report.h"
#include "host_recorder.h"
#include "platform/utf8_path.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using TLines = std::vector<std::string>;

const TFaultContext HfmBosch{UnitHfm, SupplierBosch, 52, 0, false};

std::tm Day(int year, int month, int day, int hour = 9, int minute = 5, int second = 7) {
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return when;
}

// A report of an unidentified unit without client: only the date above the faults.
TFaultReportHead On(const std::tm& when) {
    return {when, "", {}};
}

void Put(TEcuIdent& ident, size_t address, std::string_view characters) {
    for (char c : characters)
        ident.IdentBuf[address++] = uint8_t(c);
}

// An HFM unit from Bosch, diagnosis index 52, whose VIN was read.
TEcuIdent HfmIdent() {
    TEcuIdent ident;
    ident.UnitType = UnitHfm;
    ident.Supplier = SupplierBosch;
    ident.DiagIndex = 52;
    ident.IdentBuf[0] = 0x27;
    ident.IdentBuf[1] = 'B';
    Put(ident, 0x02, "HF2811B001");
    Put(ident, 0x0C, "0261204321");
    const uint8_t dates[] = {0x94, 0x12, 0x95, 0x03, 0x52, 0x01};
    std::copy(std::begin(dates), std::end(dates), ident.IdentBuf.begin() + 0x16);
    const std::string vin = "WDB1240921F123";
    std::copy(vin.begin(), vin.end(), ident.VinBuf.begin());
    return ident;
}

class FaultReportTest : public ::testing::Test {
protected:
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

TEST_F(FaultReportTest, DescriptionBlocksPerFault) {
    Folder.WriteFile("DATA/en/HFM.DAT", "$F118\r\nIdle contact\r\nCheck the switch.\r\n$R118\r\nКонтакт\r\n"
                                        "$F147\r\nKnock sensor 2\r\n");
    const TFaultTexts texts = LoadFaultTexts(UnitHfm, false, 'E');
    TFaultBuf buffer{};
    buffer[1] = 0x01;  // bit 9, code 118, stored ...
    buffer[17] = 0x01; // ... and current
    buffer[8] = 0x20;  // bit 70, code 147 at diagnosis index 52, stored
    buffer[5] = 0x01;  // bit 41, code 45: no text in the file
    const std::string rule(61, '_');
    const TLines expected = {
        "10.12.2026 09:05:07",
        "",
        rule,
        "118,  АКТУАЛЬНЫЙ",
        "Idle contact",
        "Check the switch.",
        rule,
        "045,  Сохраненный",
        rule,
        "147,  Сохраненный",
        "Knock sensor 2",
    };
    EXPECT_EQ(FaultReport(buffer, HfmBosch, texts, false, On(Day(2026, 12, 10))), expected);
    // The stored-only list reports bit 9 as stored.
    EXPECT_EQ(FaultReport(buffer, HfmBosch, texts, true, On(Day(2026, 12, 10)))[3], "118,  Сохраненный");
}

TEST_F(FaultReportTest, UnknownCodesAndTheLimitOfSixty) {
    TFaultBuf buffer{};
    buffer[1] = 0x02; // PMS bit 10 has no code
    const TLines lines =
        FaultReport(buffer, {UnitPms, SupplierVdo, 45, 0, false}, {}, false, On(Day(2026, 1, 2)));
    EXPECT_EQ(lines, (TLines{"02.01.2026 09:05:07", "", std::string(61, '_'), "010,  Сохраненный",
                             "? ячейка 10 КОД ошибки по классификации мерседес неизвестен!"}));

    TFaultBuf full;
    full.fill(0xFF);
    const TLines many = FaultReport(full, HfmBosch, {}, false, On(Day(2026, 1, 2)));
    EXPECT_EQ(std::count(many.begin(), many.end(), std::string(61, '_')), 60);
    // Stored-only: bits 1-120 only current, 121-152 stored; all 32 stored faults are reported.
    TFaultBuf lateStored{};
    for (size_t a = 16; a < 31; ++a)
        lateStored[a] = 0xFF;
    lateStored[15] = lateStored[48] = lateStored[49] = lateStored[50] = 0xFF;
    const TLines stored = FaultReport(lateStored, HfmBosch, {}, true, On(Day(2026, 1, 2)));
    EXPECT_EQ(std::count(stored.begin(), stored.end(), std::string(61, '_')), 32);
}

TEST_F(FaultReportTest, SavedReportCarriesClientIdentificationAndTexts) {
    Folder.WriteFile("DATA/en/HFM.DAT", "$F007\r\nIntake air temperature sensor B17: open circuit\r\n"
                                        "Check the wiring to N3/4.\r\n");
    TFaultBuf buffer{};
    buffer[0] = 0x10;  // bit 5, code 7, stored
    buffer[17] = 0x08; // bit 12, code 14, current: no text in the file
    const TFaultReportHead head{Day(2026, 12, 10, 17, 4, 59), "Иванов W124", HfmIdent()};
    const auto saved =
        SaveFaultReport(FaultReport(buffer, HfmBosch, LoadFaultTexts(UnitHfm, false, 'E'), false, head),
                        head.Client, head.When);
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, Folder.Path() / "LOGS" / Utf8Path("Иванов W124") / "ERR20261210A.txt");
    const std::string rule(61, '_');
    EXPECT_EQ(Folder.ReadFile(Utf8Path("LOGS/Иванов W124/ERR20261210A.txt")),
              "10.12.2026 17:04:59\n"
              "Клиент: Иванов W124\n"
              "System: HFM\n"
              "Manufactured:   BOSCH\n"
              "Ident: HF 2811B 001\n"
              "ECU Nr: 026 120 43 21\n"
              "Hardware date: 94/12\n"
              "Software date: 95/03\n"
              "Diagnosis index: 52/01\n"
              "VIN: WDB124 09 21F123\n"
              "\n" +
                  rule +
                  "\n"
                  "007,  Сохраненный\n"
                  "Intake air temperature sensor B17: open circuit\n"
                  "Check the wiring to N3/4.\n" +
                  rule +
                  "\n"
                  "014,  АКТУАЛЬНЫЙ\n");
}

TEST_F(FaultReportTest, MissingTextFileIsNamedOnceAndEveryFaultStillReported) {
    TFaultBuf buffer{};
    buffer[0] = 0x11; // bits 1 and 5: codes 2 and 7, stored
    TEcuIdent lh;
    lh.UnitType = UnitLh; // an identified unit of another family: its own identification lines
    lh.Supplier = SupplierBosch;
    const TLines lines = FaultReport(buffer, HfmBosch, LoadFaultTexts(UnitHfm, false, 'D'), false,
                                     {Day(2026, 12, 10), "", lh});
    const std::string notice = "Нет файла текстов ошибок HFM.DAT: коды показаны без текстов. Положите файл в "
                               "папку " +
                               (Folder.Path() / "DATA" / "de").string();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), notice), 1) << ::testing::PrintToString(lines);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "System: LH"), lines.end());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "002,  Сохраненный"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "007,  Сохраненный"), 1);
    // The notice stands above the faults, not among them.
    EXPECT_LT(std::find(lines.begin(), lines.end(), notice), std::find(lines.begin(), lines.end(), ""));
}

TEST_F(FaultReportTest, ReportsOfOneDayTakeTheNextLetter) {
    const TLines first = {"first"};
    const TLines second = {"second"};
    const auto a = SaveFaultReport(first, "", Day(2026, 3, 4));
    const auto b = SaveFaultReport(second, "", Day(2026, 3, 4, 18));
    const auto nextDay = SaveFaultReport(second, "", Day(2026, 3, 5));
    ASSERT_TRUE(a && b && nextDay);
    EXPECT_EQ(*a, Folder.Path() / "LOGS" / "ERR20260304A.txt");
    EXPECT_EQ(*b, Folder.Path() / "LOGS" / "ERR20260304B.txt");
    EXPECT_EQ(*nextDay, Folder.Path() / "LOGS" / "ERR20260305A.txt");
    EXPECT_EQ(Folder.ReadFile("LOGS/ERR20260304A.txt"), "first\n");
    EXPECT_EQ(Folder.ReadFile("LOGS/ERR20260304B.txt"), "second\n");
}

TEST_F(FaultReportTest, ClientReportGoesToItsSubfolder) {
    const auto saved = SaveFaultReport({"Иванов"}, "Иванов W124", Day(2026, 3, 4));
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, Folder.Path() / "LOGS" / Utf8Path("Иванов W124") / "ERR20260304A.txt");
    EXPECT_EQ(Folder.ReadFile(Utf8Path("LOGS/Иванов W124/ERR20260304A.txt")), "Иванов\n"); // UTF-8
}

TEST_F(FaultReportTest, AfterZTheReportIsAppendedToZ) {
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        Folder.WriteFile("LOGS/" + FaultReportFileName(Day(2026, 3, 4), letter),
                         std::string("old ") + letter);
    const auto saved = SaveFaultReport({"new"}, "", Day(2026, 3, 4));
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, Folder.Path() / "LOGS" / "ERR20260304Z.txt");
    EXPECT_EQ(Folder.ReadFile("LOGS/ERR20260304Z.txt"), "old Z\nnew\n");
    EXPECT_EQ(Folder.ReadFile("LOGS/ERR20260304Y.txt"), "old Y");
}

TEST_F(FaultReportTest, UnwritableFolderIsReported) {
    Folder.WriteFile("LOGS", "a file where the folder should be");
    EXPECT_FALSE(SaveFaultReport({"lost?"}, "", Day(2026, 3, 4)));
    ASSERT_EQ(Host.Logs().size(), 1u);
    EXPECT_NE(Host.Logs()[0].find("Не могу записать файл"), std::string::npos);
    EXPECT_NE(Host.Logs()[0].find("ERR20260304"), std::string::npos);
}

} // namespace
} // namespace velmora
