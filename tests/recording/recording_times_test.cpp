#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "engine_link/exchange_log.h"
#include "engine_link/pair_times.h"
#include "host_recorder.h"
#include "platform/clock.h"
#include "recording/recording.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// The pieces of a recorded log as the link appended them (a pair each), taken from a log read without
// times: 4 bytes per pair, 2 where the log holds only parameter and value.
std::vector<std::string> PairsOf(const fs::path& bin) {
    TRecording recording;
    EXPECT_TRUE(recording.Load(bin)) << recording.Error();
    const std::string bytes = ReadAll(bin);
    std::vector<std::string> pairs;
    for (const TRecordedPair& pair : recording.Pairs())
        pairs.push_back(bytes.substr(size_t(pair.Offset), pair.CmdInLog ? 4 : 2));
    return pairs;
}

class RecordingTimesTest : public ::testing::Test {
protected:
    // Appends `pairs` through the exchange log, `gaps[i % gaps.size()]` ms before pair i, and returns
    // the times (ms from the session's start) at which each was appended.
    std::vector<uint32_t> Record(const std::vector<std::string>& pairs, const std::vector<uint32_t>& gaps,
                                 bool autoFlush = false) {
        TExchangeLog log;
        log.SetAutoFlush(autoFlush);
        log.ClearLogName();
        log.EnableLog();
        std::vector<uint32_t> times;
        uint32_t now = 0;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const uint32_t gap = gaps[i % gaps.size()];
            Clock.Advance(gap);
            now += gap;
            times.push_back(now);
            log.AppendReceived(std::span(reinterpret_cast<const uint8_t*>(pairs[i].data()), pairs[i].size()));
        }
        log.FlushLog();
        return times;
    }

    fs::path Bin() const { return Folder.Path() / "LOGS" / "tmp001.bin"; }
    fs::path Times() const { return Folder.Path() / "LOGS" / "tmp001.times"; }

    // The pairs of the recorded HFM cable session, `repeat` times over.
    std::vector<std::string> CableSession(int repeat) const {
        const std::vector<std::string> once = PairsOf(fs::path(VELMORA_RECORDED_LOGS) / "hfm_cable.bin");
        std::vector<std::string> pairs;
        for (int i = 0; i < repeat; ++i)
            pairs.insert(pairs.end(), once.begin(), once.end());
        return pairs;
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    TManualClock Clock;
    TScopedClock UseClock{Clock};
};

// Written pair by pair as the link appends them and read back through the log conversion: the .bin
// is what was appended, each pair gets its time back within the resolution, however the pairs were
// spaced, and the steady rates of the links stay under a byte per pair.
TEST_F(RecordingTimesTest, TimesComeBackForEveryPairHoweverSpaced) {
    struct TCase {
        const char* Name;
        std::vector<uint32_t> Gaps;
        int Repeat;
        bool AutoFlush;
        bool UnderAByte; // a link's steady rate: the times cost less than a byte per pair
    };
    const TCase cases[] = {
        {"cable", {9, 10, 9, 9, 10, 9, 11}, 40, false, true},
        {"ELM327 two-byte reads", {24, 0}, 40, false, true},
        {"slow WiFi adapter", {45, 61, 38, 52}, 40, false, true},
        {"the same ms", {0}, 3, false, false},
        {"a reconnect", {9, 9, 9, 65000, 9, 9}, 3, false, false},
        {"hours apart", {9, 3 * 3600 * 1000, 10}, 3, false, false},
        {"auto-flush", {9, 10, 11}, 12, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(Folder.Path() / "LOGS");
        const std::vector<std::string> pairs = CableSession(c.Repeat);
        const std::vector<uint32_t> expected = Record(pairs, c.Gaps, c.AutoFlush);

        EXPECT_EQ(ReadAll(Bin()), std::accumulate(pairs.begin(), pairs.end(), std::string()));
        TRecording recording;
        ASSERT_TRUE(recording.Load(Bin())) << recording.Error();
        ASSERT_EQ(recording.Pairs().size(), expected.size());
        EXPECT_FALSE(recording.TimesEstimated()) << recording.TimesProblem();
        EXPECT_EQ(recording.TimesText(), "");
        EXPECT_TRUE(recording.DateFromTimes());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_LE(std::abs(int64_t(recording.Pairs()[i].TimeMs) - int64_t(expected[i])),
                      int64_t(PairTimesQuantumMs / 2))
                << "pair " << i;
        const double perPair = double(fs::file_size(Times())) / double(pairs.size());
        if (c.UnderAByte) {
            EXPECT_LT(perPair, 1.0);
        }
    }
}

// A times file that does not belong to its log, or does not cover it, is found out: the pairs it
// verifiably describes keep their times, the others follow at the nominal rate, and the recording
// says so. A log from before times were written still opens, all estimated.
TEST_F(RecordingTimesTest, TimesThatDoNotMatchTheLogAreEstimatedAndSaidSo) {
    const std::vector<std::string> pairs = CableSession(20); // several blocks of times
    const std::vector<uint32_t> written = Record(pairs, {10});
    const std::string bin = ReadAll(Bin()), times = ReadAll(Times());

    // Another session: as long, with one value read otherwise.
    std::vector<std::string> other = pairs;
    other[3][3] = char(other[3][3] ^ 0x55);

    struct TCase {
        const char* Name;
        std::string Bin, Times; // "" for Times: no times file
        const char* Problem;
        bool NoneMeasured;
    };
    std::string damaged = times;
    damaged[20] = char(damaged[20] ^ 0x01);
    std::string foreignBin = std::accumulate(other.begin(), other.end(), std::string());
    const TCase cases[] = {
        {"a log without times", bin, "", PairTimesProblemMissing, true},
        {"the times of another log", foreignBin, times, PairTimesProblemForeign, true},
        {"a damaged times file", bin, damaged, PairTimesProblemDamaged, true},
        {"not a times file", bin, "B45001.bin\r\n", PairTimesProblemDamaged, true},
        {"a times file cut short", bin, times.substr(0, times.size() - 5), PairTimesProblemShort, false},
        {"a log that grew after its times", bin + pairs[40], times, PairTimesProblemShort, false},
        {"a log cut short", bin.substr(0, bin.size() - 100), times, PairTimesProblemForeign, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteAll(Bin(), c.Bin);
        fs::remove(Times());
        if (!c.Times.empty())
            WriteAll(Times(), c.Times);
        TRecording recording;
        ASSERT_TRUE(recording.Load(Bin())) << recording.Error();
        EXPECT_TRUE(recording.TimesEstimated());
        EXPECT_EQ(recording.TimesProblem(), c.Problem);
        EXPECT_NE(recording.TimesText(), "");
        const size_t measured = recording.MeasuredPairs();
        if (c.NoneMeasured) {
            EXPECT_EQ(measured, 0u);
        } else {
            EXPECT_GT(measured, 0u);
            EXPECT_LT(measured, recording.Pairs().size());
        }
        const std::vector<TRecordedPair>& got = recording.Pairs();
        for (size_t i = 0; i < measured; ++i)
            ASSERT_LE(std::abs(int64_t(got[i].TimeMs) - int64_t(written[i])), 1) << "pair " << i;
        // The rest at the cable's nominal rate, on from the last measured pair (from 0 without any).
        const double from = measured == 0 ? -NominalCablePairMs : double(got[measured - 1].TimeMs);
        for (size_t i = measured; i < got.size(); ++i)
            ASSERT_NEAR(double(got[i].TimeMs), from + double(i - measured + 1) * NominalCablePairMs, 1.0)
                << "pair " << i;
    }
}

// A times file that cannot be written is reported once, as a log that cannot be written is, and the
// log itself is written whole; the recording then has estimated times.
TEST_F(RecordingTimesTest, ATimesFileThatCannotBeWrittenIsReportedAndTheLogGoesOn) {
    fs::create_directories(Times()); // a folder where the file should go
    const std::vector<std::string> pairs = CableSession(5);
    Record(pairs, {9});
    EXPECT_EQ(ReadAll(Bin()), std::accumulate(pairs.begin(), pairs.end(), std::string()));
    const std::vector<std::string> lines = Host.Logs();
    ASSERT_EQ(lines.size(), 1u) << Host.LogText();
    EXPECT_EQ(lines[0], "Не могу записать файл " + Times().string());
    TRecording recording;
    ASSERT_TRUE(recording.Load(Bin()));
    EXPECT_EQ(recording.MeasuredPairs(), 0u);
    EXPECT_EQ(recording.TimesProblem(), PairTimesProblemMissing);
}

} // namespace
} // namespace velmora
