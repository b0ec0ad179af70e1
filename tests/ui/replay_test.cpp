// A recording shown in the window as a session: the screens and the fault tab at positions of the replay,
// the graph on the recording's clock at any speed, the top bar's notice, the refused unit commands, the
// way back to the live state, and a second recording laid dashed over the graph.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include "fake_connection.h"
#include "params/unit_codes.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/common/widget_colors.h"
#include "ui/graphs/graph_tab.h"
#include "ui/screens/screen_page.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/replay_bar.h"
#include "ui/window/replay_connection.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

// The window's host, with every box answered OK and recorded instead of shown.
class TBoxHost : public TQtHost {
public:
    TBoxHost() { SetHost(this); }
    ~TBoxHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons buttons) override {
        Boxes.emplace_back(text);
        return buttons == TMsgButtons::YesNo ? TMsgResult::Yes : TMsgResult::Ok;
    }
    std::vector<std::string> Boxes;
};

// A recording of an HFM unit with parameters 0, 1 and 2 (raw bytes shown as they are): parameter n reads
// `value(n, ms)` every 100 ms for `seconds`, and two fault reads, at 0 and half way.
std::shared_ptr<TReplayRecording> MakeRecording(const std::string& name, int seconds,
                                                const std::function<uint8_t(int, uint32_t)>& value) {
    auto rec = std::make_shared<TReplayRecording>();
    rec->File = "LOGS/" + name;
    rec->Name = name;
    rec->Date = "10.12.2026 14:03";
    rec->Car = "HFM 1234567890";
    rec->Ident.UnitType = UnitHfm;
    rec->FaultContext.UnitType = UnitHfm;
    rec->Params = std::make_shared<TListParams>();
    testing::FillParams(*rec->Params, {0, 1, 2});
    for (uint32_t ms = 0; ms < uint32_t(seconds) * 1000; ms += 100)
        for (int n = 0; n < 3; ++n)
            rec->Values.push_back({ms + uint32_t(n) * 10, uint8_t(n), {value(n, ms), 0, 0, 0}});
    rec->DurationMs = uint32_t(seconds) * 1000;
    TReplayFaults first, second;
    second.Ms = rec->DurationMs / 2;
    second.Buffer[0] = 0x20; // a stored fault appears half way
    rec->Faults = {first, second};
    return rec;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSimPorts();
        Folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=Основные 0,1,2\n");
        Folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM\n");
        Form = std::make_unique<TMainForm>(Live);
    }

    QString ScreenValue(int row) {
        return Child<QLabel>(Child<QWidget>(Form.get(), ("row" + std::to_string(row)).c_str()), "value")
            ->text();
    }
    // Every value up to the replay's position delivered, taken by the window and shown.
    bool Settled() {
        if (!testing::ProcessUntil([&] { return !Form->Replay()->Delivering(); }))
            return false;
        QCoreApplication::processEvents(); // the last turn's messages
        return testing::ProcessUntil([&] {
            for (const TScreenPage* page : Form->findChildren<TScreenPage*>())
                if (page->RepaintPending())
                    return false;
            const TGraphTab* graph = Form->findChild<TGraphTab*>();
            return !graph || !graph->RedrawPending();
        });
    }

    testing::TTempFolder Folder;
    TBoxHost Host;
    testing::TRecordingConnection Live;
    std::unique_ptr<TMainForm> Form;
};

TEST_F(ReplayTest, ScreensFollowTheSliderAndTheTopBarSaysItIsARecording) {
    // Parameter n reads n * 10 + the second of the recording.
    Form->OpenReplay(
        MakeRecording("B45001.bin", 60, [](int n, uint32_t ms) { return uint8_t(n * 10 + ms / 1000); }));
    auto* pg = Child<QTabWidget>(Form.get(), "pg");
    ASSERT_TRUE(testing::ProcessUntil([&] { return pg->isTabVisible(PageScreens); }));
    pg->setCurrentIndex(PageScreens);
    auto* slider = Child<QSlider>(Form.get(), "sbReplayPosition");
    struct TCase {
        int SliderTenths;
        const char* Clock;
        QStringList Values;
    } cases[] = {
        {125, "00:12 / 01:00", {"12", "22", "32"}},
        {453, "00:45 / 01:00", {"45", "55", "65"}},
        {35, "00:03 / 01:00", {"3", "13", "23"}}, // backwards
    };
    for (const TCase& c : cases) {
        slider->setValue(c.SliderTenths);
        ASSERT_TRUE(Settled());
        EXPECT_EQ((QStringList{ScreenValue(0), ScreenValue(1), ScreenValue(2)}), c.Values) << c.Clock;
        EXPECT_EQ(Child<QLabel>(Form.get(), "labReplayClock")->text(), c.Clock);
    }
    const QString banner = Child<QLabel>(Form.get(), "labRecording")->text();
    EXPECT_TRUE(banner.contains("Запись") && banner.contains("B45001.bin") && banner.contains("10.12.2026") &&
                banner.contains("HFM 1234567890"))
        << banner.toStdString();
    EXPECT_FALSE(banner.contains("время оценено"));
}

TEST_F(ReplayTest, EstimatedTimesAreSaid) {
    auto rec = MakeRecording("B45002.bin", 5, [](int, uint32_t) { return uint8_t(1); });
    rec->TimesEstimated = true;
    Form->OpenReplay(rec);
    EXPECT_TRUE(Child<QLabel>(Form.get(), "labRecording")->text().contains("время оценено"));
    EXPECT_TRUE(Child<QWidget>(Form.get(), "pnlReplay")->isVisibleTo(Form.get()));
}

TEST_F(ReplayTest, FaultTabShowsTheLastReadBeforeThePosition) {
    Form->OpenReplay(MakeRecording("B45003.bin", 20, [](int, uint32_t) { return uint8_t(1); }));
    auto* pg = Child<QTabWidget>(Form.get(), "pg");
    pg->setCurrentIndex(PageError);
    auto* table = Child<QTableWidget>(Form.get(), "lbPostErr");
    Form->Replay()->Seek(5000);
    ASSERT_TRUE(Settled());
    ASSERT_TRUE(testing::ProcessUntil([&] { return !testing::FaultTableLines(table).isEmpty(); }));
    const QStringList before = testing::FaultTableLines(table);
    Form->Replay()->Seek(15000);
    ASSERT_TRUE(Settled());
    ASSERT_TRUE(testing::ProcessUntil([&] { return testing::FaultTableLines(table) != before; }));
    EXPECT_FALSE(testing::FaultTableLines(table).filter("Сохраненный").isEmpty())
        << testing::FaultTableLines(table).join('\n').toStdString();
}

TEST_F(ReplayTest, NoUnitCommandDuringAReplayAndClosingReturnsToLive) {
    Form->OpenReplay(MakeRecording("B45004.bin", 5, [](int, uint32_t) { return uint8_t(1); }));
    auto* pg = Child<QTabWidget>(Form.get(), "pg");
    ASSERT_TRUE(testing::ProcessUntil([&] { return pg->isTabVisible(PageScreens); }));
    auto* connect = Child<QPushButton>(Form.get(), "btnConnect");
    EXPECT_FALSE(connect->isEnabled());
    for (const char* name : {"mnuActivation", "mnuAdaptReset", "mnuCoding"})
        EXPECT_FALSE(Child<QAction>(Form.get(), name)->isEnabled()) << name;
    // The commands that are reached anyway (a key, a stale menu) are refused with a box.
    Form->AdaptResetClick();
    Form->CodingClick();
    pg->setCurrentIndex(PageError);
    Child<QPushButton>(Form.get(), "btnEraseErr")->click();
    EXPECT_EQ(Host.Boxes.size(), 3u);
    for (const std::string& box : Host.Boxes)
        EXPECT_TRUE(box.starts_with("Это запись")) << box;
    EXPECT_EQ(Live.Erases, 0);
    EXPECT_FALSE(Live.Acts.PendingAct != NoAct);

    Child<QPushButton>(Form.get(), "btnReplayClose")->click();
    EXPECT_EQ(Form->Replay(), nullptr);
    EXPECT_TRUE(connect->isEnabled());
    EXPECT_FALSE(pg->isTabVisible(PageScreens));
    EXPECT_FALSE(Child<QWidget>(Form.get(), "pnlReplay")->isVisibleTo(Form.get()));
    // The live connection is the window's again.
    Form->btnConnectClick();
    EXPECT_EQ(Live.Starts, 1);
}

TEST_F(ReplayTest, OpeningIsRefusedWhileTheLiveConnectionRuns) {
    Live.Alive = true;
    EXPECT_FALSE(Form->OpenRecording("LOGS/B45001.bin"));
    EXPECT_EQ(Form->Replay(), nullptr);
    ASSERT_EQ(Host.Boxes.size(), 1u);
    EXPECT_TRUE(Host.Boxes[0].starts_with("Сначала остановите связь")) << Host.Boxes[0];
}

// The graph's points, per curve: the ticks and values it kept.
std::vector<std::pair<uint32_t, float>> Kept(const TGraph& graph, size_t view) {
    std::vector<std::pair<uint32_t, float>> points;
    for (const TGraphSample& s : graph.View(view).History)
        if (!std::isnan(s.Value))
            points.emplace_back(s.Tick, s.Value);
    return points;
}

TEST_F(ReplayTest, GraphDrawsTheRecordingsClockAtAnySpeed) {
    auto wave = [](int n, uint32_t ms) { return uint8_t((ms / 100 * (n + 1)) % 200); };
    std::vector<std::pair<uint32_t, float>> drawn[2];
    QImage pictures[2];
    for (int run = 0; run < 2; ++run) {
        Form->OpenReplay(MakeRecording("B45005.bin", 30, wave));
        auto* pg = Child<QTabWidget>(Form.get(), "pg");
        ASSERT_TRUE(testing::ProcessUntil([&] { return pg->isTabVisible(PageGraph); }));
        pg->setCurrentIndex(PageGraph);
        TGraphTab* tab = Form->findChild<TGraphTab*>();
        ASSERT_NE(tab, nullptr);
        tab->Graph().SetScreenTime(60);
        while (tab->Graph().Count() > 0)
            tab->Graph().RemoveView(0);
        tab->AddGraph(1);
        TReplayConnection& replay = *Form->Replay();
        replay.SetSpeed(run == 0 ? 1 : TReplayConnection::FastSpeed);
        replay.Play();
        // Steps of one frame of real time at 1x, one step at full speed.
        while (replay.Position() < replay.Duration() || replay.Delivering()) {
            replay.Advance(16);
            ASSERT_TRUE(Settled());
        }
        drawn[run] = Kept(tab->Graph(), 0);
        pictures[run] = tab->Graph().Image();
        Form->CloseRecording();
    }
    // Every value at its time on the recording's clock, the same at 1x and at full speed.
    ASSERT_EQ(drawn[0].size(), 300u);
    EXPECT_EQ(drawn[0].front(), std::make_pair(TReplayConnection::TickBase + 10, 0.0f));
    EXPECT_EQ(drawn[0].back(), std::make_pair(TReplayConnection::TickBase + 29910, float((299 * 2) % 200)));
    EXPECT_EQ(drawn[0], drawn[1]);
    EXPECT_TRUE(pictures[0] == pictures[1]);
}

// The columns of row `y` that have colour `colour`.
std::vector<int> ColumnsOf(const QImage& image, int y, const QColor& colour) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == colour)
            columns.push_back(x);
    return columns;
}

// The number of runs of consecutive columns.
int Runs(const std::vector<int>& columns) {
    int runs = 0;
    for (size_t i = 0; i < columns.size(); ++i)
        if (i == 0 || columns[i] != columns[i - 1] + 1)
            ++runs;
    return runs;
}

TEST_F(ReplayTest, ComparedRecordingIsDashedAtTheChosenOffset) {
    // The open recording reads 50, the compared one 150, on parameter 1 (range 0..255 drawn fixed).
    Form->OpenReplay(MakeRecording("B45006.bin", 20, [](int, uint32_t) { return uint8_t(50); }));
    auto* pg = Child<QTabWidget>(Form.get(), "pg");
    ASSERT_TRUE(testing::ProcessUntil([&] { return pg->isTabVisible(PageGraph); }));
    pg->setCurrentIndex(PageGraph);
    TGraphTab* tab = Form->findChild<TGraphTab*>();
    ASSERT_NE(tab, nullptr);
    TGraph& graph = tab->Graph();
    while (graph.Count() > 0)
        graph.RemoveView(0);
    tab->AddGraph(1);
    graph.SetScreenTime(10);
    TGraphParam& view = graph.View(0);
    view.RangeLo = 0;
    view.RangeHi = 255;
    Form->Replay()->Seek(2000);
    ASSERT_TRUE(Settled());
    graph.Freeze(true);
    Form->CompareWithRecording(MakeRecording("B46001.bin", 20, [](int, uint32_t) { return uint8_t(150); }));
    const int w = graph.Image().width();
    const QColor colour = FromBgr(view.Color);
    const int own = graph.ValueY(view, 50), other = graph.ValueY(view, 150);
    for (int32_t offsetMs : {0, 4000}) {
        Form->SetCompareOffset(offsetMs);
        const QImage& image = graph.Image();
        // The compared curve starts where its start lies on the open recording's clock.
        const int start =
            int(std::lround(double(int32_t(TReplayConnection::TickBase + offsetMs - graph.ShownStart())) * w /
                            graph.ShownSpan()));
        const std::vector<int> dashed = ColumnsOf(image, other, colour);
        ASSERT_FALSE(dashed.empty()) << offsetMs;
        EXPECT_NEAR(dashed.front(), std::max(start, 0), 2) << offsetMs;
        // Dashed: many short runs along the line to the right edge, where the own curve is one run.
        EXPECT_GT(Runs(dashed), (w - dashed.front()) / 20) << offsetMs;
        EXPECT_GE(dashed.back(), w - 8) << offsetMs;
        EXPECT_EQ(Runs(ColumnsOf(image, own, colour)), 1) << offsetMs;
    }
    EXPECT_TRUE(Child<QLabel>(Form.get(), "labReplayCompare")->text().contains("B46001.bin"));
}

TEST(ReplayClockTest, TypedTimes) {
    const struct {
        const char* Text;
        std::optional<uint32_t> Ms;
    } cases[] = {
        {"75", 75000},        {"01:15", 75000},          {"1:02:03", 3723000},
        {"12.5", 12500},      {"", std::nullopt},        {"1:x", std::nullopt},
        {"-3", std::nullopt}, {"1:2:3:4", std::nullopt}, {"1.5:00", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseReplayClock(c.Text), c.Ms) << c.Text;
    EXPECT_EQ(ReplayClockText(75999), "01:15");
    EXPECT_EQ(ReplayClockText(3723000), "1:02:03");
}

} // namespace
} // namespace velmora
