// The worker against the simulated units in virtual time, stepped on the test's thread: a whole session
// with its posted messages, a lost link, view polling, deferred background reads, the fault view and
// erase, the range read, the client check and the settings clamps.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "actuators/actuator_tests.h"
#include "actuators/adaptation.h"
#include "adapters/elm_command.h"
#include "connection/client_check.h"
#include "connection/com_reader.h"
#include "engine_link/link_shared.h"
#include "faults/fault_display.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/list_prm.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "sim/sim_car.h"
#include "sim/sim_port.h"
#include "sim/sim_unit.h"
#include "temp_folder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::TPosted;

// A view that only names its parameter: what the worker polls is the point here, not the drawing.
class TPlainView : public TBaseParam {
public:
    using TBaseParam::TBaseParam;
    void UpdateView() override {}
};

// The recorder, plus a hook that acts once on a posted message: the window's request made while the
// worker is inside a long step.
class THookedHost : public testing::THostRecorder {
public:
    void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
        THostRecorder::PostMessage(msg, wParam, lParam);
        if (OnPost && msg == WM_USER + HookMsg && wParam == HookWParam)
            std::exchange(OnPost, nullptr)();
    }
    // Runs `action` when WM_USER + n with `wParam` is posted next.
    void OnNextPost(uint32_t n, intptr_t wParam, std::function<void()> action) {
        HookMsg = n;
        HookWParam = wParam;
        OnPost = std::move(action);
    }

private:
    uint32_t HookMsg = 0;
    intptr_t HookWParam = 0;
    std::function<void()> OnPost;
};

class ComReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override {
        Reader.reset();
        FreePort();
    }

    std::string Profile(const std::string& name, const std::string& text) {
        return "SIM:" + Folder.WriteFile(name + ".ini", text).string();
    }
    // Runs the connect state; true when the worker polls afterwards.
    bool Connect(const std::string& port, char adapter = 'K', const std::string& client = {}) {
        Reader->PrepareConnect({port, adapter, false, false, client});
        return Reader->Step() && Reader->State() == ReaderState::Polling;
    }
    // Steps until `done` holds (true), the connection ends or `ms` of virtual time pass (false).
    bool StepUntil(const std::function<bool()>& done, uint32_t ms) {
        const uint32_t start = Clock().TickCount();
        while (TicksSince(start, Clock().TickCount()) < ms) {
            if (!Reader->Step())
                return done();
            if (done())
                return true;
        }
        return false;
    }
    void StepFor(uint32_t ms) {
        StepUntil([] { return false; }, ms);
    }
    bool WasPosted(uint32_t n, intptr_t wParam, intptr_t lParam = 0) const {
        return CountPosted(n, wParam, lParam) > 0;
    }
    int CountPosted(uint32_t n, intptr_t wParam, intptr_t lParam = 0) const {
        const auto posted = Host.Posted();
        return int(std::count(posted.begin(), posted.end(), TPosted{WM_USER + n, wParam, lParam}));
    }
    // The posted messages without the answer ticks and the engine-mode label.
    std::vector<TPosted> Milestones() const {
        std::vector<TPosted> out;
        for (const TPosted& p : Host.Posted())
            if (p.Msg != WM_USER + 4 && !(p.Msg == WM_USER + 14 && (p.WParam == 4 || p.WParam == -4)))
                out.push_back(p);
        return out;
    }
    bool Logged(std::string_view text) const { return Host.LogText().find(text) != std::string::npos; }
    // Fault-memory requests in the exchange log so far: the echo of 0xF1 followed by its complement.
    int FaultRequestsLogged() {
        const std::string bytes = Folder.ReadFile(fs::path("LOGS") / Reader->LogName());
        int count = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i)
            count += uint8_t(bytes[i]) == 0xF1 && uint8_t(bytes[i + 1]) == 0x0E;
        return count;
    }
    std::vector<std::string> FaultLines(bool storedOnly = false) const {
        return FaultDisplayLines(Reader->FaultBuffer(), Reader->FaultContext(), TFaultTexts{}, storedOnly);
    }
    std::shared_ptr<TListPrm> ViewOf(const std::vector<int>& numbers, bool everyCycle) {
        auto list = std::make_shared<TListPrm>();
        const auto params = Reader->Params();
        for (int number : numbers) {
            TECUparam* param = params->FindByNumber(number);
            EXPECT_NE(param, nullptr) << number;
            std::unique_ptr<TBaseParam> view;
            if (everyCycle) {
                auto visual = std::make_unique<TVisualParam>(*param);
                visual->PollEveryCycle = true;
                view = std::move(visual);
            } else {
                view = std::make_unique<TPlainView>(*param);
            }
            view->ParamNo = uint8_t(number);
            list->Add(std::move(view));
        }
        return list;
    }
    std::vector<int> ViewUpdates() const {
        std::vector<int> numbers;
        for (const TPosted& p : Host.Posted())
            if (p.Msg == WM_USER + 8)
                numbers.push_back(int(p.WParam));
        return numbers;
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    THookedHost Host;
    testing::TTempFolder Folder;
    std::unique_ptr<TComReader> Reader = std::make_unique<TComReader>();
};

TEST_F(ComReaderTest, WholeSessionConnectsPollsAndStops) {
    ASSERT_TRUE(Connect("SIM:hfm")) << Host.LogText();
    EXPECT_TRUE(Reader->IsAlive());
    EXPECT_TRUE(Reader->ParamsAvailable());
    EXPECT_EQ(Reader->Ident().DiagIndex, 52);
    EXPECT_TRUE(Logged(" Доступно: параметры работы блока"));

    // Stalest first: within a few seconds every record of the set has been read at least once.
    StepFor(20000);
    const auto params = Reader->Params();
    ASSERT_GT(params->Count(), 10u);
    for (const auto& param : *params)
        EXPECT_NE(param->LastTick.load(), 0u) << param->DescriptionLabel();
    // The background read of state 5 fills the fault memory without asking the window to redraw.
    EXPECT_FALSE(WasPosted(10, 0));
    EXPECT_NE(Reader->FaultBuffer()[1], 0);

    ASSERT_TRUE(Reader->RequestStop());
    EXPECT_FALSE(Reader->Step());
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.");
    EXPECT_FALSE(Logged("StopOnError"));
    EXPECT_FALSE(Reader->IsAlive());
    EXPECT_EQ(Port(), nullptr);
    const std::vector<TPosted> expected = {
        {WM_USER + 1, 0, 0}, {WM_USER + 14, 8, 0},  {WM_USER + 17, 240, 0},  {WM_USER + 16, 0, 0},
        {WM_USER + 2, 0, 0}, {WM_USER + 14, -8, 0}, {WM_USER + 17, 0x80, 0}, {WM_USER + 3, 0, 0},
    };
    EXPECT_EQ(Milestones(), expected);
    const std::vector<TPosted> posted = Host.Posted();
    EXPECT_TRUE(std::any_of(posted.begin(), posted.end(), [](const TPosted& p) {
        return p.Msg == WM_USER + 4;
    })) << "no answer ticks at all";
    EXPECT_EQ(Reader->LogName(), "B52001.bin");
    EXPECT_GT(fs::file_size(Folder.Path() / "LOGS" / "B52001.bin"), 1000u);

    // The worker is reused: the next connection starts over with a fresh log.
    ASSERT_TRUE(Connect("SIM:hfm"));
    EXPECT_EQ(Reader->LogName(), "B52002.bin");
}

TEST_F(ComReaderTest, EngineModeObserverIsFedFromTheValueHandler) {
    ASSERT_TRUE(Connect("SIM:hfm-drive"));
    // Two minutes of the drive cycle take in an overrun: the label shows mode 98 and clears it again.
    StepFor(120000);
    EXPECT_TRUE(WasPosted(14, 4, 98)) << Host.LogText();
    EXPECT_TRUE(WasPosted(14, -4, 98));
}

TEST_F(ComReaderTest, SilentUnitEndsTheConnectionAndKeepsTheLog) {
    ASSERT_TRUE(Connect(Profile("silent", "[Unit]\nBase=hfm\n[LineFaults]\nSilentAfterRequests=150\n")));
    EXPECT_FALSE(StepUntil([] { return false; }, 60000)) << "the connection never ended";
    EXPECT_FALSE(Reader->IsAlive());
    const std::string stop = Reader->StopText();
    EXPECT_TRUE(stop.starts_with("Связь прервана!!! Время простоя ")) << stop;
    EXPECT_NE(stop.find(", StopOnError: 0x0C00 Попытки восстановить связь истекли!"), std::string::npos)
        << stop;
    EXPECT_TRUE(Logged(stop));
    EXPECT_EQ(Port(), nullptr);
    EXPECT_EQ(Milestones().back(), (TPosted{WM_USER + 3, 0, 0}));
    // Everything up to the silence is on disk under the unit's name.
    EXPECT_GT(fs::file_size(Folder.Path() / "LOGS" / "B52001.bin"), 500u);
}

TEST_F(ComReaderTest, EveryStopOnErrorNamesItsReasonInWords) {
    const std::string asleep = Profile("asleep", "[Unit]\nBase=hfm\nBreakMinMs=300\n");
    const std::string wrongComplement =
        Profile("wrong", "[Unit]\nBase=hfm\n[LineFaults]\nWrongComplementEvery=1\n");
    const std::string noSpecialMode = Profile("nomode", "[Unit]\nBase=hfm\nSpecialMode=0\n");
    fs::create_directories(Folder.Path() / "CLIENTS" / "Sidorov");
    Folder.WriteFile(fs::path("CLIENTS") / "Sidorov" / ClientCheckFileName, "27 42 00\r\n");
    struct TCase {
        const char* Name;
        std::string Port;
        char Adapter;
        std::string Client;
        uint8_t AdaptMode;
        std::string Reason; // what follows ", StopOnError: " (its start)
    };
    const TCase cases[] = {
        {"no port",
         "SIM:/nonexistent/unit.ini",
         'K',
         {},
         AdaptNone,
         "Не могу открыть порт SIM:/nonexistent/unit.ini"},
        {"unit asleep", asleep, 'K', {}, AdaptNone, "ОШИБКА! ECU не отвечает!"},
        // The ELM327 chosen for a plain cable: no adapter answers its commands.
        {"no ELM327 on the port", "SIM:hfm", 'E', {}, AdaptNone, "Ошибка обмена с ELM327"},
        {"unit behind the ELM327 asleep",
         "SIMELM:" + asleep.substr(4),
         'E',
         {},
         AdaptNone,
         ElmConnectFailure},
        {"link failure", wrongComplement, 'K', {}, AdaptNone, "0x0C00 Попытки восстановить связь истекли!"},
        {"client of another car", "SIM:hfm", 'K', "Sidorov", AdaptNone,
         "ОШИБКА выбора клиента! Повторите выбор клиента или создайте нового!"},
        {"adaptation refused", noSpecialMode, 'K', {}, AdaptResetPhase1, SpecialModeRefusedReason},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Reader = std::make_unique<TComReader>();
        FreePort();
        Host.Clear();
        Reader->Actuators.AdaptMode = c.AdaptMode;
        Reader->PrepareConnect({c.Port, c.Adapter, false, false, c.Client});
        if (Reader->Step())
            StepFor(60000); // until the connection ends
        const std::string stop = Reader->StopText();
        EXPECT_TRUE(stop.starts_with("Связь прервана!!! Время простоя ")) << stop;
        EXPECT_NE(stop.find(", StopOnError: " + c.Reason), std::string::npos) << stop;
        EXPECT_TRUE(Logged(stop)) << Host.LogText();
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST(LinkFailureReason, MarkAndTextInWords) {
    SetProgressMark(MarkReadAnswer);
    EXPECT_EQ(FailureReason(LinkException("Попытки восстановить связь истекли!")),
              "0x0C00 Попытки восстановить связь истекли!");
    EXPECT_EQ(FailureReason(LinkException("")), "0x0C00 ошибка без описания");
}

TEST_F(ComReaderTest, UnitsWithoutPollingStopAfterTheIdentification) {
    // An EZ ignition unit has nothing to poll: its identification is all there is.
    EXPECT_FALSE(Connect("SIM:ez"));
    EXPECT_TRUE(Logged(
        "Блок зажигания EZ прочитан: данные выше. Других функций у этого блока нет, связь завершена."));
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.");
    EXPECT_FALSE(WasPosted(2, 0));
    EXPECT_EQ(Port(), nullptr);
}

TEST_F(ComReaderTest, AliveUntilTheConnectionLostTime) {
    struct TCase {
        const char* Port;
        char Adapter;
        int LostSetting;
        uint32_t AliveUpTo; // ms of silence still alive
    };
    const TCase cases[] = {
        {"SIM:hfm", 'K', 1500, 1500},
        {"SIM:hfm", 'K', 2000, 1200},   // outside 700-1500: the default
        {"SIMELM:hfm", 'E', 800, 3000}, // an ELM327 has its own 3000 ms
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Port);
        Reader = std::make_unique<TComReader>();
        Reader->SetConnectLostTime(c.LostSetting);
        ASSERT_TRUE(Connect(c.Port, c.Adapter)) << Host.LogText();
        // The first polling step reads a record: its last answer is now.
        ASSERT_TRUE(Reader->Step());
        ManualClock.Advance(c.AliveUpTo);
        EXPECT_TRUE(Reader->IsAlive());
        ManualClock.Advance(1);
        EXPECT_FALSE(Reader->IsAlive());
        // Requests are ignored now.
        EXPECT_FALSE(Reader->RequestFaultView());
        Reader.reset();
        FreePort();
    }
}

TEST_F(ComReaderTest, PriorityParameterIsReadBeforeAnythingElse) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    StepFor(3000);
    const auto params = Reader->Params();
    const size_t index = params->Count() - 1;
    const uint32_t before = (*params)[index].LastTick;
    ManualClock.Advance(10);
    Reader->PriorityParam = uint16_t(index);
    ASSERT_TRUE(Reader->Step());
    EXPECT_GT((*params)[index].LastTick.load(), before);
    EXPECT_EQ(Reader->PriorityParam.load(), TComReader::NoPriority);
}

TEST_F(ComReaderTest, UserStopOnAnElmClosesItsProtocol) {
    ASSERT_TRUE(Connect("SIMELM:hfm", 'E')) << Host.LogText();
    StepFor(2000);
    ASSERT_TRUE(Reader->RequestStop());
    EXPECT_FALSE(Reader->Step());
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.");
    EXPECT_FALSE(Logged("ELM327 ошибка выполнения ATPC!"));
    const std::string trace =
        Folder.ReadFile(fs::path(Reader->LogTracePath()).lexically_relative(Folder.Path()));
    EXPECT_NE(trace.find("ATPC"), std::string::npos);
}

// The exchange log of an ELM327 connection holds the bytes a cable connection logs for the same pairs,
// under the unit's name from the first pair on; the adapter's text lines go to the trace beside it.
TEST_F(ComReaderTest, ElmLogHoldsTheBytesACableLogsForTheSamePairs) {
    struct TCase {
        const char* Unit;
        const char* LogName;
        size_t FixedBytes; // the identification block's pairs; live values follow
        bool SamePairs;    // the connection ends after the identification: the same pairs on both
    };
    // The EZ unit (whose command 0 a cable sends, and whose command 0xFF it leaves out) ends its
    // connection after the identification; the HFM unit is stopped at once.
    const TCase cases[] = {{"ez", "EZ", 300, true}, {"hfm", "B52", 160, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Unit);
        std::string logs[2];
        for (int elm = 0; elm < 2; ++elm) {
            Reader = std::make_unique<TComReader>();
            FreePort();
            Reader->PrepareConnect(
                {std::string(elm ? "SIMELM:" : "SIM:") + c.Unit, elm ? 'E' : 'K', elm == 1, false, {}});
            if (Reader->Step() && Reader->RequestStop())
                Reader->Step();
            ASSERT_TRUE(Reader->LogName().starts_with(c.LogName)) << Reader->LogName() << Host.LogText();
            logs[elm] = Folder.ReadFile(fs::path("LOGS") / Reader->LogName());
        }
        EXPECT_FALSE(fs::exists(Folder.Path() / "LOGS" / "tmp001.bin")) << "the identification went there";
        ASSERT_GT(logs[1].size(), c.FixedBytes);
        EXPECT_EQ(logs[1].substr(0, c.FixedBytes), logs[0].substr(0, c.FixedBytes));
        if (c.SamePairs) {
            EXPECT_EQ(logs[1].size(), logs[0].size());
        }
        EXPECT_EQ(logs[1].find("HFMDATA"), std::string::npos);
        const std::string trace =
            Folder.ReadFile(fs::path(Reader->LogTracePath()).lexically_relative(Folder.Path()));
        EXPECT_NE(trace.find("HFMDATA"), std::string::npos);
    }
}

TEST_F(ComReaderTest, ViewPollingFollowsTheHandedOverList) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    const auto params = Reader->Params();
    const int first = (*params)[1].Number, second = (*params)[4].Number;

    // A graph: only its own views, in turn, each reported to the window.
    ASSERT_TRUE(Reader->RequestViewList(ViewOf({first, second}, false), TViewKind::Graph));
    StepFor(3000);
    EXPECT_EQ(Reader->State(), ReaderState::ViewPolling);
    std::vector<int> updates = ViewUpdates();
    ASSERT_GT(updates.size(), 10u);
    for (size_t i = 0; i < updates.size(); ++i)
        EXPECT_EQ(updates[i], i % 2 == 0 ? first : second) << i;

    // A screen: its every-cycle view in every pass, and whatever else of the set is due.
    Host.Clear();
    ASSERT_TRUE(Reader->RequestViewList(ViewOf({second}, true), TViewKind::Screen));
    StepFor(5000);
    updates = ViewUpdates();
    const auto own = std::count(updates.begin(), updates.end(), second);
    EXPECT_GT(own, 5);
    EXPECT_GT(updates.size(), size_t(own)) << "nothing else of the set was read";

    // An empty list, then none at all: normal polling, nothing for the window to redraw.
    for (auto list : {std::make_shared<TListPrm>(), std::shared_ptr<TListPrm>()}) {
        ASSERT_TRUE(Reader->RequestViewList(list, TViewKind::Screen));
        Host.Clear();
        const uint32_t before = (*params)[0].LastTick;
        StepFor(3000);
        EXPECT_TRUE(ViewUpdates().empty());
        EXPECT_NE((*params)[0].LastTick.load(), before);
    }
}

TEST_F(ComReaderTest, GraphDefersBackgroundReadsAndAScreenEndsTheDeferral) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    int backgroundReads = 0;
    Reader->ValueHook = [&](const TECUparam&) { ++backgroundReads; };
    ASSERT_TRUE(StepUntil([&] { return Reader->LastFaultRead() != 0; }, 10000));
    const uint32_t firstFaultRead = Reader->LastFaultRead();

    // A graph holds the fault re-read (due after 120 s) and the 15-s reads off for 300 × 1024 ms.
    const auto params = Reader->Params();
    ASSERT_TRUE(Reader->RequestViewList(ViewOf({(*params)[2].Number}, false), TViewKind::Graph));
    backgroundReads = 0;
    StepFor(150000);
    EXPECT_EQ(Reader->LastFaultRead(), firstFaultRead);
    EXPECT_EQ(backgroundReads, 0);

    // The window ends the deferral of the short timer: a background read follows at once.
    Reader->DeferBackgroundReads(-1, false);
    StepFor(200);
    EXPECT_EQ(backgroundReads, 1);

    // A screen pulls the deferred fault re-read back: due 120 s from now rather than in 157 s.
    ASSERT_TRUE(Reader->RequestViewList(ViewOf({(*params)[2].Number}, true), TViewKind::Screen));
    StepFor(125000);
    EXPECT_NE(Reader->LastFaultRead(), firstFaultRead);
}

TEST_F(ComReaderTest, FaultViewReadsTheMemoryAndAsksForRedisplay) {
    struct TCase {
        const char* Port;
        std::vector<std::string> Heads; // the fault lines begin so, in order
    };
    const TCase cases[] = {
        {"SIM:hfm", {"007,  Сохраненный", "014,  Сохраненный", "014,  АКТУАЛЬНЫЙ"}},
        {"SIM:lh", {"003,  Сохраненный", "009,  Сохраненный"}},
        // The late PMS layout: bit 129 lives at address 48 and has no code of the maker.
        {"SIM:pms-vdo", {"004,  Сохраненный", "129,  Сохраненный,  ? ячейка 129", "129,  АКТУАЛЬНЫЙ"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Port);
        Reader = std::make_unique<TComReader>();
        ASSERT_TRUE(Connect(c.Port)) << Host.LogText();
        Host.Clear();
        ASSERT_TRUE(Reader->RequestFaultView());
        ASSERT_TRUE(StepUntil([&] { return WasPosted(10, 0); }, 10000));
        // The list is cleared first, then shown once the bytes are complete.
        EXPECT_EQ(Milestones().front(), (TPosted{WM_USER + 10, 0xFFFF, 0}));
        const std::vector<std::string> lines = FaultLines();
        ASSERT_EQ(lines.size(), c.Heads.size()) << ::testing::PrintToString(lines);
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].starts_with(c.Heads[i])) << lines[i];
        // Every 20 s the view reads the memory again.
        StepFor(25000);
        EXPECT_EQ(CountPosted(10, 0), 2);
        EXPECT_EQ(Reader->State(), ReaderState::FaultView);
        Reader.reset();
        FreePort();
    }
}

// The start (about a second after the wake-up) and the erase run inside one worker step each: what the
// window asks meanwhile must not be lost when they end.
TEST_F(ComReaderTest, RequestsMadeDuringTheStartAndTheEraseAreHonouredAfterThem) {
    struct TCase {
        const char* What;
        uint32_t HookMsg; // the request is made when the worker posts WM_USER + HookMsg with HookWParam
        intptr_t HookWParam;
        bool Erase; // made during an erase rather than during the start
        std::function<void(TComReader&)> Request;
        uint8_t Then; // the state of the step after the long one (Terminate: the connection ended)
    };
    auto graph = [this](TComReader& reader) { reader.RequestViewList(ViewOf({1}, false), TViewKind::Graph); };
    const TCase cases[] = {
        {"stop while identifying", 1, 0, false, [](TComReader& r) { r.RequestStop(); },
         ReaderState::Terminate},
        {"stop in the start", 14, 8, false, [](TComReader& r) { r.RequestStop(); }, ReaderState::Terminate},
        {"fault view in the start", 14, 8, false, [](TComReader& r) { r.RequestFaultView(); },
         ReaderState::FaultView},
        {"stop in the erase", 10, 0xFFFF, true, [](TComReader& r) { r.RequestStop(); },
         ReaderState::Terminate},
        {"graph in the erase", 10, 0xFFFF, true, graph, ReaderState::ViewPolling},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Reader = std::make_unique<TComReader>();
        FreePort();
        Host.Clear();
        if (c.Erase) {
            ASSERT_TRUE(Connect("SIM:hfm")) << Host.LogText();
            ASSERT_TRUE(Reader->RequestErase());
        }
        Host.OnNextPost(c.HookMsg, c.HookWParam, [&] { c.Request(*Reader); });
        ASSERT_TRUE(c.Erase ? Reader->Step() : Connect("SIM:hfm")) << Host.LogText();
        const bool running = Reader->Step();
        if (c.Then == ReaderState::Terminate) {
            EXPECT_FALSE(running);
            EXPECT_EQ(Reader->StopText(), "Обмен остановлен.") << Host.LogText();
        } else {
            EXPECT_TRUE(running);
            EXPECT_EQ(Reader->State(), c.Then);
        }
    }
}

TEST_F(ComReaderTest, EraseOfHfmAndPmsUnitsShowsWhatRemains) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    ASSERT_TRUE(Reader->RequestErase());
    ASSERT_TRUE(StepUntil([&] { return WasPosted(10, 0); }, 20000)) << Host.LogText();
    EXPECT_EQ(Reader->State(), ReaderState::FaultView);
    // Fault 7 is gone; fault 14 is still present, so the unit stores it again at once.
    const std::vector<std::string> lines = FaultLines();
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(lines[0].starts_with("014,  Сохраненный"));
    EXPECT_TRUE(lines[1].starts_with("014,  АКТУАЛЬНЫЙ"));
    EXPECT_TRUE(Reader->IsAlive());
}

TEST_F(ComReaderTest, PollingGoesOnAcrossTheWrapOfTheTickCount) {
    // 49.7 days of uptime: the tick count wraps 20 s into the connection.
    TManualClock nearWrap(0xFFFFFFFFu - 20000);
    TScopedClock installed(nearWrap);
    ASSERT_TRUE(Connect("SIM:hfm")) << Host.LogText();
    StepFor(40000);
    EXPECT_TRUE(Reader->IsAlive()) << Host.LogText();
    // Every record due within 10 s that is not held back was read again after the wrap.
    int readAfter = 0, staleBefore = 0;
    for (const auto& param : *Reader->Params()) {
        const uint32_t last = param->LastTick.load();
        readAfter += last != 0 && last < 20000;
        const bool dueOften = param->PollInterval.load() >= 0 && param->PollLevel.load() * 1024 <= 10000;
        staleBefore += dueOften && last > 0x80000000u;
    }
    EXPECT_GT(readAfter, 0) << "nothing was read after the wrap";
    EXPECT_EQ(staleBefore, 0) << "records read before the wrap were not read again";
}

TEST_F(ComReaderTest, EraseSendsItsPairsAsTheUnitExpectsThem) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    ASSERT_TRUE(Reader->RequestErase());
    EXPECT_TRUE(StepUntil([&] { return WasPosted(10, 0); }, 20000)) << Host.LogText();
    auto* port = dynamic_cast<TSimPort*>(Port());
    ASSERT_NE(port, nullptr);
    const TSimUnit& unit = port->Car()->Unit();
    EXPECT_EQ(unit.RefusedRequests(), 0u) << "the unit refused a malformed erase";
    using TPairs = std::vector<std::pair<uint8_t, uint8_t>>;
    const TPairs received(unit.ReceivedPairs().begin(), unit.ReceivedPairs().end());
    const auto erase = std::find(received.begin(), received.end(), std::pair<uint8_t, uint8_t>(0xF3, 0xFF));
    ASSERT_NE(erase, received.end());
    ASSERT_GE(received.end() - erase, 5);
    const TPairs expected = {{0x10, 0x00}, {0xF3, 0xFF}, {0x10, 0x00},
                             {0x10, 0x00}, {0xF3, 0xFF}, {0x10, 0x00}};
    EXPECT_EQ(TPairs(erase - 1, erase + 5), expected);
}

TEST_F(ComReaderTest, EraseOfAnLhUnitEndsTheConnection) {
    ASSERT_TRUE(Connect("SIM:lh"));
    ASSERT_TRUE(Reader->RequestErase());
    EXPECT_FALSE(StepUntil([] { return false; }, 20000));
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.") << Host.LogText();
    // The unit falls asleep before the last pair, as it should: no failure is logged for that silence.
    for (const char* failure :
         {"Большой таймаут обмена", "Нет ответа!", "Попытки восстановить связь истекли!"})
        EXPECT_FALSE(Logged(failure)) << failure << "\n" << Host.LogText();
    // The window asks the user to switch the ignition off before connecting again.
    const std::vector<TPosted> milestones = Milestones();
    const auto done = std::find(milestones.begin(), milestones.end(), TPosted{WM_USER + 17, 1, 0});
    ASSERT_NE(done, milestones.end());
    EXPECT_EQ(*(done + 1), (TPosted{WM_USER + 17, 0x80, 0}));
}

TEST_F(ComReaderTest, EraseOfAnOlderUnitTurnsIntoTheFaultView) {
    // Diagnosis index 35: neither of the generations that take the erase command.
    ASSERT_TRUE(Connect(Profile("hfm35", "[Unit]\nBase=hfm\n[Ident]\n1A=35\n"))) << Host.LogText();
    ASSERT_EQ(Reader->Ident().DiagIndex, 35);
    EXPECT_TRUE(Logged(" Доступно: чтение ошибок (стирание этим блоком не поддерживается)"));
    EXPECT_FALSE(Logged("чтение/стирание"));
    ASSERT_TRUE(Reader->RequestErase());
    ASSERT_TRUE(StepUntil([&] { return WasPosted(10, 0); }, 20000));
    EXPECT_EQ(FaultLines(true).size(), 2u) << "the stored faults were erased";
    EXPECT_TRUE(Logged(CannotEraseText));
    EXPECT_FALSE(CanEraseFaults(UnitHfm, 35));
    EXPECT_TRUE(CanEraseFaults(UnitHfm, 52));
    EXPECT_TRUE(CanEraseFaults(UnitLh, 0));
}

TEST_F(ComReaderTest, RangeReadReturnsTheBytesAndThePreviousState) {
    ASSERT_TRUE(Connect("SIM:hfm"));
    std::array<uint8_t, 256> range{};
    ASSERT_TRUE(Reader->ReadRange(0xF0, 0x02, 0x0B, range, [&] { Reader->Step(); }));
    EXPECT_EQ(std::string(range.begin() + 2, range.begin() + 12), "HF2811B001");
    EXPECT_EQ(range[0], 0);
    EXPECT_EQ(range[0x0C], 0);
    ASSERT_TRUE(Reader->Step());
    EXPECT_EQ(Reader->State(), ReaderState::Polling);

    // Two reads back to back, the second asked before the worker has left the range state: both return
    // their bytes and the worker goes back to polling, its link kept alive.
    for (uint8_t from : {0x02, 0x04}) {
        ASSERT_TRUE(Reader->ReadRange(0xF0, from, 0x0B, range, [&] { Reader->Step(); }));
        EXPECT_EQ(range[from], "HF2811B001"[from - 2]);
    }
    for (int step = 0; step < 50; ++step)
        ASSERT_TRUE(Reader->Step()) << Host.LogText();
    EXPECT_EQ(Reader->State(), ReaderState::Polling);

    // A worker that never takes the request misses the deadline.
    EXPECT_THROW(Reader->ReadRange(0xF0, 0, 1, range), LinkException);
}

TEST_F(ComReaderTest, ClientCheckFileBindsTheClientToItsCar) {
    const fs::path check = Folder.Path() / "CLIENTS" / "Ivanov" / ClientCheckFileName;
    fs::create_directories(check.parent_path());
    // Missing: written from the identification.
    ASSERT_TRUE(Connect("SIM:hfm", 'K', "Ivanov"));
    const std::string line = ClientCheckLine(Reader->Ident());
    EXPECT_TRUE(line.starts_with("27 42 48 46 32 38")) << line; // block bytes 0, 1, then "HF28"
    EXPECT_TRUE(line.ends_with("57 44 42 31 32 34 30 39 32 31 46 31 32 33 00 00")) << line; // the VIN
    EXPECT_EQ(Folder.ReadFile(check.lexically_relative(Folder.Path())), line + "\r\n");
    ASSERT_TRUE(Reader->RequestStop());
    Reader->Step();
    // Equal: the connection goes on.
    ASSERT_TRUE(Connect("SIM:hfm", 'K', "Ivanov"));
    ASSERT_TRUE(Reader->RequestStop());
    Reader->Step();

    // Another car under the same client stops the start-up.
    Folder.WriteFile(check.lexically_relative(Folder.Path()), "27 42 00\r\n");
    Host.Clear();
    EXPECT_FALSE(Connect("SIM:hfm", 'K', "Ivanov"));
    EXPECT_FALSE(Reader->Step());
    EXPECT_TRUE(Logged("ОШИБКА выбора клиента! Повторите выбор клиента или создайте нового!"));
    EXPECT_NE(Reader->StopText().find(", StopOnError: "), std::string::npos);
    // Ended on error a moment after the unit's last answer: not alive, so the window may connect again.
    EXPECT_FALSE(Reader->IsAlive());
    EXPECT_FALSE(Reader->RequestFaultView());
    EXPECT_FALSE(WasPosted(2, 0));
    EXPECT_EQ(Folder.ReadFile(check.lexically_relative(Folder.Path())), "27 42 00\r\n");
}

TEST_F(ComReaderTest, ActuatorFunctionsRunAtConnectionStartAndBetweenPolls) {
    // The test mode is entered at the start; a queued command goes out at the start of the next cycle.
    Reader->PrepareConnect({"SIM:hfm", 'K', false, true, {}});
    ASSERT_TRUE(Reader->Step()) << Host.LogText();
    ASSERT_EQ(Reader->State(), ReaderState::Polling);
    EXPECT_TRUE(WasPosted(11, 0)) << Host.LogText();
    ASSERT_TRUE(QueueAct(Reader->Actuators, 0xD2, 0x02));
    ASSERT_TRUE(Reader->Step());
    EXPECT_TRUE(WasPosted(13, 0xD202));
    EXPECT_EQ(Reader->Actuators.PendingAct.load(), NoAct);
    // Another command byte in the slot (0xF3 would erase the fault memory) is refused, not sent.
    ASSERT_TRUE(QueueAct(Reader->Actuators, 0xF3, 0xFF));
    ASSERT_TRUE(Reader->Step());
    EXPECT_FALSE(WasPosted(13, 0xF3FF));
    EXPECT_TRUE(Logged("Команда F3 не является командой исполнительного устройства (D0-DC)!"));
    EXPECT_EQ(Reader->Actuators.PendingAct.load(), NoAct);
    Reader->RequestStop();
    Reader->Step();
    const std::string bytes = Folder.ReadFile(fs::path("LOGS") / Reader->LogName());
    EXPECT_EQ(bytes.find("\xF3\x0C"), std::string::npos) << "the erase command reached the unit";

    // Phase 1 of the adaptation reset ends the connection and leaves phase 2 for the next one.
    Reader = std::make_unique<TComReader>();
    FreePort();
    Host.Clear();
    Reader->Actuators.AdaptMode = AdaptResetPhase1;
    EXPECT_FALSE(Connect("SIM:hfm"));
    EXPECT_EQ(Reader->Actuators.AdaptMode.load(), AdaptResetPhase2) << Host.LogText();
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.");
    EXPECT_TRUE(WasPosted(2, 0));

    // The Bosch throttle procedure is refused for a VDO unit, before the special mode is entered.
    Reader = std::make_unique<TComReader>();
    FreePort();
    Host.Clear();
    Reader->Actuators.AdaptMode = AdaptThrottleBosch;
    EXPECT_FALSE(Connect("SIM:hfm-vdo"));
    EXPECT_TRUE(Logged(BoschThrottleOnlyText)) << Host.LogText();
    EXPECT_FALSE(Logged("Адаптация дросселя для ЭБУ Bosch: запуск!"));
    EXPECT_EQ(Reader->Actuators.AdaptMode.load(), AdaptNone);

    // A coding run reads no VIN and goes on past a client check that does not match; without an answer
    // to the unit's check word it breaks off, and the connection ends.
    Folder.WriteFile(fs::path("CLIENTS") / "Petrov" / ClientCheckFileName, "00\r\n");
    Reader = std::make_unique<TComReader>();
    FreePort();
    Host.Clear();
    Reader->Actuators.CodingPending = 0x0C0701;
    Reader->Actuators.CodingLoc = 0x10000000;
    EXPECT_FALSE(Connect("SIM:hfm", 'K', "Petrov"));
    EXPECT_EQ(Reader->Ident().VinBuf, (std::array<uint8_t, 16>{}));
    EXPECT_TRUE(Logged("ОШИБКА выбора клиента!"));
    EXPECT_TRUE(Logged("Выполняется кодирование блока! Ждите!"));
    EXPECT_TRUE(Logged("FUNCTION BREAK!!!"));
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.");
    // The failed attempt was that connection's: the next one polls instead of coding again.
    EXPECT_EQ(Reader->Actuators.CodingPending.load(), 0u);
    Host.Clear();
    EXPECT_TRUE(Connect("SIM:hfm")) << Host.LogText();
    EXPECT_FALSE(Logged("Выполняется кодирование блока! Ждите!"));
    ASSERT_TRUE(Reader->RequestStop());
    Reader->Step();

    // An actuator command queued while no connection ran is not sent to the next unit.
    ASSERT_TRUE(QueueAct(Reader->Actuators, 0xD2, 0x01));
    Host.Clear();
    ASSERT_TRUE(Connect("SIM:hfm"));
    StepFor(1000);
    EXPECT_FALSE(WasPosted(13, 0xD201));
    EXPECT_EQ(Reader->Actuators.PendingAct.load(), NoAct);
}

// Stop after an actuator command changed an output: the worker sends every output its standard value
// before the link ends (the unit's own time-out is no plan), and says so.
TEST_F(ComReaderTest, StopReturnsTheOutputsAnActuatorCommandChanged) {
    Reader->PrepareConnect({"SIM:hfm", 'K', false, true, {}});
    ASSERT_TRUE(Reader->Step()) << Host.LogText();
    ASSERT_TRUE(QueueAct(Reader->Actuators, 0xD2, 0x04)); // injector 2 off
    ASSERT_TRUE(Reader->Step());
    ASSERT_TRUE(WasPosted(13, 0xD204));
    Host.Clear();
    ASSERT_TRUE(Reader->RequestStop());
    Reader->Step();
    EXPECT_TRUE(WasPosted(13, 0xD200)) << "the unit took injector 2 back: " << Host.LogText();
    EXPECT_TRUE(Logged("Исполнительные устройства возвращены в штатное состояние."));
    EXPECT_FALSE(Reader->Actuators.OutputsChanged.load());
    EXPECT_EQ(Reader->StopText(), "Обмен остановлен.");
}

// The simulated car behind an adapter that can be pulled out: every call fails once Gone is set.
std::atomic<bool> AdapterGone{false};
class TPulledSimPort : public TSimPort {
public:
    TPulledSimPort() : TSimPort("SIM:hfm") {}
    int InQueue() override { return Check().TSimPort::InQueue(); }
    bool ReadByte(uint8_t& value) override { return Check().TSimPort::ReadByte(value); }
    int ReadBuf(TPortBuffer& buffer) override { return Check().TSimPort::ReadBuf(buffer); }
    int ReadBufEx(TPortBuffer& buffer, int count) override {
        return Check().TSimPort::ReadBufEx(buffer, count);
    }
    bool WriteBuf(TPortBuffer buffer) override { return Check().TSimPort::WriteBuf(buffer); }
    bool WriteByte(uint8_t value) override { return Check().TSimPort::WriteByte(value); }
    bool WritePortEx(const uint8_t* data, int length) override {
        return Check().TSimPort::WritePortEx(data, length);
    }

private:
    TPulledSimPort& Check() {
        if (AdapterGone)
            throw PortException("Порт PULLED: адаптер отключен");
        return *this;
    }
};

// A link lost while an output is changed: the worker tries to return it and, failing, tells the user
// what to do instead of leaving it to the unit's own time-out.
TEST_F(ComReaderTest, ALostLinkWithAnOutputChangedTellsTheUserToSwitchTheIgnitionOff) {
    RegisterPortKind("PULLED", 81, "adapter that can be pulled out",
                     [](std::string_view) { return std::make_unique<TPulledSimPort>(); });
    AdapterGone = false;
    Reader->PrepareConnect({"PULLED", 'K', false, true, {}});
    ASSERT_TRUE(Reader->Step()) << Host.LogText();
    ASSERT_TRUE(QueueAct(Reader->Actuators, 0xD2, 0x04));
    ASSERT_TRUE(Reader->Step());
    ASSERT_TRUE(WasPosted(13, 0xD204));
    AdapterGone = true;
    Host.Clear();
    StepFor(5000);
    EXPECT_TRUE(
        Logged("Не удалось вернуть исполнительные устройства в штатное состояние: выключите зажигание."))
        << Host.LogText();
    EXPECT_FALSE(Reader->Actuators.OutputsChanged.load());
    AdapterGone = false;
}

TEST(ComReaderSettings, ClampsAndIdleCommand) {
    struct TIdle {
        int Setting;
        int Lost;
        uint32_t Idle;
    };
    const TIdle idle[] = {
        {50, 1200, 700},  // outside 100-900: 1000, then at most lost - 500
        {300, 1200, 500}, // at least 500
        {650, 1200, 650}, {900, 1500, 900}, {900, 1000, 500},
    };
    for (const TIdle& c : idle)
        EXPECT_EQ(IdleTimeFrom(c.Setting, uint32_t(c.Lost)), c.Idle) << c.Setting << " " << c.Lost;
    EXPECT_EQ(ConnectLostTimeFrom(2000), 1200u);
    EXPECT_EQ(ConnectLostTimeFrom(699), 1200u);
    EXPECT_EQ(ConnectLostTimeFrom(700), 700u);
    EXPECT_EQ(ConnectLostTimeFrom(1500), 1500u);

    // The idle time follows a later change of the lost time.
    TComReader reader;
    EXPECT_EQ(reader.IdleTime(), 500u);
    reader.SetIdleTime(900);
    EXPECT_EQ(reader.IdleTime(), 700u);
    reader.SetConnectLostTime(800);
    EXPECT_EQ(reader.IdleTime(), 300u); // at least 500 first, then at most lost - 500

    const std::pair<std::string, std::pair<uint8_t, uint8_t>> commands[] = {
        {"16 0", {16, 0}},
        {" 85   7 ", {85, 7}},
        {"48", {48, 0}},
        {"16 x", {16, 0}},
        {"300 1", {16, 0}},
        {"", {16, 0}},
        {"16 0000000007 junk", {16, 7}}, // the parameter text is cut to 10 characters
    };
    for (const auto& [text, pair] : commands)
        EXPECT_EQ(IdleCmdFrom(text), pair) << text;
}

// The worker on its own thread, real clock: the window thread's requests, the view-list hand-over, the
// suspension between connections and the end of the program while a connection runs. Run under
// ThreadSanitizer too.
TEST(ComReaderThread, WindowAndWorkerShareOnlyTheirRequestFields) {
    RegisterSimPorts();
    testing::THostRecorder host;
    testing::TTempFolder folder;
    auto posted = [&](uint32_t n) {
        for (int i = 0; i < 500; ++i) {
            const auto messages = host.Posted();
            if (std::any_of(messages.begin(), messages.end(),
                            [&](const TPosted& p) { return p.Msg == WM_USER + n; }))
                return true;
            Clock().Sleep(10);
        }
        return false;
    };
    TConnectSettings hfm;
    hfm.PortName = "SIM:hfm";
    TComReader reader;
    ASSERT_TRUE(reader.Connect(hfm));
    ASSERT_TRUE(reader.WaitReady()) << host.LogText();
    EXPECT_TRUE(reader.IsAlive());

    auto list = std::make_shared<TListPrm>();
    list->Add(std::make_unique<TPlainView>((*reader.Params())[1]));
    ASSERT_TRUE(reader.RequestViewList(list, TViewKind::Graph));
    list.reset(); // the worker keeps what it polls
    EXPECT_TRUE(posted(8));
    reader.DeferBackgroundReads(-1, false);
    EXPECT_EQ(reader.FaultContext().UnitType, UnitHfm);
    EXPECT_EQ(reader.Ident().DiagIndex, 52);

    ASSERT_TRUE(reader.RequestStop());
    ASSERT_TRUE(posted(3));
    EXPECT_EQ(reader.StopText(), "Обмен остановлен.");
    EXPECT_FALSE(reader.IsAlive());

    // Suspended, the worker takes the next connection; the end of the program frees its port.
    host.Clear();
    ASSERT_TRUE(reader.Connect(hfm));
    ASSERT_TRUE(reader.WaitReady()) << host.LogText();
    EXPECT_FALSE(reader.Connect(hfm)) << "a second connect while one is alive";
    reader.Terminate();
    EXPECT_EQ(Port(), nullptr);
    EXPECT_EQ(reader.State(), ReaderState::Terminate);
}

// The whole session on the worker's own thread with the real clock: connect, values of a graph's view,
// the fault view, the erase, the stop, then a second connection on the same worker. About 7 s of real time.
TEST(ComReaderThread, FaultViewAndEraseOnTheWorkerThreadThenASecondConnection) {
    RegisterSimPorts();
    testing::THostRecorder host;
    testing::TTempFolder folder;
    auto countOf = [&](uint32_t n, intptr_t wParam) {
        const auto messages = host.Posted();
        return std::count_if(messages.begin(), messages.end(),
                             [&](const TPosted& p) { return p.Msg == WM_USER + n && p.WParam == wParam; });
    };
    // Waits (at most 10 s) until `count` messages n with wParam have been posted in all.
    auto waitFor = [&](uint32_t n, intptr_t wParam, long count) {
        for (int i = 0; i < 1000 && countOf(n, wParam) < count; ++i)
            Clock().Sleep(10);
        return countOf(n, wParam) >= count;
    };
    TConnectSettings hfm;
    hfm.PortName = "SIM:hfm";
    TComReader reader;
    auto lines = [&] {
        return FaultDisplayLines(reader.FaultBuffer(), reader.FaultContext(), TFaultTexts{}, false);
    };
    ASSERT_TRUE(reader.Connect(hfm));
    ASSERT_TRUE(reader.WaitReady()) << host.LogText();

    const auto params = reader.Params(); // the view refers to a record of this set
    TECUparam& watched = (*params)[1];
    auto view = std::make_unique<TPlainView>(watched);
    view->ParamNo = uint8_t(watched.Number);
    auto list = std::make_shared<TListPrm>();
    list->Add(std::move(view));
    ASSERT_TRUE(reader.RequestViewList(list, TViewKind::Graph));
    ASSERT_TRUE(waitFor(8, watched.Number, 3)) << host.LogText();

    // The unit stores faults 7 and 14; 14 is also current.
    ASSERT_TRUE(reader.RequestFaultView());
    ASSERT_TRUE(waitFor(10, 0, 1)) << host.LogText();
    EXPECT_EQ(reader.State(), ReaderState::FaultView);
    std::vector<std::string> shown = lines();
    ASSERT_EQ(shown.size(), 3u) << ::testing::PrintToString(shown);
    EXPECT_TRUE(shown[0].starts_with("007,  Сохраненный")) << shown[0];

    // After the erase the re-read finds fault 7 gone; 14, still current, is stored again at once.
    ASSERT_TRUE(reader.RequestErase());
    ASSERT_TRUE(waitFor(10, 0, 2)) << host.LogText();
    shown = lines();
    ASSERT_EQ(shown.size(), 2u) << ::testing::PrintToString(shown);
    EXPECT_TRUE(shown[0].starts_with("014,  Сохраненный")) << shown[0];
    EXPECT_TRUE(shown[1].starts_with("014,  АКТУАЛЬНЫЙ")) << shown[1];
    EXPECT_TRUE(reader.IsAlive());

    ASSERT_TRUE(reader.RequestStop());
    ASSERT_TRUE(waitFor(3, 0, 1));
    EXPECT_EQ(reader.StopText(), "Обмен остановлен.");

    // The order of what the window acts on. The values (+8) come after "ready" and stop before the fault
    // view clears the list; the fault view clears and shows once; the erase clears, its re-read clears
    // again and shows.
    std::vector<TPosted> milestones;
    constexpr size_t None = SIZE_MAX;
    size_t valuesAt = None, lastValueAt = None; // milestones before the first and the last value
    for (const TPosted& p : host.Posted()) {
        if (p.Msg == WM_USER + 8) {
            valuesAt = valuesAt == None ? milestones.size() : valuesAt;
            lastValueAt = milestones.size();
        } else if (p.Msg == WM_USER + 1 || p.Msg == WM_USER + 2 || p.Msg == WM_USER + 3 ||
                   p.Msg == WM_USER + 10) {
            milestones.push_back(p);
        }
    }
    const std::vector<TPosted> expected = {
        {WM_USER + 1, 0, 0},       {WM_USER + 2, 0, 0},       {WM_USER + 10, 0xFFFF, 0}, {WM_USER + 10, 0, 0},
        {WM_USER + 10, 0xFFFF, 0}, {WM_USER + 10, 0xFFFF, 0}, {WM_USER + 10, 0, 0},      {WM_USER + 3, 0, 0},
    };
    EXPECT_EQ(milestones, expected);
    EXPECT_EQ(valuesAt, 2u) << "values before the connection was ready";
    EXPECT_EQ(lastValueAt, 2u) << "values after the fault view began";

    // The same worker takes the next connection, with a log of its own.
    host.Clear();
    ASSERT_TRUE(reader.Connect(hfm));
    ASSERT_TRUE(reader.WaitReady()) << host.LogText();
    EXPECT_EQ(countOf(1, 0), 1);
    EXPECT_EQ(countOf(2, 0), 1);
    EXPECT_EQ(reader.LogName(), "B52002.bin");
    reader.Terminate();
    EXPECT_EQ(Port(), nullptr);
    EXPECT_GT(fs::file_size(folder.Path() / "LOGS" / "B52001.bin"), 500u);
}

// On an ELM327 the worker spends most of its time inside an adapter command, which the stop flag cuts
// short: that is still the user's stop, closed with ATPC, never "link lost".
TEST(ComReaderThread, UserStopDuringAnElmCommandIsTheUsersStop) {
    RegisterSimPorts();
    testing::THostRecorder host;
    testing::TTempFolder folder;
    TConnectSettings elm;
    elm.PortName = "SIMELM:hfm";
    elm.Adapter = 'E';
    TComReader reader;
    ASSERT_TRUE(reader.Connect(elm));
    ASSERT_TRUE(reader.WaitReady()) << host.LogText();
    for (int stop = 0; stop < 3 && reader.IsAlive(); ++stop) {
        Clock().Sleep(150);
        reader.RequestStop();
        for (int i = 0; i < 300 && reader.StopText().empty(); ++i)
            Clock().Sleep(10);
    }
    EXPECT_EQ(reader.StopText(), "Обмен остановлен.") << host.LogText();
    EXPECT_EQ(host.LogText().find("StopOnError"), std::string::npos) << host.LogText();
    EXPECT_NE(folder.ReadFile(std::filesystem::path(reader.LogTracePath()).lexically_relative(folder.Path()))
                  .find("ATPC"),
              std::string::npos);
    reader.Terminate();
}

TEST(ComReaderThread, StopEndsAWakeUpInProgress) {
    RegisterSimPorts();
    testing::THostRecorder host;
    testing::TTempFolder folder;
    TConnectSettings asleep;
    asleep.PortName = "SIM:" + folder.WriteFile("asleep.ini", "[Unit]\nBase=hfm\nBreakMinMs=300\n").string();
    TComReader reader;
    ASSERT_TRUE(reader.Connect(asleep));
    // The first wake-up byte is out (its time after the break is logged, about 390 ms): the stop ends
    // the slow exchange there.
    auto logged = [&](std::string_view line) {
        const auto logs = host.Logs();
        return std::find(logs.begin(), logs.end(), line) != logs.end();
    };
    auto firstByteSent = [&] {
        const auto logs = host.Logs();
        return std::any_of(logs.begin(), logs.end(), [](const std::string& line) {
            return !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
        });
    };
    for (int i = 0; i < 500 && !firstByteSent(); ++i)
        Clock().Sleep(5);
    ASSERT_TRUE(firstByteSent()) << host.LogText();
    // A second Connect (a double click) is turned away at once instead of waiting out the wake-up.
    EXPECT_FALSE(reader.Connect(asleep));
    EXPECT_FALSE(reader.RequestStop()) << "not alive yet: no state is requested";
    for (int i = 0; i < 500 && reader.StopText().empty(); ++i)
        Clock().Sleep(5);
    EXPECT_EQ(reader.StopText(), "Обмен остановлен.") << host.LogText();
    EXPECT_FALSE(logged("Передача: 0")) << "the exchange went on after the stop";
}

} // namespace
} // namespace velmora
