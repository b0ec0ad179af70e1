// The tester's ELM327 dialect against the simulated firmware, through the SIMELM port in virtual time.
#include <optional>

#include <gtest/gtest.h>

#include "adapters/elm_command.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/sim_port.h"

namespace velmora {
namespace {

class ElmDialectTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSimPorts();
        ASSERT_TRUE(CreatePort(9600, "SIMELM:hfm"));
        Elm.emplace(
            *Port(), [this](std::string_view line) { Trace.emplace_back(line); }, Abort, State);
    }
    void TearDown() override { FreePort(); }

    testing::THostRecorder Host;
    TManualClock Manual;
    TScopedClock Scoped{Manual};
    std::atomic<bool> Abort{false};
    TElmState State;
    std::vector<std::string> Trace;
    std::optional<TElmContext> Elm;
};

TEST_F(ElmDialectTest, SetsUpWakesAndReads) {
    ASSERT_TRUE(ElmInit(*Elm));
    uint32_t before = Manual.TickCount();
    ASSERT_TRUE(ElmConnectEngine(*Elm));
    EXPECT_GE(Manual.TickCount() - before, 390u);
    std::string answer;
    ASSERT_TRUE(ElmCommand(*Elm, "HFMDATAF000", answer, 3000));
    EXPECT_EQ(answer, "RF00027");
    ASSERT_TRUE(ElmCommand(*Elm, "950D", answer = "", 3000));
    EXPECT_EQ(answer, "950D40");
    EXPECT_EQ(State.FailureCount, 0);
}

// The command loop wakes when the adapter's bytes arrive, not on a polling step: in virtual time a
// command ends the moment the prompt's stop bit does. Each command costs its characters and CR at
// 38400 baud, the adapter's delay, the K-line pairs (command 10 bits, parameter 11 bits, each answered
// 10 bits after the unit's 2.5 ms) and the answer line with its CR, the empty line and the prompt.
TEST_F(ElmDialectTest, ACommandEndsWhenItsPromptArrives) {
    ASSERT_TRUE(ElmInit(*Elm));
    ASSERT_TRUE(ElmConnectEngine(*Elm));
    const double charMs = 10 * 1000.0 / 38400;
    const double pairMs = 41 * 1000.0 / 9600 + 2 * 2.5;
    struct TCase {
        const char* Command;
        const char* AnswerStart; // the value digits follow
        size_t AnswerLength;
        int Pairs;
    };
    const TCase cases[] = {
        {"HFMDATA5505", "R5505", 7, 1},
        {"9505", "9505", 6, 1},
        {"9501", "9501", 8, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Command);
        std::string answer;
        const double start = Manual.PerfMs();
        ASSERT_TRUE(ElmCommand(*Elm, c.Command, answer, 3000));
        const double tookMs = Manual.PerfMs() - start;
        EXPECT_TRUE(answer.starts_with(c.AnswerStart)) << answer;
        EXPECT_EQ(answer.size(), c.AnswerLength) << answer;
        const double limitMs = double(std::string(c.Command).size() + 1) * charMs + 1 + c.Pairs * pairMs +
                               double(c.AnswerLength + 3) * charMs;
        EXPECT_NEAR(tookMs, limitMs, 0.002);
    }
}

// "USBKKL" leaves command mode without a prompt; the adapter then echoes K-line bytes like a cable.
TEST_F(ElmDialectTest, SwitchesToPlainKLineMode) {
    ASSERT_TRUE(ElmToKkl(*Elm));
    TBasePort& port = *Port();
    port.SetParams(9600, ParityNone, OneStopBit);
    port.SetTimeouts(0, 1, 300, 0, 0);
    ASSERT_TRUE(port.WriteByte(0x42));
    uint8_t echo = 0;
    TPortBuffer buffer{&echo, 0, 0, 1};
    EXPECT_EQ(port.ReadBufEx(buffer, 1), 1);
    EXPECT_EQ(echo, 0x42);
}

} // namespace
} // namespace velmora
