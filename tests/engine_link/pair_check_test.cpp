// The request pair on a noisy KKL line: a stray byte at every place of a pair (before an echo, between
// an echo and its answer, after the value) never becomes the pair's answer; the pair goes again, the
// exchange log holds only the sound tries and the trace beside it the dropped one. A scripted line in
// virtual time, so that the stray lands exactly where the case puts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "engine_link/pair_check.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "temp_folder.h"

namespace velmora {
namespace {

constexpr double FrameMs = 10 * 1000.0 / 9600;       // an answer byte, 8N1
constexpr double ParityFrameMs = 11 * 1000.0 / 9600; // a parameter byte with space parity
constexpr double ReactionMs = 3;
constexpr uint8_t Stray = 0x3A;

// The wire and a unit behind it: each written byte comes back as its echo when its frame ends, and the
// unit answers it (a command with its complement, a parameter with parameter + 0x40) after its reaction.
// One stray byte can be put on the line at a time after the n-th write from now.
struct TScriptedLine {
    struct TArrival {
        double Ms;
        uint8_t Value;
    };
    std::vector<TArrival> Pending; // sorted by time
    uint8_t Parity = 0;
    int Writes = 0;
    std::optional<std::pair<int, double>> StrayAt; // (write number, ms after that write)
    bool StrayBeforeEveryEcho = false;
    bool DropNextAnswer = false;
    double Reaction = ReactionMs;

    void Put(double ms, uint8_t value) {
        Pending.push_back({ms, value});
        std::stable_sort(Pending.begin(), Pending.end(),
                         [](const TArrival& a, const TArrival& b) { return a.Ms < b.Ms; });
    }
    void Write(uint8_t value) {
        const double now = Clock().PerfMs();
        const bool command = Parity == 0;
        const double echoMs = now + (command ? FrameMs : ParityFrameMs);
        Put(echoMs, value);
        if (!DropNextAnswer)
            Put(echoMs + Reaction + FrameMs, command ? uint8_t(0xFF - value) : uint8_t(value + 0x40));
        DropNextAnswer = false;
        ++Writes;
        if (StrayAt && StrayAt->first == Writes) {
            Put(now + StrayAt->second, Stray);
            StrayAt.reset();
        }
        if (StrayBeforeEveryEcho)
            Put(now + 0.5, Stray);
    }
    int Arrived() const {
        const double now = Clock().PerfMs();
        return int(
            std::count_if(Pending.begin(), Pending.end(), [&](const TArrival& a) { return a.Ms <= now; }));
    }
    int Take(uint8_t* data, int count) {
        int n = std::min(count, Arrived());
        for (int i = 0; i < n; ++i)
            data[i] = Pending[size_t(i)].Value;
        Pending.erase(Pending.begin(), Pending.begin() + n);
        return n;
    }
    // Moves virtual time to the next arrival, but not beyond `untilMs`.
    void WaitUntil(double untilMs) {
        double wake = untilMs;
        if (!Pending.empty())
            wake = std::min(wake, Pending.front().Ms);
        const double now = Clock().PerfMs();
        Clock().SleepMicros(std::max<int64_t>(1, int64_t((wake - now) * 1000.0 + 0.999)));
    }
};

TScriptedLine* Line = nullptr;

class TScriptedPort : public TBasePort {
public:
    bool Open(bool, int) override { return true; }
    bool IsOpen() override { return true; }
    int InQueue() override { return Line->Arrived(); }
    void Close() override {}
    void SetParams(int, uint8_t parity, uint8_t) override { Line->Parity = parity; }
    void SetRTS(bool) override {}
    void SetParity(uint8_t parity) override { Line->Parity = parity; }
    bool ReadByte(uint8_t& value) override { return Line->Take(&value, 1) == 1; }
    int ReadBuf(TPortBuffer& buffer) override { return buffer.Count = Line->Take(buffer.Data, buffer.Size); }
    int ReadBufEx(TPortBuffer& buffer, int count) override {
        // The port's time-outs: 300 ms + 1 ms per byte asked for.
        const double deadline = Clock().PerfMs() + 300 + count;
        int got = 0;
        for (;;) {
            got += Line->Take(buffer.Data + got, count - got);
            if (got == count || Clock().PerfMs() >= deadline)
                break;
            Line->WaitUntil(deadline);
        }
        return buffer.Count = got;
    }
    bool WriteBuf(TPortBuffer buffer) override { return WritePortEx(buffer.Data, buffer.Count); }
    bool WriteByte(uint8_t value) override { return WritePortEx(&value, 1); }
    bool WritePortEx(const uint8_t* data, int length) override {
        for (int i = 0; i < length; ++i)
            Line->Write(data[i]);
        return true;
    }
    void SetCommBreak() override {}
    void ClearCommBreak() override {}
    void SetTimeouts(int, int, int, int, int) override {}
    bool WaitInput(uint32_t maxMs) override {
        if (InQueue() > 0)
            return true;
        Line->WaitUntil(Clock().PerfMs() + maxMs);
        return InQueue() > 0;
    }
};

class PairCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterPortKind("PAIRLINE", 90, "scripted K-line",
                         [](std::string_view) { return std::unique_ptr<TBasePort>(new TScriptedPort); });
    }
    void SetUp() override {
        Line = &Script;
        Link.PortName = "PAIRLINE";
        ASSERT_TRUE(Link.OpenLinkPort());
        Link.Ident.UnitType = UnitHfm;
        Link.Ident.Supplier = SupplierBosch;
    }
    void TearDown() override {
        FreePort();
        Line = nullptr;
    }
    std::string LogBytes() {
        Log.FlushLog();
        return Folder.ReadFile(std::filesystem::path("LOGS") / Log.LogName());
    }
    std::string TraceText() {
        Log.FlushLog();
        return Folder.ReadFile(std::filesystem::path(Log.TracePath()).lexically_relative(Folder.Path()));
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
    TScriptedLine Script;
    TExchangeLog Log;
    TEngineLink Link{Log};
};

std::string Pair(uint8_t cmd, uint8_t param) {
    return {char(cmd), char(0xFF - cmd), char(param), char(param + 0x40)};
}

TEST_F(PairCheckTest, AStrayByteAnywhereInAPairIsNeverItsAnswer) {
    // Writes of the pair under test (after the warm-up): 1 the command byte, 2 the parameter byte.
    // Echo and answer of a command come 1.04 and 5.08 ms after its write, of a parameter 1.15 and 5.19.
    struct TCase {
        const char* Name;
        int Write;
        double AfterMs;
    };
    const TCase cases[] = {
        {"before the command's echo", 1, 0.5},
        {"between the command's echo and its complement", 1, 2.0},
        {"just before the complement", 1, 4.5},
        {"before the parameter's echo", 2, 0.5},
        {"between the parameter's echo and the value", 2, 2.0},
        {"just before the value", 2, 4.6},
        {"after the value", 2, 5.6},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Link.Reset();
        ASSERT_TRUE(Link.OpenLinkPort());
        const std::string before = LogBytes();
        // The unit's own answer times are learned from sound pairs first.
        for (uint8_t param = 0x01; param <= 0x03; ++param)
            ASSERT_EQ(Link.Request(0xF1, param), uint8_t(param + 0x40));
        Script.StrayAt = {Script.Writes + c.Write, c.AfterMs};
        EXPECT_EQ(Link.Request(0xF1, 0x05), 0x45) << Host.LogText();
        EXPECT_EQ(Link.Request(0xF1, 0x06), 0x46);
        EXPECT_EQ(Link.Noise.DroppedPairs, 1u);
        EXPECT_GE(Link.Noise.StrayBytes, 1u);
        // The log holds the sound pairs only; the dropped try is in the trace.
        EXPECT_EQ(LogBytes().substr(before.size()),
                  Pair(0xF1, 1) + Pair(0xF1, 2) + Pair(0xF1, 3) + Pair(0xF1, 5) + Pair(0xF1, 6));
        EXPECT_NE(TraceText().find("repeat F1 0"), std::string::npos);
        ManualClock.Advance(100);
        Script.Pending.clear();
    }
}

TEST_F(PairCheckTest, AnEarlyAnswerWithNothingBehindItIsTheUnits) {
    for (uint8_t param = 0x01; param <= 0x03; ++param)
        ASSERT_EQ(Link.Request(0xF1, param), uint8_t(param + 0x40));
    // The thread was held up around the first answers: the unit now seems to answer 1 ms sooner.
    Script.Reaction = ReactionMs - 1;
    EXPECT_EQ(Link.Request(0xF1, 0x05), 0x45);
    EXPECT_EQ(Link.Noise.DroppedPairs, 0u);
}

TEST_F(PairCheckTest, ALostAnswerGoesAgainAndAStrayLineIsNamedWhenItGivesUp) {
    // The command's answer is lost once: the pair is lost once: the pair goes again and is logged once.
    Script.DropNextAnswer = true;
    ASSERT_EQ(Link.Request(0xF1, 0x01), 0x41);
    EXPECT_EQ(Link.Noise.DroppedPairs, 1u);
    EXPECT_EQ(Link.Noise.StrayBytes, 0u);
    EXPECT_EQ(LogBytes(), Pair(0xF1, 1));
    const std::vector<std::string> logs = Host.Logs();
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Связь восстановлена."), 1) << Host.LogText();

    // A stray byte before every echo: the line is named when the tries are used up.
    Link.Reset();
    ASSERT_TRUE(Link.OpenLinkPort());
    Script.StrayBeforeEveryEcho = true;
    try {
        Link.Request(0xF1, 0x02);
        FAIL() << "a pair was taken although a stray byte came before its echo";
    } catch (const LinkException& error) {
        EXPECT_NE(std::string(error.what()).find("Помехи на линии K"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("Попытки восстановить связь истекли!"), std::string::npos);
    }
}

TEST(AnswerVerdict, ByTheBytesOfOneRead) {
    struct TCase {
        std::vector<uint8_t> Bytes;
        bool IsCommand;
        TAnswerVerdict Verdict;
        int Strays;
    };
    const TCase cases[] = {
        {{0xF1, 0x0E}, true, TAnswerVerdict::Sound, 0},
        {{0x05, 0x45}, false, TAnswerVerdict::Sound, 0},
        {{}, false, TAnswerVerdict::Lost, 0},
        {{0x05}, false, TAnswerVerdict::Lost, 0},
        {{0xF1, 0x3A}, true, TAnswerVerdict::Wrong, 0},
        {{0x3A, 0x05}, false, TAnswerVerdict::Stray, 1},       // before the echo
        {{0x05, 0x3A, 0x45}, false, TAnswerVerdict::Stray, 1}, // more bytes than the pair has
        {{0x04, 0x45}, false, TAnswerVerdict::Stray, 2},       // a wrong echo
        {{0x3A}, true, TAnswerVerdict::Stray, 1},
    };
    for (const TCase& c : cases) {
        const uint8_t sent = c.IsCommand ? 0xF1 : 0x05;
        EXPECT_EQ(JudgeAnswer(c.Bytes, sent, c.IsCommand), c.Verdict) << ::testing::PrintToString(c.Bytes);
        EXPECT_EQ(StrayByteCount(c.Bytes, sent, c.IsCommand), c.Strays) << ::testing::PrintToString(c.Bytes);
    }
}

TEST(AnswerTiming, SoonerThanTheUnitByMoreThanTheSlack) {
    TAnswerTiming timing;
    EXPECT_FALSE(timing.Early(false, 1.0)) << "nothing learned yet";
    for (double ms : {5.3, 5.2, 5.4})
        timing.Learn(false, ms);
    EXPECT_DOUBLE_EQ(timing.ShortestMs(false), 5.2);
    EXPECT_FALSE(timing.Early(false, 5.1));
    EXPECT_TRUE(timing.Early(false, 2.0));
    EXPECT_FALSE(timing.Early(true, 2.0)) << "a command's answer is timed on its own";
    // The shortest of the last Kept answers: an old short one is forgotten.
    for (size_t i = 0; i < TAnswerTiming::Kept; ++i)
        timing.Learn(false, 6.0);
    EXPECT_TRUE(timing.Early(false, 5.3));
}

} // namespace
} // namespace velmora
