// The daily trip log: when a line is due, the file's first lines and columns, and a write that fails
// (the lines are kept and written later, the user is told once).
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "host_recorder.h"
#include "lang/dictionary.h"
#include "temp_folder.h"
#include "trip/trip_log.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

size_t Chars(const std::string& text) {
    size_t count = 0;
    for (char c : text)
        count += (uint8_t(c) & 0xC0) != 0x80;
    return count;
}

std::tm Day(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11; // December
    t.tm_mday = 9;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TTripTexts Texts() {
    TTripTexts t;
    t.Common = "8.0";
    t.Time = "01:01 ч:м";
    t.Fuel = "12.3 л";
    t.IdleFE = "1.00";
    t.TimeIdle = "05:00 м:с";
    t.FuelIdle = "0.05 л";
    return t;
}

TEST(TripLog, FileNameHeaderAndColumns) {
    EXPECT_EQ(TTripLog::FileName(Day(8, 0, 0)), "bc261209.txt");
    EXPECT_EQ(Chars(std::string(TTripLog::Header)), 163u);
    const std::string line = TTripLog::Line(Day(8, 5, 9), Texts());
    EXPECT_EQ(line,
              "08:05:09           8.0     01:01 ч:м        12.3 л          1.00     05:00 м:с        0.05 л");
    EXPECT_EQ(Chars(line), 8u + 6 * 14);
    // A text longer than its column is not cut.
    TTripTexts wide = Texts();
    wide.Common = "123456789012345";
    EXPECT_EQ(TTripLog::Line(Day(8, 5, 9), wide).substr(0, 23), "08:05:09123456789012345");
}

TEST(TripLog, WritesALineAboutOnceAMinute) {
    testing::THostRecorder host;
    testing::TTempFolder folder;
    TTripLog log;
    struct TRow {
        uint32_t TripSeconds, Tick;
        bool Due;
    };
    // The first display always writes (no line for 60000 ms since tick 0); then the trip time must reach
    // the next whole minute, or a minute of the clock must pass (the engine stood still meanwhile).
    const TRow rows[] = {{5, 100000, true},    {59, 130000, false}, {60, 131000, true},
                         {119, 150000, false}, {120, 160000, true}, {125, 219999, false},
                         {125, 220000, true},  {179, 225000, false}};
    for (const TRow& row : rows)
        EXPECT_EQ(log.AfterDisplay(row.TripSeconds, Texts(), row.Tick, Day(9, 0, 0), "").has_value(), row.Due)
            << row.TripSeconds << " s at " << row.Tick;
    const std::string text = folder.ReadFile(fs::path("LOGS") / "bc261209.txt");
    const std::string line = TTripLog::Line(Day(9, 0, 0), Texts());
    EXPECT_EQ(text, "09.12.2026 09:00:00\n" + std::string(TTripLog::Header) + "\n" + line + "\n" + line +
                        "\n" + line + "\n" + line + "\n");
    EXPECT_TRUE(host.Logs().empty());
}

TEST(TripLog, ColumnHeadersFollowTheLanguage) {
    testing::THostRecorder host;
    for (const auto& [language, file, first] :
         {std::tuple{'E', "english.txt", "Time "}, {'D', "deutsch.txt", "Zeit "}, {'R', "", "Время "}}) {
        testing::TTempFolder folder;
        if (*file) {
            std::ifstream shipped(fs::path(VELMORA_DATA_DIR) / file, std::ios::binary);
            folder.WriteFile(fs::path("DATA") / file,
                             std::string(std::istreambuf_iterator<char>(shipped), {}));
        }
        SetLanguage(language);
        ResetDictionary();
        TTripLog log;
        ASSERT_TRUE(log.AfterDisplay(60, Texts(), 100000, Day(9, 0, 0), ""));
        const std::string text = folder.ReadFile(fs::path("LOGS") / "bc261209.txt");
        const std::string header =
            text.substr(text.find('\n') + 1, text.find('\n', 20) - text.find('\n') - 1);
        EXPECT_TRUE(header.starts_with(first)) << language << ": " << header;
        EXPECT_EQ(Chars(header), 163u) << "the columns keep their places";
    }
    SetLanguage('R');
    ResetDictionary();
}

TEST(TripLog, AFailedWriteKeepsItsLinesAndTellsOnce) {
    testing::THostRecorder host;
    testing::TTempFolder folder;
    // A file where the client's folder should be: nothing can be written below it.
    folder.WriteFile(fs::path("LOGS") / "Petrov", "in the way");
    TTripLog log;
    ASSERT_TRUE(log.AfterDisplay(60, Texts(), 100000, Day(10, 0, 0), "Petrov"));
    ASSERT_TRUE(log.AfterDisplay(120, Texts(), 160000, Day(10, 1, 0), "Petrov"));
    EXPECT_EQ(log.PendingLines(), 2u);
    ASSERT_EQ(host.Logs().size(), 1u);
    EXPECT_NE(host.Logs()[0].find("bc261209.txt"), std::string::npos) << host.Logs()[0];

    fs::remove(folder.Path() / "LOGS" / "Petrov");
    ASSERT_TRUE(log.AfterDisplay(180, Texts(), 220000, Day(10, 2, 0), "Petrov"));
    EXPECT_EQ(log.PendingLines(), 0u);
    const std::string text = folder.ReadFile(fs::path("LOGS") / "Petrov" / "bc261209.txt");
    EXPECT_EQ(text, "09.12.2026 10:00:00\n" + std::string(TTripLog::Header) + "\n" +
                        TTripLog::Line(Day(10, 0, 0), Texts()) + "\n" +
                        TTripLog::Line(Day(10, 1, 0), Texts()) + "\n" +
                        TTripLog::Line(Day(10, 2, 0), Texts()) + "\n");
    EXPECT_EQ(host.Logs().size(), 1u) << "a write that works again says nothing";
}

// A write that fails whether the file opens or not (a full disk: the day's file is a link to
// /dev/full) keeps its lines; at the end of the trip they are written when the file can be written
// again, or said to be lost.
TEST(TripLog, LinesNotWrittenAreKeptThenWrittenOrSaidLostAtTheEnd) {
    struct TCase {
        const char* What;
        bool DiskFull; // else the client's folder is blocked by a file
        bool FreedBeforeEnd;
    };
    const TCase cases[] = {
        {"blocked folder, lost", false, false},
        {"blocked folder, written at the end", false, true},
        {"full disk after the open, lost", true, false},
    };
    for (const TCase& c : cases) {
        testing::THostRecorder host;
        testing::TTempFolder folder;
        const fs::path day = folder.Path() / "LOGS" / "Petrov" / "bc261209.txt";
        if (c.DiskFull && !fs::exists("/dev/full"))
            continue; // a system without it
        if (c.DiskFull) {
            fs::create_directories(day.parent_path());
            fs::create_symlink("/dev/full", day);
        } else {
            folder.WriteFile(fs::path("LOGS") / "Petrov", "in the way");
        }
        TTripLog log;
        ASSERT_TRUE(log.AfterDisplay(60, Texts(), 100000, Day(10, 0, 0), "Petrov")) << c.What;
        EXPECT_EQ(log.PendingLines(), 1u) << c.What;
        ASSERT_EQ(host.Logs().size(), 1u) << c.What;
        if (c.FreedBeforeEnd)
            fs::remove(folder.Path() / "LOGS" / "Petrov");
        EXPECT_EQ(log.Finish("Petrov"), c.FreedBeforeEnd) << c.What;
        EXPECT_EQ(log.PendingLines(), 0u) << c.What;
        if (c.FreedBeforeEnd) {
            EXPECT_EQ(folder.ReadFile(fs::path("LOGS") / "Petrov" / "bc261209.txt"),
                      "09.12.2026 10:00:00\n" + std::string(TTripLog::Header) + "\n" +
                          TTripLog::Line(Day(10, 0, 0), Texts()) + "\n")
                << c.What;
            EXPECT_EQ(host.Logs().size(), 1u) << c.What;
        } else {
            ASSERT_EQ(host.Logs().size(), 2u) << c.What;
            EXPECT_NE(host.Logs()[1].find("потеряно строк: 1"), std::string::npos) << host.Logs()[1];
        }
    }
}

} // namespace
} // namespace velmora
