#include "ui/graphs/graph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QWheelEvent>

#include "params/param_ids.h"
#include "params/unit_codes.h"
#include "ui/common/widget_colors.h"
#include "ui/dialogs/input_box.h"
#include "ui/graphs/default_graph.h"
#include "ui/graphs/graph_prop.h"
#include "ui/graphs/graph_tab.h"
#include "ui/graphs/param_chooser.h"

#include <QImage>

#include "host_recorder.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "temp_folder.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

const QColor Blue(0, 0, 0xFF);
const QColor White(Qt::white);

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override { Params.Add(testing::MakeParam(5)); }

    // Parameter 5 (or `number`) takes `value` (raw byte) at `tick` ms.
    void Value(TGraph& graph, uint32_t tick, uint8_t value, int number = 5) {
        Clock.Advance(tick - Clock.TickCount());
        Params.FindByNumber(number)->SetData(value, 0, 0, 0);
        graph.UpdateParam(number);
    }
    // The rows where column `x` has the view's colour.
    static std::vector<int> RowsOf(const TGraph& graph, int x, uint32_t colour) {
        std::vector<int> rows;
        for (int y = 0; y < graph.Image().height(); ++y)
            if (graph.Image().pixelColor(x, y) == FromBgr(colour))
                rows.push_back(y);
        return rows;
    }
    QColor At(const TGraph& graph, int x, int y) const { return graph.Image().pixelColor(x, y); }

    TManualClock Clock{1000};
    TScopedClock ClockScope{Clock};
    TListParams Params;
};

TEST_F(GraphTest, ScrollIsAWholeNumberOfPixels) {
    TGraph graph(550, 100, testing::Borrow(Params), nullptr);
    EXPECT_EQ(graph.ScreenTimeMs, 10000u);
    EXPECT_EQ(graph.OneSecondPoints, 55);
    EXPECT_EQ(graph.ScrollMs, 2200u); // 1800, 2000 and 2200 are whole; the later wins
    graph.SetScrollTime(3);
    EXPECT_EQ(graph.ScrollMs, 3200u); // 2800, 3000 and 3200 are whole
    graph.SetScrollTime(9);           // more than half the screen: a quarter
    EXPECT_EQ(graph.ScrollMs, 2600u); // 2500 +- 250: 2600 gives 143 pixels exactly
}

TEST_F(GraphTest, DrawsLinesAndScrollsThePicture) {
    TGraph graph(100, 51, testing::Borrow(Params), nullptr);
    TGraphParam* view = graph.AddParam(5);
    ASSERT_NE(view, nullptr);
    view->Color = 0xFF0000; // blue
    view->RangeLo = 0;
    view->RangeHi = 100;
    view->Lines[0] = 80;
    view->LineCount = 1;
    graph.ResetGraph();

    Value(graph, 1000, 0);   // x 0, y 50
    Value(graph, 2000, 100); // x 10, y 0
    Value(graph, 5000, 50);  // x 40, y 25
    EXPECT_EQ(At(graph, 0, 50), Blue);
    EXPECT_EQ(At(graph, 10, 0), Blue);
    EXPECT_EQ(At(graph, 40, 25), Blue);
    EXPECT_EQ(At(graph, 60, 45), White);
    EXPECT_EQ(At(graph, 0, 10), Blue); // the dashed grid line at 80 starts at the left edge

    // The right edge is reached: the picture moves left by 2200 ms = 22 pixels.
    Value(graph, 11000, 0);
    EXPECT_EQ(graph.StartTick, 3200u);
    EXPECT_EQ(At(graph, 18, 25), Blue); // the point of 5000 ms, moved
    EXPECT_EQ(At(graph, 40, 25), White);
    EXPECT_EQ(At(graph, 78, 50), Blue); // the new point
    int gridInStrip = 0;
    for (int x = 77; x < 100; ++x)
        gridInStrip += At(graph, x, 10) == Blue;
    EXPECT_GT(gridInStrip, 5); // the grid is renewed in the cleared strip

    // A jump of more than a screen clears the whole picture; the line starts anew from the next point.
    Value(graph, 60000, 100);
    EXPECT_EQ(graph.StartTick, 60000u);
    EXPECT_EQ(At(graph, 78, 50), White);
    EXPECT_EQ(At(graph, 0, 0), White);
    Value(graph, 61000, 100);
    EXPECT_EQ(At(graph, 0, 0), Blue);
    EXPECT_EQ(At(graph, 10, 0), Blue);
}

TEST_F(GraphTest, MinMaxCoversTheLastScreenInEightSlots) {
    testing::TTempFolder folder;
    auto file =
        folder.WriteFile("velmora.ini", "[GRAPH0]\nSCREEN_TIME=8\nSOURCE=5 77\nRANGE5=10 150\nCOLOR5=blue\n");
    TIniFile ini(file);
    TGraph graph(80, 51, testing::Borrow(Params), &ini);
    ASSERT_EQ(graph.Count(), 1u); // 77 is not in the set
    EXPECT_EQ(graph.View(0).Color, 0xFF0000u);

    Value(graph, 1000, 0); // below the range: drawn at the bottom and counted as 10
    Value(graph, 2500, 120);
    EXPECT_EQ(At(graph, 0, 50), Blue);
    EXPECT_EQ(graph.MinMaxText(0), "10  120");
    Value(graph, 9000, 60); // a new window: slot 0 forgets its old values
    EXPECT_EQ(graph.MinMaxText(0), "60  120");
    Value(graph, 10500, 70); // slot 1 too
    EXPECT_EQ(graph.MinMaxText(0), "60  70");
}

TEST_F(GraphTest, SettingsOfTheIniFile) {
    Params.Add(testing::MakeParam(6));
    Params.Add(testing::MakeParam(7));
    testing::TTempFolder folder;
    auto file = folder.WriteFile("velmora.ini", "[OPTIONS]\nGRAPHS=2\n"
                                                "[GRAPH2]\nSOURCE=5 6 7 x\nRANGE5=-40 120\nRANGE6=5 5\n"
                                                "COLOR6=PINK\nCOLOR7=Green\nLINES7=1,5 2.5 x 3\n");
    TIniFile ini(file);
    TGraph graph(100, 51, testing::Borrow(Params), &ini);
    ASSERT_EQ(graph.Count(), 3u);
    EXPECT_EQ(graph.View(0).RangeLo, 0); // the sign ends an empty first run
    EXPECT_EQ(graph.View(0).RangeHi, 120);
    EXPECT_EQ(graph.View(1).RangeLo, 5);
    EXPECT_EQ(graph.View(1).RangeHi, 6);
    EXPECT_EQ(graph.View(1).Color, 0u);
    EXPECT_EQ(graph.View(2).Color, 0x008000u);
    ASSERT_EQ(graph.View(2).LineCount, 3);
    EXPECT_FLOAT_EQ(graph.View(2).Lines[0], 1.5f);
    EXPECT_FLOAT_EQ(graph.View(2).Lines[2], 3.0f);
    EXPECT_EQ(ColorName(0xFF0000), "BLUE");
    EXPECT_EQ(ColorName(0x123456), "UNKNOWN");
}

TEST_F(GraphTest, TheWorkerPollsEveryViewAndFreesRemovedOnes) {
    Params.Add(testing::MakeParam(6));
    auto graph = std::make_shared<TGraph>(100, 51, testing::Borrow(Params), nullptr);
    graph->AddParam(5);
    graph->AddParam(6);
    Params.FindByNumber(5)->LastTick = Clock.TickCount(); // just read: a screen would wait, a graph not
    graph->Restart();
    EXPECT_EQ(graph->NextToPoll()->Number, 5);
    EXPECT_EQ(graph->NextToPoll()->Number, 6);
    EXPECT_EQ(graph->NextToPoll()->Number, 5);

    graph->RemoveView(1); // 6 goes off the graph at once, the worker frees it when it comes to it
    ASSERT_EQ(graph->Count(), 1u);
    EXPECT_EQ(graph->View(0).ParamNo, 5);
    EXPECT_EQ(graph->NextToPoll()->Number, 5);
    EXPECT_EQ(graph->NextToPoll()->Number, 5);

    testing::TTempFolder folder;
    graph->LoadGraph(TIniFile(folder.WriteFile("velmora.ini", "[GRAPH0]\nSOURCE=6\n")), 0);
    ASSERT_EQ(graph->Count(), 1u);
    EXPECT_EQ(graph->View(0).ParamNo, 6);
    EXPECT_EQ(graph->NextToPoll()->Number, 6);
}

TEST_F(GraphTest, PictureIsSavedAtTheNextScrollUnderFreeNumbers) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    TGraph graph(100, 51, testing::Borrow(Params), nullptr);
    graph.AddParam(5);
    graph.PictureFolder = [&] { return folder.Path(); };
    Value(graph, 1000, 10);
    graph.RequestSave();
    EXPECT_TRUE(graph.SavePending);
    auto countBmp = [&] {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            n += entry.path().extension() == ".bmp";
        return n;
    };
    Value(graph, 5000, 10);
    EXPECT_EQ(countBmp(), 0);
    Value(graph, 12000, 10); // the scroll saves first
    EXPECT_FALSE(graph.SavePending);
    EXPECT_EQ(countBmp(), 1);
    graph.RequestSave();
    graph.RequestSave(); // asked again: saved at once
    EXPECT_EQ(countBmp(), 2);
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_EQ(QImage(QString::fromStdString(entry.path().string())).size(), QSize(100, 51));
    EXPECT_TRUE(host.Boxes().empty());
}

TEST_F(GraphTest, PropertiesDialogAppliesOnlyNumbers) {
    TGraph graph(100, 51, testing::Borrow(Params), nullptr);
    TGraphParam& view = *graph.AddParam(5);
    TgraphProp dialog(view);
    EXPECT_EQ(dialog.EdMax->text(), "255");
    EXPECT_EQ(dialog.cbColor->currentText().toStdString(), ColorName(view.Color));
    struct {
        const char *Min, *Max, *Lines;
        bool Ok;
    } rows[] = {{"1,5", "90", "10 20,5", true},
                {"x", "90", "", false},
                {"0", "90", "1 2 3 4 5 6 7 8 9", false},
                {"0", "90", "1 y", false},
                {"90", "0", "", false}}; // minimum above maximum: refused, not drawn upside down
    for (const auto& row : rows) {
        float lo = view.RangeLo;
        dialog.edMin->setText(row.Min);
        dialog.EdMax->setText(row.Max);
        dialog.edLines->setText(row.Lines);
        dialog.cbColor->setCurrentText("GREEN");
        std::string error;
        EXPECT_EQ(dialog.Apply(view, error), row.Ok) << row.Min << " " << row.Lines;
        if (!row.Ok) {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(view.RangeLo, lo); // a failed conversion keeps the stored values
        }
    }
    dialog.edMin->setText("1,5");
    dialog.EdMax->setText("90");
    dialog.edLines->setText("10 20,5");
    std::string error;
    ASSERT_TRUE(dialog.Apply(view, error));
    EXPECT_FLOAT_EQ(view.RangeLo, 1.5f);
    EXPECT_FLOAT_EQ(view.RangeHi, 90);
    EXPECT_EQ(view.LineCount, 2);
    EXPECT_FLOAT_EQ(view.Lines[1], 20.5f);
    EXPECT_EQ(view.Color, 0x008000u);
}

// Settings a user edited by hand: a range written top first is taken in order, and a screen time beyond
// the limit is clamped instead of wrapping its milliseconds to 0 (a division by zero when drawn).
TEST_F(GraphTest, BrokenSettingsAreRepairedWhenRead) {
    testing::TTempFolder folder;
    auto file =
        folder.WriteFile("velmora.ini", "[GRAPH0]\nSCREEN_TIME=536870912\nSOURCE=5\nRANGE5=200 100\n");
    TIniFile ini(file);
    TGraph graph(100, 51, testing::Borrow(Params), &ini);
    ASSERT_EQ(graph.Count(), 1u);
    EXPECT_EQ(graph.View(0).RangeLo, 100);
    EXPECT_EQ(graph.View(0).RangeHi, 200);
    EXPECT_EQ(graph.ScreenTimeMs, uint32_t(TGraph::MaxScreenSeconds) * 1000);
    EXPECT_GT(graph.ScrollMs, 0u);
    Value(graph, 1000, 150);
    Value(graph, 2000, 250); // above the range: on the top edge
    EXPECT_EQ(graph.MinMaxText(0), "150  200");
}

// A view that got no value for longer than its line end can be carried (16-bit pixels) starts a new
// line: nothing is drawn from the right edge or across the picture.
TEST_F(GraphTest, ViewSilentForMinutesStartsANewLine) {
    Params.Add(testing::MakeParam(6));
    TGraph graph(100, 51, testing::Borrow(Params), nullptr);
    TGraphParam* silent = graph.AddParam(5);
    graph.AddParam(6);
    silent->Color = 0xFF0000; // blue
    silent->RangeLo = 0;
    silent->RangeHi = 100;
    graph.ResetGraph();
    Value(graph, 1000, 50); // y 25
    for (uint32_t tick = 2000; tick < 700000; tick += 1000) {
        Clock.Advance(tick - Clock.TickCount());
        Params.FindByNumber(6)->SetData(0, 0, 0, 0);
        graph.UpdateParam(6); // only the other view is read: the picture scrolls on
    }
    Value(graph, 700000, 50);
    int blue = 0;
    for (int x = 0; x < 100; ++x)
        blue += At(graph, x, 25) == Blue;
    EXPECT_EQ(blue, 0); // the new value only starts the next line
}

// The graph tab: each name carries its curve's colour, the shown picture has the selected curve's value
// scale over it (the saved picture stays the drawing alone), and a new screen time starts the lines anew
// instead of keeping the old trace at the wrong scale.
TEST_F(GraphTest, TabShowsScalesColoursAndRestartsOnANewScreenTime) {
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(),
                     "[OPTIONS]\nGRAPHS=0\n[GRAPH0]\nSOURCE=5\nCOLOR5=BLUE\nRANGE5=0 100\n");
    TGraphTab tab(testing::Borrow(Params));
    tab.resize(700, 400);
    tab.show();
    QCoreApplication::processEvents();
    auto* list = testing::Child<QListWidget>(&tab, "lbGraphs");
    ASSERT_EQ(list->count(), 1);
    QImage swatch = list->item(0)->icon().pixmap(12, 12).toImage();
    EXPECT_EQ(swatch.pixelColor(6, 6), Blue);

    TGraph& graph = tab.Graph();
    Value(graph, 1000, 50);
    Value(graph, 2000, 50);
    tab.Redraw();
    QImage shown = testing::Child<QWidget>(&tab, "Image")->grab().toImage();
    ASSERT_EQ(shown.size(), graph.Image().size());
    int differing = 0; // the scale's labels in the left strip
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < 40; ++x)
            differing += shown.pixelColor(x, y) != graph.Image().pixelColor(x, y);
    EXPECT_GT(differing, 50);

    SetInputAnswer([](const std::string&, const std::string&) { return std::optional<std::string>("20"); });
    tab.Button3Click();
    SetInputAnswer({});
    EXPECT_EQ(graph.ScreenTimeMs, 20000u);
    EXPECT_EQ(graph.StartTick, 0u); // the next value starts the picture
    for (int x = 0; x < graph.Image().width(); ++x)
        ASSERT_EQ(graph.Image().pixelColor(x, graph.Image().height() / 2), White) << x;
}

// Lanes: each curve in a band of its own, one above the other; curves given the same lane share it.
TEST_F(GraphTest, LanesGiveEachCurveItsOwnBand) {
    Params.Add(testing::MakeParam(6));
    Params.Add(testing::MakeParam(7));
    TGraph graph(100, 91, testing::Borrow(Params), nullptr);
    for (int n : {5, 6, 7}) {
        TGraphParam* view = graph.AddParam(n);
        view->RangeLo = 0;
        view->RangeHi = 100;
    }
    graph.SetLanes(true);
    for (uint32_t tick : {1000u, 2000u, 3000u})
        for (int n : {5, 6, 7})
            Value(graph, tick, uint8_t(tick == 2000 ? 100 : 0), n);
    for (size_t i = 0; i < 3; ++i) {
        const TGraphParam& view = graph.View(i);
        EXPECT_EQ(graph.ValueY(view, 100), view.BandTop) << i;
        if (i > 0) { // below the lane above it
            EXPECT_GT(view.BandTop, graph.View(i - 1).BandTop + graph.View(i - 1).BandHeight - 1) << i;
        }
        std::vector<int> rows = RowsOf(graph, 10, view.Color); // the top value's column
        ASSERT_FALSE(rows.empty()) << i;
        EXPECT_GE(rows.front(), view.BandTop) << i;
        EXPECT_LT(rows.back(), view.BandTop + view.BandHeight) << i;
    }
    const int third = graph.View(1).BandHeight;
    graph.View(2).Lane = graph.View(1).Lane; // two curves in one lane: two bands
    graph.SetLanes(true);
    EXPECT_EQ(graph.View(2).BandTop, graph.View(1).BandTop);
    EXPECT_GT(graph.View(1).BandHeight, third * 4 / 3);
    graph.SetLanes(false); // overlaid again: every curve over the whole picture
    EXPECT_EQ(graph.View(1).BandTop, 0);
    EXPECT_EQ(graph.View(1).BandHeight, 91);
}

// Autoscale fits the range to the values of the time shown with a little room, widens at once when a
// value leaves it and narrows when the values that needed it have scrolled off. A new range redraws the
// kept values: the line before it is not left at the old scale (a jump the engine never made).
TEST_F(GraphTest, AutoscaleFollowsTheValuesShownWithoutAFalseJump) {
    TGraph graph(100, 101, testing::Borrow(Params), nullptr);
    TGraphParam& view = *graph.AddParam(5);
    graph.SetAutoScale(view, true);
    struct {
        uint32_t Tick;
        uint8_t Value;
        float Lo, Hi; // the values the range must hold
        float MaxSpan;
    } rows[] = {
        {1000, 10, 10, 10, 3},    // one value: a narrow band around it, not the whole 0..255
        {2000, 12, 10, 12, 4},    //
        {3000, 40, 10, 40, 42},   // out of range: widened at once
        {14000, 11, 11, 11, 3.5}, // a scroll took 40 off the picture: narrowed (10, 12 and 11 remain)
    };
    for (const auto& row : rows) {
        Value(graph, row.Tick, row.Value);
        EXPECT_LE(view.Lo(), row.Lo) << row.Tick;
        EXPECT_GE(view.Hi(), row.Hi) << row.Tick;
        EXPECT_LE(view.Hi() - view.Lo(), row.MaxSpan) << row.Tick;
        EXPECT_LT(view.Lo(), view.Hi());
    }
    // A widened range draws the earlier line again on the new scale: the segment from 10 to 12 lies
    // where they are now, not where they were before 40 came.
    TGraph fresh(100, 101, testing::Borrow(Params), nullptr);
    TGraphParam& line = *fresh.AddParam(5);
    fresh.SetAutoScale(line, true);
    Value(fresh, 1000, 10);
    Value(fresh, 2000, 12);
    Value(fresh, 3000, 40);
    std::vector<int> rows11 = RowsOf(fresh, 5, line.Color); // the column of 1500 ms
    ASSERT_FALSE(rows11.empty());
    EXPECT_NEAR(rows11.front(), fresh.ValueY(line, 11), 2);
    EXPECT_NEAR(rows11.back(), fresh.ValueY(line, 11), 2);
    // Its min/max is the values', not a fixed range's.
    EXPECT_EQ(graph.MinMaxText(0).substr(0, 2), "10");
}

// Up to eight curves get eight different colours, apart from each other and dark enough for white.
TEST_F(GraphTest, NewCurvesTakeEightDistinctReadableColours) {
    auto luminance = [](QColor c) {
        auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    for (int n = 6; n < 13; ++n)
        Params.Add(testing::MakeParam(n));
    TGraph graph(100, 51, testing::Borrow(Params), nullptr);
    for (int n = 5; n < 13; ++n)
        ASSERT_NE(graph.AddParam(n), nullptr);
    for (size_t i = 0; i < 8; ++i) {
        QColor a = FromBgr(graph.View(i).Color);
        EXPECT_GE(1.05 / (luminance(a) + 0.05), 2.0) << ColorName(graph.View(i).Color); // contrast on white
        EXPECT_NE(ColorName(graph.View(i).Color), "UNKNOWN");
        for (size_t j = 0; j < i; ++j) {
            QColor b = FromBgr(graph.View(j).Color);
            int distance =
                std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
            EXPECT_GT(distance, 60) << i << " " << j;
        }
    }
    // A curve whose settings name no colour takes a free one instead of black beside a black one.
    testing::TTempFolder folder;
    TIniFile ini(folder.WriteFile("velmora.ini", "[GRAPH0]\nSOURCE=5 6\nCOLOR5=BLACK\n"));
    TGraph loaded(100, 51, testing::Borrow(Params), &ini);
    EXPECT_EQ(loaded.View(0).Color, 0u);
    EXPECT_NE(loaded.View(1).Color, 0u);
}

// A paused graph takes every value but keeps its picture; the values show when it runs again.
TEST_F(GraphTest, PauseKeepsCollectingAndCursorReadsTheValues) {
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(), "[GRAPH0]\nSOURCE=5\nRANGE5=0 100\n");
    TGraphTab tab(testing::Borrow(Params));
    tab.resize(700, 400);
    tab.show();
    QCoreApplication::processEvents();
    TGraph& graph = tab.Graph();
    Value(graph, 1000, 20);
    Value(graph, 2000, 40);
    testing::Child<QPushButton>(&tab, "btnPause")->click();
    ASSERT_TRUE(tab.Paused());
    graph.TakeChanged();
    const QImage before = graph.Image();
    Value(graph, 3000, 60);
    Value(graph, 4000, 80);
    EXPECT_TRUE(graph.TakeChanged().isEmpty());
    EXPECT_EQ(graph.Image(), before);
    EXPECT_EQ(graph.View(0).History.size(), 4u);
    EXPECT_EQ(graph.MinMaxText(0), "20  80"); // still counted

    // The cursor at a time shows each curve's value then (the last one at or before it) and the time.
    const int w = graph.Image().width();
    struct {
        uint32_t Tick;
        const char* Value;
    } rows[] = {{1500, "P5: 20"}, {2100, "P5: 40"}, {3900, "P5: 60"}, {9000, "P5: —"}}; // 9 s: none yet
    for (const auto& row : rows) {
        int x = int(std::lround(double(int32_t(row.Tick - graph.ShownStart())) * w / graph.ShownSpan()));
        tab.SetCursorAt(x);
        QStringList lines = tab.CursorLines();
        ASSERT_EQ(lines.size(), 2) << row.Tick;
        EXPECT_EQ(lines[1], QString::fromUtf8(row.Value)) << row.Tick;
    }
    EXPECT_TRUE(tab.CursorLines()[0].endsWith(" с"));
    tab.SetCursorAt(-1);
    EXPECT_TRUE(tab.CursorLines().isEmpty());

    testing::Child<QPushButton>(&tab, "btnPause")->click(); // runs again, with what came meanwhile
    EXPECT_FALSE(tab.Paused());
    const TGraphParam& view = graph.View(0);
    int x80 = int(std::lround(double(4000 - graph.StartTick) * w / graph.ScreenTimeMs));
    EXPECT_FALSE(RowsOf(graph, x80, view.Color).empty());
    Value(graph, 5000, 80); // and goes on from the last point
    int x5 = int(std::lround(double(4500 - graph.StartTick) * w / graph.ScreenTimeMs));
    EXPECT_FALSE(RowsOf(graph, x5, view.Color).empty());
}

// The wheel zooms and a drag pans over the time kept (30 minutes), both within what was kept.
TEST_F(GraphTest, ZoomAndPanMoveOverTheTimeKept) {
    TGraph graph(200, 51, testing::Borrow(Params), nullptr);
    graph.AddParam(5);
    graph.Freeze(true); // nothing drawn while the 31 minutes are fed in
    for (uint32_t tick = 1000; tick <= 1000 + 31 * 60 * 1000; tick += 100)
        Value(graph, tick, uint8_t(tick / 1000 % 200));
    const auto& history = graph.View(0).History;
    const uint32_t newest = graph.NewestTick();
    EXPECT_EQ(history.back().Tick, newest);
    EXPECT_LE(newest - history.front().Tick, TGraph::KeepMs); // older ones are let go
    EXPECT_GE(newest - history.front().Tick, TGraph::KeepMs - 100);
    EXPECT_EQ(sizeof(TGraphSample), 8u);
    graph.Freeze(false);
    ASSERT_EQ(graph.ShownSpan(), 10000u);

    struct {
        const char* Step;
        std::function<void()> Act;
        uint32_t Span;
        int64_t EndBeforeNewest; // ms, -1: not checked
    } rows[] = {
        {"zoom in at the right edge", [&] { graph.Zoom(0.5, 200); }, 5000, -1},
        {"pan back 100 px", [&] { graph.Pan(100); }, 5000, -1},
        {"zoom out to all", [&] { graph.Zoom(1000, 100); }, TGraph::KeepMs, -1},
        {"pan far forward stops at the newest", [&] { graph.Pan(-100000); }, TGraph::KeepMs, 0},
        {"zoom in to the limit", [&] { graph.Zoom(0.000001, 200); }, TGraph::MinSpanMs, -1},
    };
    uint32_t lastEnd = graph.ShownStart() + graph.ShownSpan();
    for (const auto& row : rows) {
        row.Act();
        EXPECT_TRUE(graph.Frozen()) << row.Step;
        EXPECT_EQ(graph.ShownSpan(), row.Span) << row.Step;
        uint32_t end = graph.ShownStart() + graph.ShownSpan();
        if (row.EndBeforeNewest >= 0) {
            EXPECT_GE(int64_t(end), int64_t(newest) - row.EndBeforeNewest) << row.Step;
        }
        if (std::string(row.Step).starts_with("pan back")) {
            EXPECT_EQ(lastEnd - end, 2500u) << row.Step; // 100 of 200 pixels of 5 s
        }
        lastEnd = end;
    }
    graph.Pan(1000000); // far back: stops at the oldest value kept
    EXPECT_GE(int32_t(graph.ShownStart() - history.front().Tick), 0);
    EXPECT_LE(graph.ShownStart() - history.front().Tick, 10u);
}

// On the tab: the wheel over the picture zooms (and pauses), the lanes box draws lanes and keeps the
// choice in the settings, and the curve's menu (list context menu and its button) sets scale, colour and
// lane.
TEST_F(GraphTest, TabSetsLanesZoomAndCurveFromTheLegend) {
    Params.Add(testing::MakeParam(6));
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(), "[GRAPH0]\nSOURCE=5 6\n");
    TGraphTab tab(testing::Borrow(Params));
    tab.resize(700, 400);
    tab.show();
    QCoreApplication::processEvents();
    TGraph& graph = tab.Graph();
    Value(graph, 1000, 20);
    Value(graph, 2000, 40);

    // The bottom value lies above the strip of the time labels, not under them.
    Value(graph, 2500, 0);
    Value(graph, 2600, 0, 6);
    ASSERT_LT(graph.PlotBottom(), graph.Image().height() - 10);
    for (int y = graph.PlotBottom() + 2; y < graph.Image().height(); ++y)
        for (int x = 0; x < graph.Image().width(); ++x)
            ASSERT_EQ(graph.Image().pixelColor(x, y), White) << x << " " << y;

    auto* image = testing::Child<QWidget>(&tab, "Image");
    QWheelEvent wheel(QPointF(image->width() / 2, 50), image->mapToGlobal(QPointF(image->width() / 2, 50)),
                      QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(image, &wheel);
    EXPECT_TRUE(tab.Paused());
    EXPECT_LT(graph.ShownSpan(), 10000u);

    testing::Child<QCheckBox>(&tab, "cbLanes")->setChecked(true);
    EXPECT_TRUE(graph.Lanes());
    EXPECT_LT(graph.View(0).BandTop + graph.View(0).BandHeight, graph.View(1).BandTop + 1);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadInteger("GRAPH0", "LANES", 0), 1);

    EXPECT_EQ(testing::Child<QListWidget>(&tab, "lbGraphs")->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_TRUE(testing::Child<QPushButton>(&tab, "btnCurve")->isVisible());
    std::unique_ptr<QMenu> menu(tab.CurveMenu(1));
    menu->findChild<QAction*>("mnuAuto")->trigger();
    EXPECT_TRUE(graph.View(1).AutoScale);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadInteger("GRAPH0", "AUTO6", 0), 1);
    menu->findChild<QAction*>("mnuColorTEAL")->trigger();
    EXPECT_EQ(graph.View(1).Color, ColorFromName("TEAL"));
    menu->findChild<QAction*>("mnuLane1")->trigger(); // into the first curve's lane
    EXPECT_EQ(graph.View(1).BandTop, graph.View(0).BandTop);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadInteger("GRAPH0", "LANE6", -1), 0);

    // The settings bring it all back.
    TIniFile ini(SettingsFile());
    TGraph again(100, 51, testing::Borrow(Params), &ini);
    EXPECT_TRUE(again.Lanes());
    EXPECT_TRUE(again.View(1).AutoScale);
    EXPECT_EQ(again.View(1).Lane, 0);
}

TEST_F(GraphTest, ParameterChooserListsTheSet) {
    Params.Add(testing::MakeParam(9));
    TParamChooser chooser(Params);
    ASSERT_EQ(chooser.List()->count(), 2);
    EXPECT_EQ(chooser.List()->item(1)->text(), "9  P9");
    EXPECT_EQ(chooser.ChosenNumber(), 5); // the first item is selected
    chooser.List()->setCurrentRow(1);
    EXPECT_EQ(chooser.ChosenNumber(), 9);
}

TEST(DefaultGraph, CurvesByMeaningForEachUnitFamily) {
    struct {
        int UnitType;
        const char* Source;
    } rows[] = {{UnitHfm, "1 0 3 5"}, {UnitPms, "1 0 3 5"}, {UnitLh, "1 0 3 5"}, {UnitEz, "1"}};
    for (const auto& row : rows) {
        testing::TTempFolder folder;
        TListParams params;
        params.LoadBuiltinSet(row.UnitType, 'A');
        TIniFile ini(folder.WriteFile("velmora.ini", "[OPTIONS]\nPORT=SIM\n"));
        ASSERT_TRUE(WriteDefaultGraph(ini, params)) << row.UnitType;
        EXPECT_EQ(ini.ReadString("GRAPH0", "SOURCE", ""), row.Source) << row.UnitType;
        EXPECT_EQ(ini.ReadString("OPTIONS", "PORT", ""), "SIM"); // the rest of the file stays
        EXPECT_FALSE(WriteDefaultGraph(ini, params));            // written once, then the user's

        // The graph reads them back as the user would have written them: engine speed first.
        TGraph graph(100, 51, testing::Borrow(params), &ini);
        ASSERT_GE(graph.Count(), 1u);
        EXPECT_TRUE(graph.View(0).Param.HasId(ParamId::EngineSpeed));
        EXPECT_EQ(graph.View(0).Color, ColorFromName("VERMILION"));
        EXPECT_EQ(graph.View(0).RangeHi, 7000);
        EXPECT_EQ(graph.View(0).LineCount, 3);
        if (graph.Count() == 4) {
            EXPECT_TRUE(graph.View(1).Param.HasId(ParamId::Coolant));
            EXPECT_EQ(graph.View(1).RangeLo, 0);
            EXPECT_EQ(graph.View(1).RangeHi, 120);
            EXPECT_EQ(graph.View(3).Color, ColorFromName("PURPLE"));
        }
    }
}

TEST(DefaultGraph, TheUsersGraphSettingsStay) {
    TListParams hfm;
    hfm.LoadBuiltinSet(UnitHfm, 'A');
    struct {
        const char* Before;
        bool Written;
        const char* Section; // where the default curves are expected when written
    } rows[] = {
        {"[GRAPH0]\nSOURCE=\n", false, ""},      // no curve is a choice too
        {"[GRAPH0]\nSOURCE=12 41\n", false, ""}, // the user's curves
        {"[OPTIONS]\nGRAPHS=2\n[GRAPH0]\nSOURCE=12\n", true, "GRAPH2"},
        {"[GRAPH0]\nSCREEN_TIME=20\n", true, "GRAPH0"},
    };
    for (const auto& row : rows) {
        testing::TTempFolder folder;
        auto file = folder.WriteFile("velmora.ini", row.Before);
        TIniFile ini(file);
        EXPECT_EQ(WriteDefaultGraph(ini, hfm), row.Written) << row.Before;
        if (row.Written) {
            EXPECT_EQ(ini.ReadString(row.Section, "SOURCE", ""), "1 0 3 5") << row.Before;
            EXPECT_EQ(ini.ReadInteger(row.Section, "SCREEN_TIME", 0),
                      row.Section == std::string("GRAPH0") ? 20 : 10);
        } else
            EXPECT_EQ(folder.ReadFile("velmora.ini"), row.Before);
    }
    // A set without any of the default curves writes nothing, so a later unit still gets them.
    testing::TTempFolder folder;
    TListParams other;
    other.Add(testing::MakeParam(200));
    TIniFile ini(folder.WriteFile("velmora.ini", ""));
    EXPECT_FALSE(WriteDefaultGraph(ini, other));
    EXPECT_FALSE(ini.SectionExists("GRAPH0"));
}

} // namespace
} // namespace velmora
