// The engine link against the simulated units, in virtual time: wake-up verdicts, answer checks and
// retries, left-out command bytes, the big-time-out report, parameter reads and the ELM327 path.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/ecu_param.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "sim/sim_profile.h"
#include "temp_folder.h"

namespace velmora {
namespace {

int CountLines(const std::vector<std::string>& lines, std::string_view text) {
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

class EngineLinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override { FreePort(); }

    // "SIM:<unit>", or a profile written to the program folder when `profile` is given.
    std::string SimPort(const std::string& unit, const std::string& profile = {}) {
        if (profile.empty())
            return "SIM:" + unit;
        return "SIM:" + Folder.WriteFile(unit + ".ini", profile).string();
    }
    bool Open(const std::string& port) {
        Link.PortName = port;
        return Link.OpenLinkPort();
    }
    bool OpenAndWake(const std::string& port) { return Open(port) && Link.WakeUp(); }
    // The exchange-log bytes received since the last call.
    // The adapter's text lines written so far to the trace beside the log.
    std::string TraceText() {
        Log.FlushLog();
        return Folder.ReadFile(std::filesystem::path(Log.TracePath()).lexically_relative(Folder.Path()));
    }
    std::string NewLogBytes() {
        Log.FlushLog();
        std::string all = Folder.ReadFile(std::filesystem::path("LOGS") / Log.LogName());
        std::string fresh = all.substr(std::min(LogSeen, all.size()));
        LogSeen = all.size();
        return fresh;
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
    TExchangeLog Log;
    TEngineLink Link{Log};
    size_t LogSeen = 0;
};

TEST_F(EngineLinkTest, WakeUpVerdictsFollowWhatCameBack) {
    // A unit that never takes the break (too short for it) stays asleep.
    const std::string asleep = "[Unit]\nBase=hfm\nBreakMinMs=300\n";
    struct TCase {
        const char* Name;
        std::string Profile;
        bool Awake;
        const char* Verdict; // the failure line, or the number of wake-up bytes sent when awake
        int BytesSent;
    };
    const TCase cases[] = {
        {"hfm", "", true, nullptr, 1},
        {"hfm40", "", true, nullptr, 4}, // answers only the closing 0xAA
        {"nocable", asleep + "[LineFaults]\nNoEcho=1\n", false,
         "ОШИБКА! Адаптер K-LINE не подключен, либо неисправен!", 4},
        {"silent", asleep, false, "ОШИБКА! ECU не отвечает!", 4},
        // Bytes that were nobody's answer: the line is named beside the verdict.
        {"noisy", asleep + "[LineFaults]\nNoiseEveryMs=150\n", false,
         "ОШИБКА! Сбой коннекта! Помехи на линии K: посторонних байт 26, пар отброшено и повторено 0.", 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Clear();
        ASSERT_TRUE(Open(SimPort(c.Name, c.Profile)));
        const bool awake = Link.WakeUp();
        const std::vector<std::string> logs = Host.Logs();
        EXPECT_EQ(awake, c.Awake) << Host.LogText();
        EXPECT_EQ(CountLines(logs, "Передача: 170") + CountLines(logs, "Передача: 0"), c.BytesSent);
        if (c.Awake) {
            EXPECT_EQ(CountLines(logs, "Connect time"), 1);
            EXPECT_NE(Link.Ident.UnitType, UnitUnknown) << "identified after the wake-up";
            EXPECT_EQ(CountLines(logs, "Внимание! Принято байт"), 0) << "the break's 0x00 is no extra byte";
        } else {
            EXPECT_EQ(Link.FailureText, c.Verdict);
            EXPECT_EQ(CountLines(logs, c.Verdict), 1);
            EXPECT_NE(Port(), nullptr) << "a failed wake-up leaves the port for the caller to close";
        }
        FreePort();
    }
}

TEST_F(EngineLinkTest, ClosingByteOfTheSequenceGoesAtOnceAfterTheZeroPair) {
    ASSERT_TRUE(Open(SimPort("hfm40")));
    const uint32_t start = Clock().TickCount();
    ASSERT_TRUE(Link.WakeUp());
    // Bytes at 390, 1390, 2390 ms after the break, and the closing 0xAA right after the 0x00 answer,
    // not a second later.
    const std::vector<std::string> logs = Host.Logs();
    auto connect = std::find_if(logs.begin(), logs.end(),
                                [](const std::string& line) { return line.starts_with("Connect time"); });
    ASSERT_NE(connect, logs.end());
    const int connectMs = std::stoi(connect->substr(std::string("Connect time ").size()));
    EXPECT_GT(connectMs, 2390);
    EXPECT_LT(connectMs, 3390);
    EXPECT_GT(Clock().TickCount() - start, uint32_t(connectMs));
    EXPECT_EQ(CountLines(logs, "Большой таймаут обмена"), 0) << "the slow wake-up is no late answer";
}

TEST_F(EngineLinkTest, WrongComplementIsResentAndThenGivesUp) {
    ASSERT_TRUE(Open(SimPort("always", "[Unit]\nBase=hfm\n[LineFaults]\nWrongComplementEvery=1\n")));
    try {
        Link.WakeUp();
        FAIL() << "the identification cannot succeed";
    } catch (const LinkException& error) {
        EXPECT_STREQ(error.what(), "Попытки восстановить связь истекли!");
    }
    const std::vector<std::string> logs = Host.Logs();
    EXPECT_EQ(CountLines(logs, "Ошибка ответа на команду 240"), 3);
    EXPECT_EQ(CountLines(logs, "Отправлено: 240 ( cmd ). Принято : 240"), 3);
    EXPECT_EQ(ProgressMark(), MarkReadAnswer);
}

TEST_F(EngineLinkTest, LostAnswerIsRecovered) {
    ASSERT_TRUE(OpenAndWake(SimPort("flaky", "[Unit]\nBase=pms-bosch\n[LineFaults]\nDropAnswerEvery=9\n")))
        << Host.LogText();
    const std::vector<std::string> logs = Host.Logs();
    EXPECT_GE(CountLines(logs, "Нет ответа!"), 1);
    EXPECT_EQ(CountLines(logs, "Связь восстановлена."), CountLines(logs, "Нет ответа!"));
    EXPECT_EQ(Link.Ident.UnitType, UnitPms);
    EXPECT_EQ(Link.Ident.DiagIndex, 45);
}

TEST_F(EngineLinkTest, AnEchoCorruptedOrLateIsResentNeverTakenAsTheValue) {
    struct TCase {
        const char* Name;
        const char* Fault;
        const char* Logged; // what the diagnostic line of the first attempt says
    };
    const TCase cases[] = {
        {"corrupted", "CorruptEchoEvery=5", "ЭХО не получено!"},
        // A held-up byte, then the echo: the echo must not be taken for the value.
        {"late", "LateByteBeforeEchoEvery=7", "Нет ответа!"},
    };
    TSimProfile hfm;
    std::string error;
    ASSERT_TRUE(LoadSimProfile("hfm", hfm, error)) << error;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Clear();
        ASSERT_TRUE(
            OpenAndWake(SimPort(c.Name, std::string("[Unit]\nBase=hfm\n[LineFaults]\n") + c.Fault + "\n")))
            << Host.LogText();
        const std::vector<std::string> logs = Host.Logs();
        EXPECT_GE(CountLines(logs, c.Logged), 1) << Host.LogText();
        EXPECT_GE(CountLines(logs, "Связь восстановлена."), 1) << Host.LogText();
        for (size_t address = 0; address < hfm.Ident.size(); ++address) {
            if (address < 0x1C || address > 0x25) {
                EXPECT_EQ(Link.Ident.IdentBuf[address], hfm.Ident[address]) << "address " << address;
            }
        }
        FreePort();
    }
}

TEST(CommandLeftOut, ByFamilyAndSupplier) {
    struct TCase {
        uint8_t UnitType, Supplier, Cmd, Param;
        bool LeftOut;
    };
    const TCase cases[] = {
        {UnitHfm, SupplierBosch, 0x10, 0x41, true},      {UnitHfm, SupplierBosch, 0x10, 0x40, false},
        {UnitPms, SupplierSiemens, 0x10, 0xFF, true},    {UnitHfm, SupplierBosch, 0x10, 0xAA, false},
        {UnitHfm, SupplierVdo, 0x10, 0x41, false},       {UnitHfm, SupplierBosch, 0x12, 0x41, false},
        {UnitLh, SupplierBosch, 0x00, 0x22, true},       {UnitLh, SupplierBosch, 0x10, 0x41, false},
        {UnitEz, SupplierBosch, 0xFF, 0x21, true},       {UnitEz, SupplierBosch, 0x00, 0x00, false},
        {UnitUnknown, SupplierBosch, 0x10, 0x41, false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CommandLeftOut(c.UnitType, c.Supplier, c.Cmd, c.Param), c.LeftOut)
            << int(c.UnitType) << " " << int(c.Cmd) << " " << int(c.Param);
}

TEST_F(EngineLinkTest, LeftOutCommandBytesNeverReachTheLine) {
    struct TCase {
        const char* Unit;
        uint8_t Cmd, Param;
        size_t LogBytes; // 4: command echo, complement, parameter echo, value; 2: only the parameter
    };
    const TCase cases[] = {
        {"ez", 0xFF, 0x21, 2},
        {"ez", 0x00, 0x00, 4},
        {"lh", 0x00, 0x22, 2},
        {"lh", 0x40, 0xF7, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Unit + std::string(" ") + std::to_string(c.Cmd));
        ASSERT_TRUE(OpenAndWake(SimPort(c.Unit)));
        NewLogBytes();
        const uint8_t value = Link.Request(c.Cmd, c.Param);
        const std::string bytes = NewLogBytes();
        ASSERT_EQ(bytes.size(), c.LogBytes);
        EXPECT_EQ(uint8_t(bytes[bytes.size() - 2]), c.Param);
        EXPECT_EQ(uint8_t(bytes.back()), value);
        if (c.LogBytes == 4) {
            EXPECT_EQ(uint8_t(bytes[0]), c.Cmd);
            EXPECT_EQ(uint8_t(bytes[1]), uint8_t(0xFF - c.Cmd));
        }
        FreePort();
    }
}

// Whatever the line does, a value the link hands on is a pair the exchange log holds whole (command,
// complement, parameter, value), in the order read: what the log converts to is what was shown.
TEST_F(EngineLinkTest, EveryValueTakenIsASoundPairOfTheLog) {
    const char* faults[] = {
        "NoEcho=1",
        "WrongComplementEvery=7",
        "DropAnswerEvery=5",
        "NoiseEveryMs=40",
        "NoiseEveryMs=150",
        "SilentAfterRequests=120",
        "VanishAfterRequests=120",
        "CorruptEchoEvery=10",
        "LateByteBeforeEchoEvery=9",
        "EchoLostBits=0x01",
        "ShortToGround=1",
        "NoUnit=1",
    };
    for (const char* fault : faults) {
        SCOPED_TRACE(fault);
        Host.Clear();
        LogSeen = 0;
        Log.ClearLogName();
        Log.EnableLog();
        std::string pairs;
        try {
            if (OpenAndWake(
                    SimPort("faulty", std::string("[Unit]\nBase=hfm\n[LineFaults]\n") + fault + "\n"))) {
                // Reads of page 0x10 below 0x41 carry their command byte on the line.
                for (int i = 0; i < 300; ++i) {
                    const uint8_t param = uint8_t(i % 0x40);
                    const uint8_t value = Link.Request(0x10, param);
                    pairs += std::string{char(0x10), char(0xEF), char(param), char(value)};
                }
            }
        } catch (const std::exception&) {
            // The link gave up: the values taken before count all the same.
        }
        const std::string log = NewLogBytes();
        size_t at = 0;
        for (size_t k = 0; k < pairs.size(); k += 4) {
            const size_t found = log.find(pairs.substr(k, 4), at);
            ASSERT_NE(found, std::string::npos) << "value " << k / 4 << " is no pair of the log";
            at = found + 4;
        }
        FreePort();
    }
}

TEST_F(EngineLinkTest, SlowAnswerIsReportedNotFailed) {
    ASSERT_TRUE(OpenAndWake(SimPort("hfm")));
    Host.Clear();
    ManualClock.Advance(1200);
    EXPECT_EQ(Link.Request(0xF0, 0x00), 0x27);
    Link.Request(0xF0, 0x01);
    const std::vector<std::string> logs = Host.Logs();
    ASSERT_EQ(CountLines(logs, "Большой таймаут обмена"), 1) << Host.LogText();
    EXPECT_EQ(CountLines(logs, "мс. Запрос: f000h"), 1) << Host.LogText();
    EXPECT_EQ(CountLines(logs, "Большой таймаут обмена: 12"), 1) << Host.LogText();
}

TEST_F(EngineLinkTest, RequestLinesAndTicks) {
    ASSERT_TRUE(OpenAndWake(SimPort("hfm")));
    Host.Clear();
    const uint8_t value = Link.Request(0xF0, 0x01, true);
    EXPECT_EQ(value, 'B');
    EXPECT_EQ(Host.Logs(), std::vector<std::string>{"cmd 240, send 1 receive 66"});
    const std::vector<testing::TPosted> posted = Host.Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].Msg, WM_USER + 4);
    EXPECT_EQ(uint32_t(posted[0].WParam), Clock().TickCount());
}

TEST_F(EngineLinkTest, TimedRequestSendsEachByteAtItsTick) {
    ASSERT_TRUE(OpenAndWake(SimPort("hfm")));
    const uint32_t now = Clock().TickCount();
    // The special-mode entry: (0xCF, 0xFF) answers 0x00 outside the mode.
    EXPECT_EQ(Link.RequestTimed(0xCF, 0xFF, now + 100, now + 400), 0x00);
    EXPECT_GE(Clock().TickCount(), now + 400);
    EXPECT_LT(Clock().TickCount(), now + 500);
    // Times more than a second ahead are not waited for.
    const uint32_t later = Clock().TickCount();
    Link.RequestTimed(0xF0, 0x00, later + 5000, later + 5000);
    EXPECT_LT(Clock().TickCount(), later + 1000);
}

TEST_F(EngineLinkTest, KeepAliveSpeaksOnlyAfterTheIdleTime) {
    ASSERT_TRUE(OpenAndWake(SimPort("hfm")));
    NewLogBytes();
    Link.KeepAlive(false, true);
    EXPECT_EQ(NewLogBytes().size(), 0u) << "an answer came just now";
    ManualClock.Advance(Link.IdleTime);
    Link.KeepAlive(false, false);
    EXPECT_EQ(NewLogBytes(), std::string("\x10\xEF\x00", 3) + char(Link.RxBuf[1]));
    Link.KeepAlive(true, false);
    EXPECT_EQ(NewLogBytes().size(), 4u) << "forced";
}

TEST_F(EngineLinkTest, TwoByteValuesFollowTheUnitsByteOrder) {
    struct TCase {
        const char* Unit;
        uint16_t Raw;
    };
    // Memory holds 12 34 from address 0x50 of command 0x10 on both units; the newest Bosch generation
    // sends the high byte first.
    const TCase cases[] = {{"hfm", 0x3412}, {"hfm-new", 0x1234}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Unit);
        const std::string profile = std::string("[Unit]\nBase=") + c.Unit + "\n[Memory]\n1050=12 34\n";
        ASSERT_TRUE(OpenAndWake(SimPort(std::string("word-") + c.Unit, profile)));
        TECUparam param(1);
        param.ParseLine("TYPE=W");
        param.SetCmdWord(0x1050);
        Link.ReadParameter(param);
        EXPECT_EQ(param.RawWord.load(), c.Raw);
        FreePort();
    }
}

class ElmLinkTest : public EngineLinkTest {
protected:
    bool OpenElm(const std::string& unit, bool tables) {
        Link.UseElm = true;
        Link.UseElmTables = tables;
        return Open("SIMELM:" + unit);
    }
};

TEST_F(ElmLinkTest, WakesAndIdentifiesThroughTheAdapter) {
    ASSERT_TRUE(OpenElm("pms-bosch", true)) << Host.LogText();
    ASSERT_TRUE(Link.WakeUp()) << Host.LogText();
    EXPECT_EQ(Link.Ident.UnitType, UnitPms);
    EXPECT_EQ(Link.Ident.Supplier, SupplierBosch);
    EXPECT_EQ(Link.Ident.DiagIndex, 45);
    EXPECT_TRUE(Link.PostTicks);
    // Every pair leaves the bytes a cable would have received: F0 0F 00 21 for the first block byte.
    const std::string bytes = NewLogBytes();
    EXPECT_NE(bytes.find(std::string("\xF0\x0F\x00\x21", 4)), std::string::npos);
    EXPECT_EQ(bytes.find("HFMDATA"), std::string::npos) << "adapter text in the byte log";
    EXPECT_NE(TraceText().find("HFMDATAF000"), std::string::npos) << "the adapter's lines are traced";
}

TEST_F(ElmLinkTest, TableReadsLogTheirBytesByAddress) {
    ASSERT_TRUE(OpenElm("hfm", true));
    ASSERT_TRUE(Link.WakeUp());
    struct TCase {
        uint8_t Address;
        const char* Type;
        std::string Codes; // code and complement, then the logged address of each byte
    };
    const TCase cases[] = {
        {0x00, "B", std::string("\x11\xEE\x00", 3)},
        {0x58, "W", "\x12\xED\xB0\x12\xED\xB1"},
        {0x8D, "W", "\x13\xEC\x1A\x13\xEC\x1B"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.Address));
        NewLogBytes();
        TECUparam param(1);
        param.ParseLine(std::string("TYPE=") + c.Type);
        param.SetCmdWord(uint16_t(0x5500 | c.Address));
        Link.ReadParameter(param);
        std::string bytes = NewLogBytes();
        // Only the binary entries: the adapter's text lines end with CR LF.
        bytes = bytes.substr(bytes.rfind('\n') + 1);
        const size_t perByte = 4;
        ASSERT_EQ(bytes.size(), c.Codes.size() / 3 * perByte);
        uint16_t raw = 0;
        for (size_t i = 0; i < c.Codes.size() / 3; ++i) {
            EXPECT_EQ(bytes.substr(i * perByte, 3), c.Codes.substr(i * 3, 3));
            raw |= uint16_t(uint8_t(bytes[i * perByte + 3]) << (8 * i));
        }
        EXPECT_EQ(param.RawWord.load(), raw);
    }
}

TEST_F(ElmLinkTest, TableReadOfAHighByteFirstUnitKeepsTheWord) {
    ASSERT_TRUE(OpenElm("hfm-new", true));
    ASSERT_TRUE(Link.WakeUp());
    ASSERT_TRUE(Link.Ident.HasReversedByteOrder());
    NewLogBytes();
    TECUparam param(1);
    param.ParseLine("TYPE=W");
    param.SetCmdWord(0x5558);
    Link.ReadParameter(param);
    std::string bytes = NewLogBytes();
    bytes = bytes.substr(bytes.rfind('\n') + 1);
    ASSERT_EQ(bytes.size(), 8u);
    ASSERT_NE(bytes[3], bytes[7]) << "equal bytes would not show the order";
    // The bytes as they came, high byte first; the record gets the same word a cable read gives.
    EXPECT_EQ(param.RawWord.load(), uint16_t(uint8_t(bytes[3]) << 8 | uint8_t(bytes[7])));
}

TEST_F(ElmLinkTest, TimedRequestReadsAScreenParameterWhole) {
    ASSERT_TRUE(OpenElm("hfm", true));
    ASSERT_TRUE(Link.WakeUp());
    TListParams screen;
    auto battery = std::make_unique<TECUparam>(1);
    battery->ParseLine("TYPE=W");
    battery->SetCmdWord(0x558D);
    TECUparam& param = *battery;
    screen.Add(std::move(battery));
    Link.ParamList = &screen;
    NewLogBytes();
    const uint32_t due = Clock().TickCount() + 200;
    const uint8_t value = Link.RequestTimed(0x55, 0x8D, due, due);
    EXPECT_GE(Clock().TickCount(), due);
    EXPECT_EQ(value, uint8_t(param.RawWord.load() & 0xFF));
    EXPECT_NE(TraceText().find("958D"), std::string::npos) << "one table read, not a pair";
    EXPECT_EQ(TraceText().find("HFMDATA558D"), std::string::npos);
}

TEST_F(ElmLinkTest, PairModeReadsByteByByte) {
    ASSERT_TRUE(OpenElm("hfm", false));
    ASSERT_TRUE(Link.WakeUp());
    NewLogBytes();
    TECUparam param(1);
    param.ParseLine("TYPE=W");
    param.SetCmdWord(0x558D);
    Link.ReadParameter(param);
    const std::string bytes = NewLogBytes();
    EXPECT_NE(TraceText().find("HFMDATA558D"), std::string::npos);
    EXPECT_NE(TraceText().find("HFMDATA558E"), std::string::npos);
    // Exactly the two pairs a cable would have logged.
    ASSERT_EQ(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 3), std::string("\x55\xAA\x8D", 3));
    EXPECT_EQ(bytes.substr(4, 3), std::string("\x55\xAA\x8E", 3));
}

TEST_F(ElmLinkTest, ReplyForNothingGoesAgainThenEndsTheExchange) {
    ASSERT_TRUE(OpenElm("hfm", true));
    ASSERT_TRUE(Link.WakeUp());
    Host.Clear();
    try {
        Link.Request(0x77, 0x01); // a command the unit does not know: the adapter has no data
        FAIL();
    } catch (const LinkException& error) {
        EXPECT_STREQ(error.what(), "Ошибка обмена с ELM327");
    }
    // Tried three times, as a cable tries a pair whose answer was lost.
    EXPECT_EQ(CountLines(Host.Logs(), "Ошибка ответа ELM327:"), 3) << Host.LogText();
    EXPECT_EQ(Link.Noise.DroppedPairs, 3u);
}

} // namespace
} // namespace velmora
