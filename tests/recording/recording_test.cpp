#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_link/exchange_log.h"
#include "host_recorder.h"
#include "log_convert/log_converter.h"
#include "log_convert/value_csv.h"
#include "params/display_unit.h"
#include "params/ecu_param.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "recording/recording.h"
#include "recording/recording_player.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

fs::path RecordedLog(const char* name) {
    return fs::path(VELMORA_RECORDED_LOGS) / name;
}

std::vector<std::string> CsvRows(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> rows;
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line))
        rows.push_back(line);
    return rows;
}

class RecordingTest : public ::testing::Test {
protected:
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
};

// A recording reads a log as its conversion does: the same unit, the same values of the same
// parameters in the same order, and the fault reads with the bytes the conversion decoded.
TEST_F(RecordingTest, ReadsTheLogAsItsConversionDoes) {
    struct TCase {
        const char* Log;
        uint8_t UnitType;
        bool Values, FaultRead;
    };
    const TCase cases[] = {
        {"hfm_cable.bin", UnitHfm, true, true},
        {"hfm_badline.bin", UnitHfm, false, true},
        {"lh_elm.bin", UnitLh, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Log);
        const fs::path bin = Folder.Path() / c.Log;
        fs::copy_file(RecordedLog(c.Log), bin);
        TConvertOptions options;
        options.Csv = true;
        ASSERT_EQ(ConvertLogs(bin, options).Failed, 0);
        const std::vector<std::string> converted = CsvRows(fs::path(bin).replace_extension(".csv"));

        TRecording recording;
        ASSERT_TRUE(recording.Load(bin)) << recording.Error();
        EXPECT_TRUE(recording.Identified());
        EXPECT_EQ(recording.Ident().UnitType, c.UnitType);
        EXPECT_TRUE(recording.TimesEstimated());
        EXPECT_EQ(recording.PollingBeganMs(), -1);
        std::vector<std::string> values;
        size_t pairNumber = 0;
        for (const TRecordedPair& pair : recording.Pairs()) {
            ++pairNumber;
            if (!TRecording::ApplyValue(pair))
                continue;
            const TECUparam& param = *pair.Record;
            values.push_back(std::to_string(pairNumber) + "," + std::to_string(param.Number) + "," +
                             CsvField(param.Name) + "," + CsvField(CsvValueText(param)) + "," +
                             CsvField(ValueUnit(param)) + "\r");
        }
        EXPECT_EQ(!values.empty(), c.Values);
        EXPECT_EQ(values, converted);
        EXPECT_EQ(!recording.FaultReads().empty(), c.FaultRead);
    }
}

TEST_F(RecordingTest, FaultReadsKeepTheirBytesAndTimes) {
    TRecording recording;
    ASSERT_TRUE(recording.Load(RecordedLog("hfm_cable.bin")));
    ASSERT_FALSE(recording.FaultReads().empty());
    const TRecordedFaultRead& read = recording.FaultReads().front();
    // As the conversion shows it: F1 00 10, F1 01 08.
    EXPECT_FALSE(read.Lh);
    EXPECT_EQ(read.Buffer[0], 0x10);
    EXPECT_EQ(read.Buffer[1], 0x08);
    const TRecordedPair& first = recording.Pairs()[read.FirstPair];
    EXPECT_EQ(first.Cmd, 0xF1);
    EXPECT_EQ(read.StartMs, first.TimeMs);
    EXPECT_EQ(read.EndMs, recording.Pairs()[read.LastPair].TimeMs);
    EXPECT_EQ(recording.LastFaultReadAt(read.EndMs), &read);
    EXPECT_EQ(recording.LastFaultReadAt(read.EndMs - 1), nullptr);
}

TEST_F(RecordingTest, ExplainsWhatCannotBeReplayed) {
    Folder.WriteFile("LOGS/empty.bin", "");
    Folder.WriteFile("LOGS/noise.bin", std::string(300, '\x07'));
    Folder.WriteFile("LOGS/obd.bin", "OBD2DATA\x01\x02");
    fs::create_directories(Folder.Path() / "LOGS" / "folder.bin");
    struct TCase {
        const char* File;
        const char* Error;
    };
    const TCase cases[] = {
        {"LOGS/missing.bin", "Не удалось открыть файл: "}, {"LOGS/folder.bin", "Не удалось открыть файл: "},
        {"LOGS/empty.bin", "В логе нет пар запросов: "},   {"LOGS/noise.bin", "В логе нет пар запросов: "},
        {"LOGS/obd.bin", "Не является лог файлом: "},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        TRecording recording;
        EXPECT_FALSE(recording.Load(Folder.Path() / c.File));
        EXPECT_EQ(recording.Error(), c.Error + (Folder.Path() / c.File).string());
    }
}

TEST_F(RecordingTest, ClientAndDateOfARecordedSession) {
    TManualClock clock;
    TScopedClock useClock(clock);
    const int64_t before = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    {
        TExchangeLog log;
        log.SetClient("Mueller");
        log.ClearLogName();
        log.EnableLog();
        log.AppendPair(0xF1, 0x0E, 0x00, 0x10);
        log.FlushLog();
        clock.Advance(4);
        log.MarkPollingBegan();
        log.FlushLog(); // the mark is written though no pair follows it yet
        clock.Advance(6);
        log.AppendPair(0xF1, 0x0E, 0x01, 0x00);
    }
    TRecording recording;
    ASSERT_TRUE(recording.Load(Folder.Path() / "LOGS" / "Mueller" / "tmp001.bin")) << recording.Error();
    EXPECT_EQ(recording.Client(), "Mueller");
    EXPECT_TRUE(recording.DateFromTimes());
    EXPECT_GE(recording.StartWallMs(), before);
    EXPECT_LT(recording.StartWallMs(), before + 60000);
    EXPECT_EQ(recording.DurationMs(), 10u);
    EXPECT_EQ(recording.PollingBeganMs(), 4);
    EXPECT_FALSE(recording.Identified());
}

class RecordingPlayerTest : public RecordingTest {
protected:
    void SetUp() override {
        // The recorded cable session, a pair every 10 ms from 10 ms on.
        TExchangeLog log;
        log.ClearLogName();
        log.EnableLog();
        TRecording source;
        ASSERT_TRUE(source.Load(RecordedLog("hfm_cable.bin")));
        std::ifstream in(RecordedLog("hfm_cable.bin"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        for (const TRecordedPair& pair : source.Pairs()) {
            Clock.Advance(10);
            log.AppendReceived(std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + pair.Offset,
                                         pair.CmdInLog ? 4 : 2));
        }
        log.FlushLog();
        ASSERT_TRUE(Recording.Load(Folder.Path() / "LOGS" / "tmp001.bin"));
        ASSERT_FALSE(Recording.TimesEstimated());
    }

    TManualClock Clock;
    TScopedClock UseClock{Clock};
    TRecording Recording;
};

TEST_F(RecordingPlayerTest, AdvancingHandsEachPairOnceInOrder) {
    TRecordingPlayer player(Recording);
    EXPECT_EQ(player.DurationMs(), 10u * Recording.Pairs().size());
    std::vector<const TRecordedPair*> handed;
    auto take = [&](const TRecordedPair& pair) { handed.push_back(&pair); };
    EXPECT_EQ(player.AdvanceTo(9, take), 0u);
    EXPECT_EQ(player.AdvanceTo(30, take), 3u); // 10, 20, 30
    EXPECT_EQ(player.AdvanceTo(20, take), 0u); // never backwards
    EXPECT_EQ(player.PositionMs(), 30u);
    EXPECT_EQ(player.AdvanceTo(UINT32_MAX, take), Recording.Pairs().size() - 3);
    EXPECT_TRUE(player.AtEnd());
    ASSERT_EQ(handed.size(), Recording.Pairs().size());
    for (size_t i = 0; i < handed.size(); ++i)
        EXPECT_EQ(handed[i], &Recording.Pairs()[i]);
}

// The state at a time is the last value of each parameter up to it, whichever way the player came.
TEST_F(RecordingPlayerTest, SeekingGivesTheLastValueOfEachParameter) {
    TRecordingPlayer player(Recording);
    const uint32_t end = player.DurationMs();
    for (uint32_t at : {0u, 175u, 180u, end / 2, end - 5, end}) {
        SCOPED_TRACE(at);
        const TRecordingState state = player.Seek(at);
        std::vector<const TRecordedPair*> expected;
        for (const TRecordedPair& pair : Recording.Pairs()) {
            if (pair.TimeMs > at || !pair.Record)
                continue;
            std::erase_if(expected, [&](const TRecordedPair* p) { return p->Record == pair.Record; });
            expected.push_back(&pair);
        }
        EXPECT_EQ(state.LastValues, expected);
        EXPECT_EQ(player.PositionMs(), at);
        // Playing on from there hands the next pair first.
        std::vector<uint32_t> next;
        player.AdvanceTo(at + 10, [&](const TRecordedPair& pair) { next.push_back(pair.TimeMs); });
        if (at < end) {
            EXPECT_EQ(next, std::vector<uint32_t>{(at / 10 + 1) * 10});
        }
    }
    EXPECT_FALSE(player.Seek(end).LastValues.empty());
}

// On the clock: real time at 1x, faster at other speeds, paused where it stood, and stopping at the end.
TEST_F(RecordingPlayerTest, PlaysOnTheClockAtItsSpeed) {
    TRecordingPlayer player(Recording);
    size_t handed = 0;
    auto take = [&](const TRecordedPair&) { ++handed; };
    uint32_t now = Clock.TickCount();
    player.Play(1.0, now);
    EXPECT_EQ(player.Update(now += 35, take), 3u); // 10, 20, 30
    EXPECT_EQ(player.PositionMs(), 35u);
    player.Play(4.0, now);
    EXPECT_EQ(player.Update(now += 10, take), 4u); // to 75
    player.Pause(now);
    EXPECT_EQ(player.Update(now += 1000, take), 0u);
    EXPECT_EQ(player.PositionMs(), 75u);
    player.Play(16.0, now);
    player.Update(now += 100000, take);
    EXPECT_TRUE(player.AtEnd());
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(handed, Recording.Pairs().size());
    EXPECT_EQ(player.PositionMs(), player.DurationMs());
}

} // namespace
} // namespace velmora
