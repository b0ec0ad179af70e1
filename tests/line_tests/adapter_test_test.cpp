#include "line_tests/adapter_test.h"

#include <gtest/gtest.h>

#include "line_rig.h"
#include "line_tests/carsoft_check.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using testing::TLineRig;

struct TEchoCase {
    const char* Sim;
    bool Sound;
    const char* Counts;                // the "sent, correct" line
    const char* Error;                 // the error line, "" when none
    std::vector<uint8_t> Waiting = {}; // bytes left on the line before the test
};

TEST(AdapterTest, EchoTestVerdictsOnSoundAndBrokenCables) {
    const TEchoCase cases[] = {
        {"SIM:cable", true, "Отправлено в линию 256 байт, принято без искажений (эхо) 256", ""},
        {"SIM:cable-noecho", false, "Отправлено в линию 1 байт, принято без искажений (эхо) 0",
         " 0/нет ответа"},
        // Bit 7 is lost: 0-127 come back, 128 reads as 0.
        {"SIM:cable-garbled", false, "Отправлено в линию 129 байт, принято без искажений (эхо) 128",
         " 128/ 0"},
        // Shorted to ground every byte reads 0x00, which only byte 0 matches.
        {"SIM:cable-shorted", false, "Отправлено в линию 2 байт, принято без искажений (эхо) 1", " 1/ 0"},
        // A car behind the cable stays asleep: it does not disturb the echo.
        {"SIM:hfm", true, "Отправлено в линию 256 байт, принято без искажений (эхо) 256", ""},
        // Bytes left over from an earlier exchange are no fault of the cable.
        {"SIM:cable", true, "Отправлено в линию 256 байт, принято без искажений (эхо) 256", "", {0x55, 0x00}},
    };
    for (const TEchoCase& c : cases) {
        SCOPED_TRACE(c.Sim);
        TLineRig rig(c.Sim);
        rig.Waiting = c.Waiting;
        EXPECT_EQ(TestAdapter(rig.Request(), false), c.Sound);
        EXPECT_TRUE(rig.Logged(c.Counts)) << rig.Host.LogText();
        EXPECT_EQ(rig.Logged("Адаптер исправен!"), c.Sound);
        EXPECT_EQ(rig.Logged("Адаптер НЕИСПРАВЕН, варианты:"), !c.Sound);
        EXPECT_EQ(rig.Logged("3. К-линия замкнута на землю"), !c.Sound);
        if (*c.Error) {
            EXPECT_TRUE(rig.Logged(c.Error)) << rig.Host.LogText();
        }
        EXPECT_EQ(Port(), nullptr) << "the port is freed";
    }
}

TEST(AdapterTest, EchoTestSendsWithAlternatingParityWithinTheTimeLimit) {
    TLineRig rig("SIM:cable");
    const uint32_t start = rig.ManualClock.TickCount();
    ASSERT_TRUE(TestAdapter(rig.Request(), false));
    EXPECT_LT(TicksSince(start, rig.ManualClock.TickCount()), 20000u);
    EXPECT_TRUE(rig.Logged("Время теста 0 сек.")) << rig.Host.LogText();
    const std::vector<std::string> logs = rig.Host.Logs();
    ASSERT_GE(logs.size(), 3u);
    EXPECT_EQ(logs[0], "Тест адаптера K-LINE (выполнение не более 20 секунд)");
    EXPECT_EQ(logs[1], "Ждите!");
    EXPECT_EQ(logs[2], "ошибки передача/прием:");
}

TEST(AdapterTest, RefusalsOpenNoPort) {
    {
        TLineRig rig("SIM:cable");
        TLineRequest request = rig.Request();
        request.PortName = "Port ?";
        EXPECT_FALSE(TestAdapter(request, false));
        EXPECT_EQ(rig.Host.Boxes(), std::vector<std::string>{"Необходимо выбрать COM порт!"});
        EXPECT_TRUE(rig.Host.Logs().empty());
    }
    {
        TLineRig rig("SIM:cable");
        EXPECT_FALSE(TestAdapter(rig.Request('E'), false));
        EXPECT_TRUE(rig.Logged("Функция недоступна для адаптера ELM327!"));
        EXPECT_EQ(rig.Sim->Car(), nullptr) << "the port was never opened";
    }
    {
        TLineRig rig("SIM:cable");
        TLineRequest request = rig.Request();
        request.SessionRunning = true;
        EXPECT_FALSE(TestAdapter(request, true));
        EXPECT_TRUE(rig.Logged("Во время сеанса обмена функция недоступна!"));
        EXPECT_EQ(rig.Sim->Car(), nullptr);
    }
}

TEST(AdapterTest, PortThatDoesNotOpenEndsTheTest) {
    TLineRig rig("SIM:no-such-unit");
    EXPECT_FALSE(TestAdapter(rig.Request(), false));
    EXPECT_TRUE(rig.Logged("Не могу открыть порт LINERIG")) << rig.Host.LogText();
    EXPECT_FALSE(rig.Logged("Адаптер исправен!"));
}

TEST(CarSoftCheck, InterfaceIdentifiesItselfAPlainCableDoesNot) {
    struct TCase {
        const char* Sim;
        char Adapter;
        int MostPerRead; // the driver hands the answer over in pieces of this many bytes (0: whole)
        bool Identified;
        std::vector<std::string> Lines;
    };
    const std::string notIdentified = "Ошибка обмена с адаптером или используется обычный k-line адаптер";
    const TCase cases[] = {
        {"SIMCARSOFT:hfm",
         'C',
         0,
         true,
         {"Обмен с адаптером CarSoft 7.4", "63 = V9.9  16/99", "fe = R", "OK!"}},
        {"SIMCARSOFT:hfm", 'C', 3, true, {"63 = V9.9  16/99", "OK!"}},
        // The cable only echoes.
        {"SIM:cable", 'K', 0, false, {"63 = c", "ff = <FF>", notIdentified}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Sim << " pieces of " << c.MostPerRead);
        TLineRig rig(c.Sim);
        rig.MostPerRead = c.MostPerRead;
        EXPECT_EQ(TestAdapter(rig.Request(c.Adapter), true), c.Identified);
        for (const std::string& line : c.Lines)
            EXPECT_TRUE(rig.Logged(line)) << line << "\n" << rig.Host.LogText();
        EXPECT_EQ(rig.Logged("OK!"), c.Identified);
        EXPECT_EQ(rig.Logged(notIdentified), !c.Identified);
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST(CarSoftCheck, ALineThatNeverFallsQuietEndsEachAnswerInTimeAndStopEndsTheCheck) {
    testing::TTempFolder folder;
    // A byte every 50 ms: never the 150 ms of quiet that ends an answer.
    const auto noisy = folder.WriteFile("noisy.ini", "[Unit]\nBase=cable\n[LineFaults]\nNoiseEveryMs=50\n");
    {
        TLineRig rig("SIM:" + noisy.string());
        const uint32_t start = rig.ManualClock.TickCount();
        EXPECT_FALSE(TestAdapter(rig.Request('C'), true));
        EXPECT_LE(rig.ManualClock.TickCount() - start, 6u * 3100 + 500) << "six answers of at most 3 s";
        EXPECT_TRUE(rig.Logged("Ошибка обмена с адаптером или используется обычный k-line адаптер"));
        EXPECT_EQ(Port(), nullptr);
    }
    {
        TLineRig rig("SIM:" + noisy.string());
        const std::atomic<bool> stop{true};
        const uint32_t start = rig.ManualClock.TickCount();
        EXPECT_FALSE(TestAdapter(rig.Request('C'), true, &stop));
        EXPECT_LE(rig.ManualClock.TickCount() - start, 500u);
        EXPECT_TRUE(rig.Logged("Обмен остановлен."));
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST(CarSoftCheck, AnswerTextShowsUnprintableBytesInHex) {
    EXPECT_EQ(CarSoftAnswerText(std::string("K4\x00\x0D", 4)), "K4<00><0D>");
    EXPECT_EQ(CarSoftAnswerText("\x1F ~\x7F\x80\xFF"), "<1F> ~<7F><80><FF>");
    EXPECT_EQ(CarSoftAnswerText(""), "");
}

} // namespace
} // namespace velmora
