// Repaints follow the display: values that come faster than a frame are drawn at most once per frame,
// and what is shown at the end of the frame is the last value. No timing is measured: every burst is
// made without the event loop running, so it falls within one frame whatever the machine's speed.
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTest>

#include "platform/clock.h"
#include "platform/program_folders.h"
#include "temp_folder.h"
#include "ui/common/blink_mark.h"
#include "ui/common/frame_pacer.h"
#include "ui/graphs/graph_tab.h"
#include "ui/screens/screen_definition.h"
#include "ui/screens/screen_page.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

// Counts the paint events a widget gets.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
    int Paints = 0;
};

// A frame long enough that the values fed one event-loop pass apart all fall within it, on any machine.
constexpr int LongFrameMs = 500;
constexpr int Values = 50;

// Waits for the end of the frame and paints what it drew.
bool FrameEnded(const TFramePacer& pacer) {
    bool ended = QTest::qWaitFor([&] { return !pacer.Pending(); }, 10 * LongFrameMs);
    QCoreApplication::processEvents();
    return ended;
}

TEST(FramePacer, ABurstWithinAFrameDrawsAtOnceAndOnceMoreAtItsEnd) {
    struct {
        int Requests;
        int DrawsAtOnce, DrawsAfterFrame;
    } cases[] = {
        {1, 1, 1},   // a lone change: drawn at once, the frame's end has nothing left
        {2, 1, 2},   // the second waits for the end of the frame
        {200, 1, 2}, // however many: one draw at the end of the frame
    };
    for (const auto& c : cases) {
        int draws = 0;
        TFramePacer pacer([&] { ++draws; });
        for (int i = 0; i < c.Requests; ++i)
            pacer.Request();
        EXPECT_EQ(draws, c.DrawsAtOnce) << c.Requests;
        ASSERT_TRUE(FrameEnded(pacer));
        EXPECT_EQ(draws, c.DrawsAfterFrame) << c.Requests;
    }
}

TFramePacer& PacerOf(QWidget& widget) {
    auto* pacer = widget.findChild<TFramePacer*>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_NE(pacer, nullptr);
    pacer->SetFrameMs(LongFrameMs);
    return *pacer;
}

class PacedScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        Params.Add(testing::MakeParam(0));
        auto status = testing::MakeParam(2, nullptr, 'X');
        status->Name = "IDLE;P/N";
        status->ParseBitNames();
        Params.Add(std::move(status));
    }
    TListParams Params;
};

// Values come one event-loop pass apart, as the worker's notices do; each pass would paint the value
// anew if every value were drawn.
TEST_F(PacedScreenTest, ValuesWithinAFramePaintOnceAtOnceAndOnceWithTheLast) {
    TScreenPage page(ParseScreenItems("S 0,2", 0, false), testing::Borrow(Params), {12, 12, 12, true});
    TFramePacer& pacer = PacerOf(page);
    page.resize(400, 200);
    page.show();
    QCoreApplication::processEvents();
    QLabel* value = page.Row(0)->ValueLabel();
    QLabel* idle = page.Row(1)->Indicators()[0];
    TPaintCounter valuePaints(value), idlePaints(idle);
    const QColor idleUnlit = idle->palette().color(QPalette::Window);

    for (int i = 1; i <= Values; ++i) {
        Params.FindByNumber(0)->SetData(uint8_t(i), 0, 0, 0);
        page.Views().UpdateParam(0);
        Params.FindByNumber(2)->SetData(uint8_t(i & 1), 0, 0, 0); // IDLE blinks with every value
        page.Views().UpdateParam(2);
        QCoreApplication::processEvents();
    }
    // The first value of the frame is drawn at once, the others wait.
    EXPECT_EQ(value->text(), "1");
    EXPECT_EQ(valuePaints.Paints, 1);
    EXPECT_TRUE(page.RepaintPending());

    ASSERT_TRUE(FrameEnded(pacer));
    EXPECT_EQ(value->text(), QString::number(Values));
    EXPECT_EQ(valuePaints.Paints, 2);
    // The lamp shows the last state (IDLE clear after an even count) after at most two repaints.
    EXPECT_EQ(idle->palette().color(QPalette::Window), idleUnlit);
    EXPECT_LE(idlePaints.Paints, 2);

    // A value equal to the one shown costs no frame; another one waits for the end of the frame that
    // drew the last.
    page.Views().UpdateParam(0);
    EXPECT_FALSE(page.RepaintPending());
    Params.FindByNumber(0)->SetData(7, 0, 0, 0);
    page.Views().UpdateParam(0);
    EXPECT_TRUE(page.RepaintPending());
    ASSERT_TRUE(FrameEnded(pacer));
    EXPECT_EQ(value->text(), "7");
}

TEST_F(PacedScreenTest, TheGraphShowsItsPictureOncePerFrameWithTheLastPoint) {
    TManualClock clock{1000};
    TScopedClock scope{clock};
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(),
                     "[OPTIONS]\nGRAPHS=0\n[GRAPH0]\nSOURCE=0\nCOLOR0=BLUE\nRANGE0=0 255\n");
    TGraphTab tab(testing::Borrow(Params));
    TFramePacer& pacer = PacerOf(tab);
    tab.resize(700, 400);
    tab.show();
    QCoreApplication::processEvents();
    auto* image = testing::Child<QWidget>(&tab, "Image");
    TPaintCounter paints(image);

    for (int i = 1; i <= Values; ++i) {
        clock.Advance(20);
        Params.FindByNumber(0)->SetData(uint8_t(i * 5), 0, 0, 0);
        tab.Graph().UpdateParam(0);
        tab.RequestRedraw();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(paints.Paints, 1);
    ASSERT_TRUE(FrameEnded(pacer));
    EXPECT_EQ(paints.Paints, 2);
    // The window shows the curve up to the last value (what the screen holds, not a fresh rendering).
    const TGraphParam& view = tab.Graph().View(0);
    const QPoint last = image->mapTo(&tab, QPoint(view.LastX, view.LastY));
    EXPECT_EQ(tab.screen()->grabWindow(tab.winId()).toImage().pixelColor(last), QColor(0, 0, 0xFF));
}

TEST(BlinkMark, AnswersWithinAFrameChangeTheColourAtMostOncePerFrame) {
    QWidget top;
    auto* mark = new TBlinkMark("*", &top);
    TFramePacer& pacer = PacerOf(*mark);
    top.show();
    QCoreApplication::processEvents();
    TPaintCounter paints(mark);
    const QColor shadow = top.palette().color(QPalette::Dark);
    struct {
        int Answers;
        bool Dark;
    } steps[] = {{1, true}, {Values, true}, {Values + 1, false}};
    for (const auto& step : steps) {
        paints.Paints = 0;
        for (int i = 0; i < step.Answers; ++i) {
            mark->Toggle();
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(FrameEnded(pacer));
        EXPECT_EQ(mark->Dark(), step.Dark) << step.Answers;
        EXPECT_EQ(mark->palette().color(QPalette::WindowText), step.Dark ? QColor(Qt::black) : shadow)
            << step.Answers;
        EXPECT_LE(paints.Paints, 2) << step.Answers;
    }
}

} // namespace
} // namespace velmora
