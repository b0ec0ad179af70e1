// The coding run against the simulated units: the unit's check word answered from the access file in
// DATA (known answer, wrong answer, no answer), on a KKL cable and through an ELM327.
#include <gtest/gtest.h>

#include <cstdio>

#include "actuators/coding.h"
#include "actuators/coding_access.h"
#include "sim_fixture.h"

namespace velmora {
namespace {

// The coding the built-in hfm unit holds (bytes 0x12 0x05 0x00) and the one the tests write.
constexpr std::array<uint8_t, 3> FactoryCoding{0x12, 0x05, 0x00};
constexpr uint32_t NewCoding = 0x0C0701; // 012 007 001
// Parameters 37-39 on the channel 0x55.
constexpr uint32_t CodingLocation = 0x55252627;

class Coding : public testing::TActuatorSimTest {
protected:
    void RunOn(const std::string& kind) {
        Connect("hfm", {}, kind);
        State.CodingLoc = CodingLocation;
        State.CodingPending = NewCoding;
        RunCoding(Context);
    }
    // The check word as the run logged it, after the answer to (0xE0, 0xFF).
    uint16_t LoggedCheckWord() const {
        const std::vector<std::string> logs = Host.Logs();
        auto it = std::find_if(logs.begin(), logs.end(),
                               [](const std::string& line) { return line.starts_with("224 255 return "); });
        EXPECT_NE(it, logs.end());
        if (it == logs.end() || ++it == logs.end())
            return 0;
        return uint16_t(std::stoul(*it, nullptr, 16));
    }
    void WriteAccessFile(uint16_t word, uint16_t answer) {
        char line[32];
        std::snprintf(line, sizeof line, "%.4X %.4X\n", unsigned(word), unsigned(answer));
        Folder.WriteFile(std::filesystem::path("DATA") / CodingAccessFile,
                         std::string("# test pair\n") + line);
    }
};

TEST_F(Coding, UnknownCheckWordBreaksOffAndChangesNothing) {
    Folder.WriteFile(std::filesystem::path("DATA") / CodingAccessFile, "0001 0002\n");
    RunOn("SIM");
    EXPECT_TRUE(
        LoggedInOrder({"Выполняется кодирование блока! Ждите!", "Текущая кодировка блока  018 005 000",
                       "Новая кодировка 012 007 001", "Ждите!", "193 252 return 3", "69 55 return 200"}))
        << Host.LogText();
    EXPECT_TRUE(LoggedInOrder({"                FUNCTION BREAK!!! ", "            Set Ignition OFF !",
                               "            Wait for >10 sec,",
                               "            Set Ignition ON and press CONNECT for repeat coding!"}));
    EXPECT_EQ(Host.Logs().back(), "            Set Ignition ON and press CONNECT for repeat coding!");
    EXPECT_NE(LoggedCheckWord(), 0);
    EXPECT_EQ(State.CodingPending, NewCoding) << "the next connection tries again";
    EXPECT_EQ(Unit().Coding(), FactoryCoding);
}

TEST_F(Coding, AnswerFromTheAccessFileUnlocksTheUnit) {
    // The check word of a fresh unit, and the answer its own access function wants.
    RunOn("SIM");
    const uint16_t word = LoggedCheckWord();
    const uint16_t key = Car().Profile().Access.Key(word);
    ASSERT_NE(key, 0);
    FreePort();

    struct TCase {
        const char* Kind;
        uint16_t Answer;
        bool Written;
    };
    const TCase cases[] = {
        {"SIM", key, true},
        {"SIM", uint16_t(key ^ 0x0100), false}, // right low byte, wrong high byte
        {"SIMELM", key, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Kind + std::string(" ") + std::to_string(c.Answer));
        WriteAccessFile(word, c.Answer);
        const uint32_t start = Clock().TickCount();
        RunOn(c.Kind);
        ASSERT_EQ(LoggedCheckWord(), word) << "a fresh unit gives the same word";
        const int high = c.Answer >> 8;
        const std::string taken =
            "195  " + std::to_string(high) + " return " + std::to_string(c.Written ? 255 - high : high);
        EXPECT_TRUE(Logged(c.Written ? taken + "  !!!!!!!!!!!!!!!!!OK" : taken)) << Host.LogText();
        EXPECT_EQ(State.CodingPending, 0u);
        EXPECT_TRUE(Logged("192  252 return 3"));
        EXPECT_TRUE(Logged("207  0 return 255"));
        if (c.Written) {
            EXPECT_EQ(Unit().Coding(), (std::array<uint8_t, 3>{12, 7, 1}));
            EXPECT_TRUE(Logged("New CODE UNIT NUMBER  12 34 56"));
            EXPECT_TRUE(LoggedInOrder({"CODING COMPLEAT!", "IGNITION set OFF for 30 sec!"}));
        } else {
            EXPECT_EQ(Unit().Coding(), FactoryCoding);
            EXPECT_TRUE(Logged("New CODE UNIT NUMBER  00 00 00")) << "the locked unit keeps its tester code";
            EXPECT_TRUE(LoggedInOrder({"Error write CODING !!!", "018 005 000",
                                       "                Set Ignition OFF for 30 sec!",
                                       "                Set Ignition ON and press CONNECT!"}));
        }
        if (std::string(c.Kind) == "SIMELM") {
            EXPECT_GE(Clock().TickCount() - start, 1000u) << "the adapter's pause before the first pair";
            EXPECT_FALSE(Logged("ELM327 ошибка выполнения ATPC!"));
            EXPECT_NE(TraceText().find("ATPC"), std::string::npos) << "the adapter left its K-line session";
        }
        FreePort();
    }
}

TEST_F(Coding, BadLinesOfTheAccessFileAreReported) {
    Folder.WriteFile(std::filesystem::path("DATA") / CodingAccessFile, "12 34\n");
    RunOn("SIM");
    EXPECT_TRUE(Logged("coding_access.txt, строка 1: ожидается пара слов вида 1A2B 3C4D: 12 34"))
        << Host.LogText();
    EXPECT_TRUE(Logged("                FUNCTION BREAK!!! "));
}

} // namespace
} // namespace velmora
