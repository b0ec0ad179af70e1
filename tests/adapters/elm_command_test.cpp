#include <gtest/gtest.h>

#include <atomic>

#include "adapters/elm_command.h"
#include "fake_elm_port.h"
#include "host_recorder.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {
namespace {

using testing::TFakeElmPort;

// A host whose message pump runs a hook, so that a test can act during the recovery's pauses.
class TPumpingHost : public testing::THostRecorder {
public:
    void ProcessMessages() override {
        if (OnPump)
            OnPump();
    }
    std::function<void()> OnPump;
};

class ElmCommandTest : public ::testing::Test {
protected:
    // Milliseconds since the test began.
    uint32_t Elapsed() { return TicksSince(Start, ManualClock.TickCount()); }
    // Sets the abort flag once `ms` have passed since the test began.
    void AbortAfter(uint32_t ms) {
        Port.OnPoll = [this, ms] {
            if (Elapsed() >= ms)
                Abort = true;
        };
        Host.OnPump = Port.OnPoll;
    }
    bool HasLog(const std::string& line) const {
        for (const std::string& logged : Host.Logs()) {
            if (logged == line)
                return true;
        }
        return false;
    }

    TManualClock ManualClock;
    TScopedClock ClockScope{ManualClock};
    uint32_t Start = ManualClock.TickCount();
    TPumpingHost Host;
    TFakeElmPort Port;
    std::atomic<bool> Abort{false};
    TElmState State;
    std::vector<std::string> Trace;
    TElmContext Elm{Port, [this](std::string_view line) { Trace.emplace_back(line); }, Abort, State};
};

TEST_F(ElmCommandTest, AnswersEndAtAPromptThatEndsAChunk) {
    struct TCase {
        const char* Name;
        std::vector<TFakeElmPort::TPart> Reply;
        const char* Expected;
        bool Success;
        const char* Answer;
    };
    const TCase cases[] = {
        {"one line", {{30, "OK\r\r>"}}, "OK", true, "OK"},
        {"line ended by the prompt", {{30, "R10C93F>"}}, "", true, "R10C93F"},
        {"lines joined by a blank", {{30, "ATE0\rOK\r\r>"}}, "OK", true, "ATE0 OK"},
        {"prompt split from its line", {{30, "OK\r"}, {60, "\r>"}}, "OK", true, "OK"},
        // A late prompt inside a chunk neither ends the answer nor hides the bytes behind it.
        {"stale prompt before the answer", {{30, ">OK\r"}, {60, "\r>"}}, "OK", true, "OK"},
        {"prompt followed by more bytes", {{30, "OK\r>NO DATA\r"}}, "", false, "OK NO DATA"},
        {"expected text missing", {{30, "?\r\r>"}}, "OK", false, "?"},
        // Plain K-line mode ends the answer, but passes only a command that asked for it.
        {"plain K-line mode instead of the expected text",
         {{30, "EXEC_AS_KKL_MODE"}},
         "OK",
         false,
         "EXEC_AS_KKL_MODE"},
        {"plain K-line mode expected",
         {{30, "EXEC_AS_KKL_MODE"}},
         "EXEC_AS_KKL_MODE",
         true,
         "EXEC_AS_KKL_MODE"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeElmPort port;
        port.Reply("ATE0", c.Reply);
        State.Recovering = true; // this table is about parsing: no recovery
        TElmContext elm{port, {}, Abort, State};
        std::string answer = c.Expected;
        EXPECT_EQ(ElmCommand(elm, "ATE0", answer, 3000), c.Success);
        EXPECT_EQ(answer, c.Answer);
        EXPECT_EQ(port.Written, std::vector<std::string>{"ATE0"});
    }
}

TEST_F(ElmCommandTest, BusInitAndDataErrorMoveTheDeadline) {
    struct TCase {
        const char* Name;
        std::vector<TFakeElmPort::TPart> Reply;
        uint32_t TimeoutMs;
        bool Success;
        uint32_t EndsAfterMs; // at least
        uint32_t EndsBeforeMs;
    };
    std::vector<TCase> cases = {
        // The adapter prints "BUS INIT: ..." and finishes the line only when the bus is up.
        {"bus init completing after 15 s",
         {{200, "BUS INIT: ..."}, {15000, "OK\r4100BE3EB811\r\r>"}},
         3000,
         true,
         15000,
         15100},
        {"bus init never completing", {{200, "BUS INIT: ...\r"}}, 3000, false, 20000, 20100},
        {"data error shortens a long wait", {{200, "<DATA ERROR\r"}}, 20000, false, 10000, 10100},
    };
    std::vector<TFakeElmPort::TPart> chatter;
    for (uint32_t ms = 100; ms < 6000; ms += 5)
        chatter.push_back({ms, "x"});
    cases.push_back({"chatter without a prompt", chatter, 3000, false, 3000, 3100});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeElmPort port;
        port.ReadCostMs = 5;
        port.Reply("0100", c.Reply);
        State.Recovering = true;
        TElmContext elm{port, {}, Abort, State};
        const uint32_t start = ManualClock.TickCount();
        std::string answer;
        EXPECT_EQ(ElmCommand(elm, "0100", answer, c.TimeoutMs), c.Success);
        const uint32_t took = TicksSince(start, ManualClock.TickCount());
        EXPECT_GE(took, c.EndsAfterMs);
        EXPECT_LT(took, c.EndsBeforeMs);
    }
}

// The characters of an answer come one after another at the adapter's baud rate. The wait takes them in
// chunks, not one wake-up each, and still ends the moment the prompt arrives: a repeated command, whose
// answer length is known from last time, in about three reads.
TEST_F(ElmCommandTest, AnswerCharactersAreReadInChunksWithoutDelayingThePrompt) {
    const std::string reply = "4100BE1F\r\r>"; // 11 characters: one wake-up each before
    constexpr uint32_t FirstCharMs = 30;
    struct TCase {
        const char* Name;
        std::string Reply;
        int MaxReads;
        uint32_t LateMs; // past the prompt's arrival
    } cases[] = {
        {"first time: chunks of what must still come", reply, 7, 0},
        {"repeated: the whole answer but its prompt at once", reply, 3, 0},
        {"a shorter answer than last time: late by its missing characters at most", "?\r\r>", 2, 6},
    };
    TFakeElmPort port;
    port.Baud = 10000; // one character per millisecond
    State.Recovering = true;
    TElmContext elm{port, {}, Abort, State};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TFakeElmPort::TPart> parts;
        for (size_t i = 0; i < c.Reply.size(); ++i)
            parts.push_back({FirstCharMs + uint32_t(i), std::string(1, c.Reply[i])});
        port.Reply("0100", parts);
        port.Reads = 0;
        const uint32_t start = ManualClock.TickCount();
        std::string answer;
        EXPECT_TRUE(ElmCommand(elm, "0100", answer, 3000));
        EXPECT_EQ(answer, c.Reply.substr(0, c.Reply.find('\r')));
        const uint32_t promptMs = FirstCharMs + uint32_t(c.Reply.size()) - 1;
        EXPECT_GE(TicksSince(start, ManualClock.TickCount()), promptMs);
        EXPECT_LE(TicksSince(start, ManualClock.TickCount()), promptMs + c.LateMs);
        EXPECT_LE(port.Reads, c.MaxReads);
    }
}

TEST_F(ElmCommandTest, TracesEmptyLinesAsBackslashR) {
    Port.Reply("ATZ", {{50, "\r\rELM327 v1.5\r\r>"}});
    std::string answer;
    ASSERT_TRUE(ElmCommand(Elm, "ATZ", answer, 3000));
    EXPECT_EQ(answer, "ELM327 v1.5");
    const std::vector<std::string> expected = {"1000 ms: ATZ", "\\r", "\\r", "ELM327 v1.5", "\\r"};
    EXPECT_EQ(Trace, expected);
}

TEST_F(ElmCommandTest, QuietCommandsTraceOnlyWhenAnAnswerDeviates) {
    Port.Reply("ATL0", {{20, "OK\r\r>"}});
    Port.Reply("ATS0", {{20, "ATS0\rOK\r\r>"}});
    std::string answer = "OK";
    ASSERT_TRUE(ElmCommand(Elm, "ATL0", answer, 3000, false));
    EXPECT_TRUE(Trace.empty());
    answer = "OK";
    ASSERT_TRUE(ElmCommand(Elm, "ATS0", answer, 3000, false));
    const std::vector<std::string> expected = {"1020 ms: ATS0", "ATS0", "OK", "\\r"};
    EXPECT_EQ(Trace, expected);
}

TEST_F(ElmCommandTest, SilentAdapterIsReopenedProbedAndAskedAgain) {
    Port.Reply("ATE0", {}); // first: silence
    Port.Reply("ATE0", {{20, "OK\r\r>"}});
    Port.Reply("ATRV", {});
    Port.Reply("ATRV", {{30, "12.4V\r\r>"}});
    std::string answer = "OK";
    ASSERT_TRUE(ElmCommand(Elm, "ATE0", answer, 3000));
    EXPECT_EQ(answer, "OK");
    EXPECT_EQ(Port.Written, (std::vector<std::string>{"ATE0", "ATRV", "ATRV", "ATE0"}));
    EXPECT_EQ(Port.Closes, 1);
    EXPECT_EQ(Port.Opens, 1);
    const std::vector<std::string> expected = {
        "Нет ответа от ELM327 в течении 3 sec",
        "Порт закрыл.",
        "Сбой связи 1",
        "Порт открыл. Время выполнения 0 мс",
        "Нет ответа от ELM327 в течении 1 sec",
    };
    EXPECT_EQ(Host.Logs(), expected);
    // 3 s command, 3 s closed, 1 s settling, 0.7 s silent probe, 1 s apart, then two answers.
    EXPECT_GE(Elapsed(), 3000u + 3000 + 1000 + 700 + 1000 + 50);
    EXPECT_LT(Elapsed(), 8900u);
    EXPECT_EQ(State.FailureCount, 1);
    EXPECT_FALSE(State.Recovering);
}

TEST_F(ElmCommandTest, WrongAnswerIsProbedWithoutReopeningAndFailsWhenRepeated) {
    Port.Reply("ATH0", {{20, "?\r\r>"}});
    Port.Reply("ATH0", {{20, "?\r\r>"}});
    Port.Reply("ATRV", {{20, "12.4V\r\r>"}});
    std::string answer = "OK";
    EXPECT_FALSE(ElmCommand(Elm, "ATH0", answer, 3000));
    EXPECT_EQ(Port.Written, (std::vector<std::string>{"ATH0", "ATRV", "ATH0"}));
    EXPECT_EQ(Port.Closes, 0);
    EXPECT_EQ(Host.Logs(), (std::vector<std::string>{"Ошибка обмена с ELM327", "Ошибка обмена с ELM327"}));
    EXPECT_EQ(State.FailureCount, 0);
}

TEST_F(ElmCommandTest, RecoveryGivesUpAfterThreeSilentProbes) {
    std::string answer;
    EXPECT_FALSE(ElmCommand(Elm, "ATZ", answer, 3000));
    EXPECT_EQ(Port.Written, (std::vector<std::string>{"ATZ", "ATRV", "ATRV", "ATRV"}));
    EXPECT_EQ(Host.Logs().back(), "Нет ответа от ELM327 в течении 1 sec");

    // The counter goes on with the session; a port that does not reopen ends the recovery.
    Port.OpenSucceeds = false;
    EXPECT_FALSE(ElmCommand(Elm, "ATZ", answer, 3000));
    EXPECT_EQ(State.FailureCount, 2);
    EXPECT_TRUE(HasLog("Сбой связи 2"));
    EXPECT_EQ(Host.Logs().back(), "Не удалось открыть порт.");
}

TEST_F(ElmCommandTest, AbortEndsTheWaitAndTheRecovery) {
    AbortAfter(500);
    std::string answer;
    EXPECT_FALSE(ElmCommand(Elm, "HFMCONNECT", answer, 20000));
    EXPECT_LT(Elapsed(), 600u);
    EXPECT_EQ(Port.Closes, 0);
    EXPECT_TRUE(Host.Logs().empty());
    EXPECT_EQ(Trace.front(), "1000 ms: HFMCONNECT"); // what was sent stays in the log

    Abort = false;
    Start = ManualClock.TickCount();
    AbortAfter(4000); // inside the 3 s pause with the port closed
    EXPECT_FALSE(ElmCommand(Elm, "ATZ", answer, 3000));
    EXPECT_LT(Elapsed(), 4300u);
    EXPECT_EQ(Port.Opens, 0);
    EXPECT_FALSE(State.Recovering);
}

TEST_F(ElmCommandTest, StaleInputIsDroppedBeforeACommand) {
    Port.Reply("ATI", {{150, "late answer\r\r>"}});
    std::string answer;
    State.Recovering = true;
    EXPECT_FALSE(ElmCommand(Elm, "ATI", answer, 100, true));
    // The late answer of ATI arrived after its deadline; it must not become the answer of ATDP.
    ManualClock.Advance(50);
    Port.Reply("ATDP", {{20, "ISO 9141-2\r\r>"}});
    answer.clear();
    ASSERT_TRUE(ElmCommand(Elm, "ATDP", answer, 3000));
    EXPECT_EQ(answer, "ISO 9141-2");
}

TEST_F(ElmCommandTest, InitSetsUpTheEngineLinkAndStopsAtTheFirstRefusal) {
    Port.Reply("ATZ", {{500, "ATZ\r\r\rELM327 v1.5\r\r>"}});
    for (const char* command : {"ATE0", "ATL0", "ATS0", "ATH0"})
        Port.Reply(command, {{20, "OK\r\r>"}});
    EXPECT_TRUE(ElmInit(Elm));
    EXPECT_EQ(Port.SetParamsBauds, std::vector<int>{38400});
    EXPECT_EQ(Port.Written, (std::vector<std::string>{"ATZ", "ATE0", "ATL0", "ATS0", "ATH0"}));

    Port.Written.clear();
    Port.Reply("ATZ", {{500, "ELM327 v1.5\r\r>"}});
    Port.Reply("ATE0", {{20, "OK\r\r>"}});
    Port.Reply("ATL0", {{20, "?\r\r>"}});
    Port.Reply("ATRV", {{20, "12.1V\r\r>"}});
    Port.Reply("ATL0", {{20, "?\r\r>"}});
    EXPECT_FALSE(ElmInit(Elm));
    EXPECT_EQ(Port.Written, (std::vector<std::string>{"ATZ", "ATE0", "ATL0", "ATRV", "ATL0"}));
}

TEST_F(ElmCommandTest, KLineModeNeedsTheAdaptersConfirmationWithoutAPrompt) {
    Port.Reply("ATZ", {{500, "ATZ\r\r\rELM327 v1.5\r\r>"}});
    Port.Reply("ATE1", {{20, "ATE1\rOK\r\r>"}});
    Port.Reply("USBKKL", {{20, "USBKKL\rEXEC_AS_KKL_MODE"}});
    const uint32_t start = ManualClock.TickCount();
    EXPECT_TRUE(ElmToKkl(Elm));
    // Done on the confirmation, not at the 3000 ms deadline of a missing prompt.
    EXPECT_LT(TicksSince(start, ManualClock.TickCount()), 1000u);
    EXPECT_EQ(Port.Written, (std::vector<std::string>{"ATZ", "ATE1", "USBKKL"}));
}

TEST_F(ElmCommandTest, EngineWakeUpFallsBackToTheStandardRequest) {
    struct TCase {
        const char* Name;
        const char* HfmConnect; // nullptr: silent
        std::vector<std::string> Written;
    };
    const TCase cases[] = {
        {"adapter wakes the unit", "OK\r\r>", {"HFMCONNECT"}},
        {"adapter without the command", "?\r\r>", {"HFMCONNECT", "0100"}},
        // The adapter's failure answers are no wake-up.
        {"unit silent", "UNABLE TO CONNECT\r\r>", {"HFMCONNECT", "0100"}},
        {"bus init failed", "BUS INIT: ...ERROR\r\r>", {"HFMCONNECT", "0100"}},
        {"no data", "NO DATA\r\r>", {"HFMCONNECT", "0100"}},
        {"stopped", "STOPPED\r\r>", {"HFMCONNECT", "0100"}},
        {"bus error", "BUS ERROR\r\r>", {"HFMCONNECT", "0100"}},
        {"can error", "CAN ERROR\r\r>", {"HFMCONNECT", "0100"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeElmPort port;
        port.Reply("HFMCONNECT", {{3000, c.HfmConnect}});
        port.Reply("0100", {{200, "SEARCHING...\r4100BE3EB811\r\r>"}});
        TElmContext elm{port, {}, Abort, State};
        EXPECT_TRUE(ElmConnectEngine(elm));
        EXPECT_EQ(port.Written, c.Written);
    }
    EXPECT_TRUE(Host.Posted().empty());
}

TEST_F(ElmCommandTest, EngineWakeUpFailureIsLoggedAndPosted) {
    Port.Reply("HFMCONNECT", {{100, "?\r\r>"}});
    Port.Reply("0100", {{100, "UNABLE TO CONNECT\r\r>"}});
    Port.Reply("0100", {{100, "UNABLE TO CONNECT\r\r>"}});
    Port.Reply("ATRV", {{20, "12.1V\r\r>"}});
    EXPECT_FALSE(ElmConnectEngine(Elm));
    const std::string failure = "Ошибка при подключении к ЭБУ через адаптер ELM327 velmora";
    EXPECT_EQ(Trace.back(), failure);
    EXPECT_EQ(Host.Logs().back(), failure);
    EXPECT_EQ(Host.Posted(), (std::vector<testing::TPosted>{{WM_USER + 3, 0, 0}}));
}

} // namespace
} // namespace velmora
