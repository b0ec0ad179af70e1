// The conversion of exchange-log files: recorded logs of the simulated units against their expected
// text, folders, the parameter descriptions (ECU.ini, hfmobd.ini) and what happens to files that cannot
// be converted.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "host_recorder.h"
#include "log_convert/log_converter.h"
#include "log_convert/value_csv.h"
#include "params/ecu_param.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::THostRecorder;
using testing::TTempFolder;

const fs::path RecordedLogs = VELMORA_RECORDED_LOGS;

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A log of the simulated HFM unit on a cable: identification, fault memory and engine speed.
std::string HfmLog() {
    return ReadWhole(RecordedLogs / "hfm_cable.bin");
}

// Recorded from the simulated units: on a KKL cable, through an ELM327 (the adapter's text lines
// between the pairs), with actuator commands, on a bad line, and cut in the middle of a pair.
TEST(ConvertLogs, RecordedLogsGiveTheirExpectedText) {
    for (const char* name : {"hfm_cable", "lh_elm", "hfm_actuators", "hfm_badline", "hfm_mid_pair"}) {
        TTempFolder folder;
        THostRecorder host;
        const std::string bin = ReadWhole(RecordedLogs / (std::string(name) + ".bin"));
        const fs::path log = folder.WriteFile(fs::path("LOGS") / (std::string(name) + ".bin"), bin);
        const TConvertResult result = ConvertLogs(log, {});
        EXPECT_EQ(result.Failed, 0) << name;
        EXPECT_EQ(folder.ReadFile(fs::path("LOGS") / (std::string(name) + ".txt")),
                  ReadWhole(RecordedLogs / (std::string(name) + ".txt")))
            << name;
        EXPECT_EQ(folder.ReadFile(fs::path("LOGS") / (std::string(name) + ".bin")), bin) << name;
        EXPECT_NE(host.LogText().find(std::string(name) + ".txt OK"), std::string::npos) << name;
    }
}

TEST(ConvertLogs, FolderConvertsEveryLogAndReportsWhatItCannotOpen) {
    TTempFolder folder;
    THostRecorder host;
    folder.WriteFile("LOGS/B52001.bin", HfmLog());
    folder.WriteFile("LOGS/B52002.BIN", HfmLog());
    folder.WriteFile("LOGS/notes.txt", "not a log");
    fs::create_directories(folder.Path() / "LOGS" / "broken.bin");

    const TConvertResult result = ConvertLogs(folder.Path() / "LOGS", {});
    EXPECT_EQ(result.Written.size(), 2u);
    EXPECT_EQ(result.Failed, 1);
    const std::vector<std::string> logs = host.Logs();
    ASSERT_GE(logs.size(), 2u);
    EXPECT_EQ(logs[0], "");
    EXPECT_EQ(logs[1], "Запущено преобразование лог файлов в текст.");
    EXPECT_NE(
        host.LogText().find("Не удалось открыть файл: " + (folder.Path() / "LOGS" / "broken.bin").string()),
        std::string::npos);
    EXPECT_NE(host.LogText().find("B52001.txt OK\nB52002.txt OK"), std::string::npos);
    EXPECT_EQ(logs.back(), "Преобразование выполнено.");
    EXPECT_EQ(folder.ReadFile("LOGS/notes.txt"), "not a log");

    // Only new logs: both have their text now, the broken one is tried again.
    host.Clear();
    TConvertOptions onlyNew;
    onlyNew.OnlyNew = true;
    const TConvertResult again = ConvertLogs(folder.Path() / "LOGS", onlyNew);
    EXPECT_TRUE(again.Written.empty());
    EXPECT_EQ(again.Failed, 1);
    EXPECT_EQ(host.LogText().find(" OK"), std::string::npos);

    // A text older than its log (the log grew after it) and a missing text make a log new again.
    const fs::path first = folder.Path() / "LOGS" / "B52001.txt";
    fs::last_write_time(first,
                        fs::last_write_time(folder.Path() / "LOGS" / "B52001.bin") - std::chrono::hours(1));
    fs::remove(folder.Path() / "LOGS" / "B52002.txt");
    host.Clear();
    const TConvertResult stale = ConvertLogs(folder.Path() / "LOGS", onlyNew);
    EXPECT_EQ(stale.Written, (std::vector<fs::path>{first, folder.Path() / "LOGS" / "B52002.txt"}));
}

// A symbolic link to `target`; where the system has no symbolic links (MinGW's library under Wine), an
// earlier file of that name, which must be replaced all the same.
void LinkOrEarlierFile(const fs::path& target, const fs::path& link) {
    std::error_code error;
    fs::create_symlink(target, link, error);
    if (error == std::errc::function_not_supported || error == std::errc::operation_not_supported)
        std::ofstream(link, std::ios::binary) << "an earlier file";
    else if (error)
        throw fs::filesystem_error("create_symlink", target, link, error);
}

// Text and CSV take their names only when complete, as new files: whatever has their name (an earlier
// text, a symbolic link to a file elsewhere, a leftover of an interrupted run) is replaced, never
// written through.
TEST(ConvertLogs, WritesNewFilesAndRenamesThemWhenComplete) {
    TTempFolder folder;
    THostRecorder host;
    const fs::path log = folder.WriteFile("LOGS/B52001.bin", HfmLog());
    const fs::path outside = folder.WriteFile("outside.txt", "keep me");
    LinkOrEarlierFile(outside, folder.Path() / "LOGS" / "B52001.txt");
    LinkOrEarlierFile(outside, folder.Path() / "LOGS" / "B52001.csv.part");
    folder.WriteFile("LOGS/B52001.txt.part", "a leftover");
    TConvertOptions options;
    options.Csv = true;
    const TConvertResult result = ConvertLogs(log, options);
    EXPECT_EQ(result.Failed, 0);
    EXPECT_EQ(result.Written.size(), 2u);
    EXPECT_EQ(folder.ReadFile("outside.txt"), "keep me");
    EXPECT_FALSE(fs::is_symlink(folder.Path() / "LOGS" / "B52001.txt"));
    EXPECT_NE(folder.ReadFile("LOGS/B52001.txt").find("ecu info"), std::string::npos);
    EXPECT_NE(folder.ReadFile("LOGS/B52001.csv").find("pair,number"), std::string::npos);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path() / "LOGS"))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

TEST(ConvertLogs, NothingToConvertIsSaid) {
    TTempFolder folder;
    THostRecorder host;
    fs::create_directories(folder.Path() / "LOGS");
    EXPECT_TRUE(ConvertLogs(folder.Path() / "LOGS", {}).Written.empty());
    EXPECT_EQ(host.Logs().back(), "Файлы для преобразования не обнаружены.");

    host.Clear();
    const TConvertResult missing = ConvertLogs(folder.Path() / "LOGS" / "absent.bin", {});
    EXPECT_EQ(missing.Failed, 1);
    EXPECT_NE(host.LogText().find("Не удалось открыть файл:"), std::string::npos);
}

TEST(ConvertLogs, NeverWritesOverTheFileItReads) {
    TTempFolder folder;
    THostRecorder host;
    const fs::path text = folder.WriteFile("LOGS/B52001.txt", HfmLog());
    const TConvertResult result = ConvertLogs(text, {});
    EXPECT_EQ(result.Failed, 1);
    EXPECT_EQ(folder.ReadFile("LOGS/B52001.txt"), HfmLog());
    EXPECT_NE(host.LogText().find("Не является лог файлом:"), std::string::npos);
}

TEST(ConvertLogs, EcuIniDescribesTheParameters) {
    TTempFolder folder;
    THostRecorder host;
    const fs::path log = folder.WriteFile("LOGS/B52001.bin", HfmLog());

    // The program folder's ECU.ini by default.
    folder.WriteFile("ECU.ini", "[P0]\r\nNAME=Coolant\r\nCMD=5500\r\nCALC=-40\r\n");
    ConvertLogs(log, {});
    EXPECT_NE(folder.ReadFile("LOGS/B52001.txt").find("55 00 7E  #0 Coolant = 86"), std::string::npos);

    // A chosen one instead; a description whose CALC does not convert is reported, the ones before it
    // are kept.
    folder.WriteFile("other.ini", "[P0]\r\nNAME=Water\r\nCMD=5500\r\nCALC=-40\r\n"
                                  "[P1]\r\nNAME=Speed\r\nCMD=5501\r\nTYPE=W\r\nCALC=(0;x\r\n");
    TConvertOptions options;
    options.EcuIni = folder.Path() / "other.ini";
    host.Clear();
    ConvertLogs(log, options);
    const std::string text = folder.ReadFile("LOGS/B52001.txt");
    EXPECT_NE(text.find("#0 Water = 86"), std::string::npos);
    EXPECT_EQ(text.find("Speed"), std::string::npos);
    EXPECT_NE(host.LogText().find((folder.Path() / "other.ini").string() + ": "), std::string::npos);
    EXPECT_NE(host.LogText().find("B52001.txt OK"), std::string::npos);

    // A chosen file that is not there, or cannot be read, is an error: nothing is converted with
    // another set than the one asked for.
    fs::create_directories(folder.Path() / "folder.ini");
    const std::pair<fs::path, std::string> unreadable[] = {
        {folder.Path() / "absent.ini", "Файл не найден: "},
        {folder.Path() / "folder.ini", "Не удалось прочитать файл: "},
    };
    for (const auto& [file, said] : unreadable) {
        fs::remove(folder.Path() / "LOGS" / "B52001.txt");
        options.EcuIni = file;
        host.Clear();
        const TConvertResult failed = ConvertLogs(log, options);
        EXPECT_EQ(failed.Failed, 1) << file;
        EXPECT_TRUE(failed.Written.empty()) << file;
        EXPECT_NE(host.LogText().find(said + file.string()), std::string::npos) << host.LogText();
        EXPECT_FALSE(fs::exists(folder.Path() / "LOGS" / "B52001.txt")) << file;
    }
}

// OBD recording: engine speed 0x0C30 / 4 = 780 and coolant 0x7E - 40 = 86.
const std::string ObdLog = std::string("OBD2DATA") + "\x01\xFE\x18\x0C\x01\xFE\x19\x30\x01\xFE\x0A\x7E";

TEST(ConvertLogs, ObdLogsNeedTheirDescriptions) {
    TTempFolder folder;
    THostRecorder host;
    const fs::path log = folder.WriteFile("LOGS/OBD001.bin", ObdLog);
    TConvertResult result = ConvertLogs(log, {});
    EXPECT_EQ(result.Skipped, 1);
    EXPECT_NE(host.LogText().find("Файл не найден: " + (folder.Path() / "DATA" / "hfmobd.ini").string()),
              std::string::npos);
    EXPECT_NE(host.LogText().find("OBD001.bin   пропущен"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder.Path() / "LOGS" / "OBD001.txt"));

    // A description file that describes nothing counts as missing.
    host.Clear();
    folder.WriteFile("DATA/hfmobd.ini", "[P0]\r\nNAME=no command\r\n");
    EXPECT_EQ(ConvertLogs(log, {}).Skipped, 1);

    // One that cannot be read is said to be so, not "not found".
    fs::remove(folder.Path() / "DATA" / "hfmobd.ini");
    fs::create_directories(folder.Path() / "DATA" / "hfmobd.ini");
    host.Clear();
    EXPECT_EQ(ConvertLogs(log, {}).Skipped, 1);
    EXPECT_NE(
        host.LogText().find("Не удалось прочитать файл: " + (folder.Path() / "DATA" / "hfmobd.ini").string()),
        std::string::npos)
        << host.LogText();
    fs::remove(folder.Path() / "DATA" / "hfmobd.ini");

    folder.WriteFile("DATA/hfmobd.ini", ReadWhole(fs::path(VELMORA_RECORDED_LOGS) / ".." / ".." / ".." /
                                                  "data" / "DATA" / "hfmobd.ini"));
    result = ConvertLogs(log, {});
    EXPECT_EQ(result.Skipped, 0);
    const std::string text = folder.ReadFile("LOGS/OBD001.txt");
    EXPECT_NE(text.find("#7 Engine speed = 780"), std::string::npos) << text;
    EXPECT_NE(text.find("#1 Engine coolant temperature = 86"), std::string::npos) << text;
}

TEST(ConvertLogs, CsvHoldsOneRowPerValue) {
    TTempFolder folder;
    THostRecorder host;
    const fs::path log = folder.WriteFile("LOGS/B52001.bin", HfmLog());
    TConvertOptions options;
    options.Csv = true;
    const TConvertResult result = ConvertLogs(log, options);
    ASSERT_EQ(result.Written.size(), 2u);
    const std::string csv = folder.ReadFile("LOGS/B52001.csv");
    ASSERT_TRUE(csv.starts_with("\xEF\xBB\xBFpair,number,name,value,unit\r\n"));
    // The first value of the log: pair 79 is coolant 0x7E, pair 81 completes the engine speed.
    EXPECT_NE(csv.find("\r\n79,0,Температура ОЖ,86,°\r\n81,1,Обороты,720,об/мин\r\n"), std::string::npos)
        << csv;
    // One row for every value line of the text.
    const std::string text = folder.ReadFile("LOGS/B52001.txt");
    size_t rows = 0, values = 0;
    for (size_t at = csv.find("\r\n"); (at = csv.find("\r\n", at + 2)) != std::string::npos;)
        ++rows;
    for (size_t at = 0; (at = text.find(" = ", at)) != std::string::npos; ++at)
        ++values;
    EXPECT_EQ(rows, values);
}

TEST(ConvertLogs, CancelLeavesNoHalfText) {
    TTempFolder folder;
    THostRecorder host;
    std::string big;
    while (big.size() < 3 * ConvertBlockSize)
        big += HfmLog();
    const fs::path log = folder.WriteFile("LOGS/B52001.bin", big);
    std::atomic<bool> cancel{false};
    TConvertOptions options;
    options.Cancel = &cancel;
    std::vector<TConvertProgress> seen;
    options.OnProgress = [&](const TConvertProgress& progress) {
        seen.push_back(progress);
        cancel = true;
    };
    const TConvertResult result = ConvertLogs(log, options);
    EXPECT_TRUE(result.Cancelled);
    EXPECT_TRUE(result.Written.empty());
    EXPECT_FALSE(fs::exists(folder.Path() / "LOGS" / "B52001.txt"));
    EXPECT_FALSE(fs::exists(folder.Path() / "LOGS" / "B52001.txt.part"));
    EXPECT_EQ(host.Logs().back(), "Преобразование прервано.");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].BytesTotal, big.size());
    EXPECT_GT(seen[0].BytesDone, 0u);
    EXPECT_LE(seen[0].BytesDone, ConvertBlockSize);
}

TEST(ValueCsv, FieldsAreQuotedWhereASpreadsheetNeedsIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"Обороты", "Обороты"},
        {"ДМРВ, кг/ч", "\"ДМРВ, кг/ч\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"", ""},
    };
    for (const auto& [text, field] : cases)
        EXPECT_EQ(CsvField(text), field) << text;
}

TEST(ValueCsv, ValueAndUnitGoToTheirOwnColumns) {
    TTempFolder folder;
    TECUparam coolant(0);
    for (const char* line : {"NAME=Температура ОЖ", "TYPE=B", "CALC=-40", "IZM=°", "CMD=5500"})
        coolant.ParseLine(line);
    coolant.SetData(0x7E, 0, 0, 0);
    TECUparam bits(23);
    for (const char* line : {"NAME=IDLE;P/N;A/C;Starter", "TYPE=X", "CMD=5517"})
        bits.ParseLine(line);
    bits.SetData(0x05, 0, 0, 0);
    TECUparam code(37);
    for (const char* line : {"NAME=CODE", "TYPE=B", "MASK=%.2x", "CMD=5525"})
        code.ParseLine(line);
    code.SetData(0xAB, 0, 0, 0);

    TValueCsv csv;
    ASSERT_TRUE(csv.Open(folder.Path() / "values.csv", TValueCsv::TimeColumn));
    EXPECT_TRUE(csv.Add(120, coolant));
    EXPECT_TRUE(csv.Add(150, bits));
    EXPECT_TRUE(csv.Add(180, code));
    EXPECT_TRUE(csv.Close());
    EXPECT_EQ(folder.ReadFile("values.csv"), "\xEF\xBB\xBFtime_ms,number,name,value,unit\r\n"
                                             "120,0,Температура ОЖ,86,°\r\n"
                                             "150,23,IDLE;P/N;A/C;Starter,IDLE A/C,\r\n"
                                             "180,37,CODE,ab,\r\n");
    EXPECT_FALSE(csv.Open(folder.Path() / "absent" / "values.csv", TValueCsv::TimeColumn));
}

} // namespace
} // namespace velmora
