// The main window's size keeps to what the user gave it: the top bar holds its height over connects
// and resizes, and the activation panel scrolls its channels instead of widening the window.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolButton>

#include <QApplication>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <fstream>
#include <iterator>
#include <tuple>

#include "fake_connection.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "smoothness/smooth_cylinders.h"
#include "temp_folder.h"
#include "ui/screens/param_row.h"
#include "ui/screens/screen_page.h"
#include "ui/window/engine_mode.h"
#include "ui/window/main_form.h"

namespace velmora {
namespace {

using testing::Child;

// The widest window a 1280-pixel screen can show.
constexpr int ScreenWidth = 1280, ScreenHeight = 900;

void Settle() {
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

class WindowLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSimPorts();
        Form = std::make_unique<TMainForm>(Connection, "SIM");
        Form->resize(ScreenWidth, ScreenHeight);
        Form->show();
        Settle();
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    testing::TRecordingConnection Connection;
    std::unique_ptr<TMainForm> Form;
};

// A screen smaller than the window's usual 820 × 625 (a 1280 × 900 screen at 2× scale has 640 × 450):
// the window opens inside it, not larger and not off its edges.
TEST(WindowOnScreen, OpensWithinTheScreen) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    testing::TRecordingConnection connection;
    TMainForm form(connection, "SIM");
    QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(form.width(), available.width());
    EXPECT_LE(form.height(), available.height());
    EXPECT_TRUE(available.contains(form.geometry().topLeft())) << form.x() << "," << form.y();
}

TEST_F(WindowLayoutTest, TopBarKeepsItsHeightOverConnectsAndResizes) {
    auto* bar = Child<QFrame>(Form.get(), "Panel1");
    auto* shot = Child<QToolButton>(Form.get(), "btnScreenShot");
    const int barHeight = bar->height();
    const int shotHeight = shot->height();
    ASSERT_GT(barHeight, 0);
    const QSize sizes[] = {{900, 700}, {1280, 900}, {700, 500}, {1100, 640}};
    for (int round = 0; round < 20; ++round) {
        Form->btnConnectClick();
        Form->HandleMessage(WM_USER + 1, 1, 1);
        Form->HandleMessage(WM_USER + 3, 0, 0);
        Form->resize(sizes[round % 4]);
        Settle();
        EXPECT_EQ(bar->height(), barHeight) << "round " << round;
        EXPECT_EQ(shot->height(), shotHeight) << "round " << round;
        EXPECT_LE(Form->width(), ScreenWidth) << "round " << round;
    }
    EXPECT_EQ(Connection.Starts, 20);
}

TEST_F(WindowLayoutTest, ActivationPanelScrollsInsteadOfWideningTheWindow) {
    auto* activation = Child<QAction>(Form.get(), "mnuActivation");
    Form->HandleMessage(WM_USER + 16, 0, 0);
    activation->trigger(); // ticked
    ASSERT_TRUE(activation->isChecked());
    auto* panel = Child<QWidget>(Form.get(), "pnlActivation");
    for (int narrow : {0, 1}) {
        Form->resize(narrow ? 800 : ScreenWidth, ScreenHeight);
        Form->HandleMessage(WM_USER + 11, 0, 0);
        Settle();
        ASSERT_TRUE(panel->isVisible());
        EXPECT_EQ(Form->width(), narrow ? 800 : ScreenWidth);
        EXPECT_LT(Form->minimumSizeHint().width(), 800);
        // Every channel is there, reachable by scrolling inside the panel.
        auto* groups = Child<QWidget>(Form.get(), "pnlActivationGroups");
        EXPECT_GE(groups->findChildren<QCheckBox*>().size(), 24);
        EXPECT_LE(panel->width(), Form->width());
        // The values above keep most of the window's height.
        EXPECT_LT(panel->height(), ScreenHeight / 3);
    }
    activation->trigger(); // unticked: the panel goes at once
    Settle();
    EXPECT_FALSE(panel->isVisible());
    Form->HandleMessage(WM_USER + 3, 0, 0);
    Settle();
    EXPECT_LE(Form->width(), ScreenWidth);
}

// At 2× scale the top bar cannot hold a long mode text whole: the text ends in "…" (it keeps its first
// letters) and the window does not grow for it.
TEST_F(WindowLayoutTest, LongModeTextGivesWayInANarrowTopBar) {
    Form->resize(640, 450);
    Form->HandleMessage(WM_USER + 14, 4, 106); // "Наблюдение плавности работы на ХХ", 12 pt bold
    Settle();
    auto* mode = Child<QLabel>(Form.get(), "labReaction");
    ASSERT_GT(mode->fontMetrics().horizontalAdvance(mode->text()), 0);
    EXPECT_LE(Form->width(), 640);
    EXPECT_LE(Form->minimumSizeHint().width(), 640);
    EXPECT_GE(mode->width(), mode->minimumSizeHint().width());
}

// A rate of three digits and more stays whole in a narrow top bar, in the window's own words.
TEST_F(WindowLayoutTest, RateKeepsAllItsDigits) {
    Form->resize(640, 450);
    Form->HandleMessage(WM_USER + 14, 4, 7); // a long mode text beside it
    for (uint32_t tick = 1000; tick <= 1310; tick += 3)
        Form->HandleMessage(WM_USER + 4, tick, 0); // about 330 answers per second
    Settle();
    auto* rate = Child<QLabel>(Form.get(), "labRate");
    ASSERT_TRUE(rate->text().startsWith("3")) << rate->text().toStdString();
    EXPECT_GE(rate->width(), rate->fontMetrics().horizontalAdvance(rate->text()));
    EXPECT_LE(Form->width(), 640);
}

// A 1280 × 900 screen at 2× scale leaves 640 × 450: the activation panel scrolls its check boxes
// rather than making the window taller than that, and the values above keep at least half the height.
TEST_F(WindowLayoutTest, ActivationPanelKeepsTheWindowWithinAShortScreen) {
    const int shortHeight = 450;
    Form->resize(640, shortHeight);
    Form->statusBar()->showMessage("Журнал сохранен в файл LOGS/log001.txt"); // as after a Stop
    Settle();
    Form->HandleMessage(WM_USER + 11, 0, 0);
    Settle();
    auto* panel = Child<QWidget>(Form.get(), "pnlActivation");
    ASSERT_TRUE(panel->isVisible());
    EXPECT_LE(Form->height(), shortHeight);
    EXPECT_LE(Form->minimumSizeHint().height(), shortHeight);
    EXPECT_GE(Child<QWidget>(Form.get(), "pg")->height(), panel->height());
}

// What the user must read stays readable at 1× on a 1280 × 720 screen and at 2× on a 1366 × 768 one
// (683 × 384 logical pixels), in every language: the twelve main values, the mode text and every side
// tab's caption; an LH code banner wraps instead of widening the window.
// A platform style that cuts tab captions it has no room for (as some desktops' do).
class TElidingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        return hint == SH_TabBar_ElideMode ? int(Qt::ElideRight)
                                           : QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// A connection whose unit offers the trip computer too.
class TTripConnection : public testing::TRecordingConnection {
public:
    bool TripReady() const override { return true; }
};

class ReadableLayoutTest : public ::testing::TestWithParam<std::tuple<char, int, int>> {
protected:
    static std::string Shipped(const char* file) {
        std::ifstream in(std::filesystem::path(VELMORA_DATA_DIR) / file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void SetUp() override {
        PreviousStyle = QApplication::style()->name();
        QApplication::setStyle(new TElidingStyle(QStyleFactory::create(PreviousStyle)));
        RegisterSimPorts();
        for (const char* file : {"english.txt", "deutsch.txt", "options.ini"})
            Folder.WriteFile(std::string("DATA/") + file, Shipped(file));
        Folder.WriteFile(SettingsFile().filename(),
                         std::string("[OPTIONS]\nPORT=SIM:hfm-misfire\nLANGUAGE=") + Language() + "\n");
        ResetDictionary();
        SetLanguage(Language());
        Connection.Set.LoadBuiltinSet(UnitHfm, 'A');
        AppendPeriodParams(Connection.Set, 6); // every side tab is there
        Form = std::make_unique<TMainForm>(Connection, "SIM");
        Form->resize(Size());
        Form->show();
        Connection.Alive = Connection.Ecu = true;
        Form->HandleMessage(WM_USER + 2, 0, 0);
        Form->HandleMessage(WM_USER + 14, 4, 7); // "Обогащение после пуска"
        Child<QTabWidget>(Form.get(), "pg")->setCurrentIndex(PageScreens);
        Settle();
    }
    void TearDown() override {
        Form.reset();
        QApplication::setStyle(PreviousStyle);
        SetLanguage('R');
        ResetDictionary();
    }
    char Language() const { return std::get<0>(GetParam()); }
    QSize Size() const { return {std::get<1>(GetParam()), std::get<2>(GetParam())}; }

    // Every row of the main zone of the first screen ("Основные") lies whole inside what the page shows.
    void ExpectMainValuesShown(const char* when) {
        auto* page = Form->findChild<TScreenPage*>("screen0");
        ASSERT_NE(page, nullptr);
        const QList<TParamRow*> rows = page->MainZone()->findChildren<TParamRow*>();
        EXPECT_EQ(rows.size(), 12);
        for (TParamRow* row : rows)
            EXPECT_EQ(row->visibleRegion().boundingRect(), row->rect())
                << when << ": " << row->NameLabel()->text().toStdString();
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    TTripConnection Connection;
    std::unique_ptr<TMainForm> Form;
    QString PreviousStyle;
};

TEST_P(ReadableLayoutTest, MainValuesStatusAndTabsAreReadable) {
    EXPECT_EQ(Form->size(), Size());
    ExpectMainValuesShown("screens");
    auto* mode = Child<QLabel>(Form.get(), "labReaction");
    EXPECT_EQ(mode->text().toStdString(), EngineModeText(7));
    EXPECT_GE(mode->width(), mode->fontMetrics().horizontalAdvance(mode->text())) << "the mode text is cut";
    QTabBar* tabs = Child<QTabWidget>(Form.get(), "pg")->tabBar();
    EXPECT_TRUE(tabs->isTabVisible(PageSmooth) && tabs->isTabVisible(PageComputer));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->isTabVisible(i)) {
            EXPECT_GE(tabs->tabRect(i).height(), tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)))
                << tabs->tabText(i).toStdString();
        }
    }
    auto* port = Child<QPushButton>(Form.get(), "btnPort");
    EXPECT_EQ(port->text(), "SIM:hfm-misfire");
    EXPECT_GE(port->width(), port->fontMetrics().horizontalAdvance(port->text())) << "the port is cut";
}

TEST_P(ReadableLayoutTest, AnLhBannerWrapsInsideTheWindow) {
    Form->HandleMessage(WM_USER + 22, 80, 760); // the longest text of the running codes
    Settle();
    auto* banner = Child<QLabel>(Form.get(), "pnlLhCode");
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(Form->size(), Size());
    EXPECT_LE(banner->width(), Form->width());
    EXPECT_GE(banner->height(), banner->heightForWidth(banner->width())) << "the text is cut, not wrapped";
}

TEST_P(ReadableLayoutTest, MainValuesStayBesideTheActivationPanel) {
    if (Size().height() < 720)
        GTEST_SKIP() << "the panel and twelve values need more than a 2× screen's height";
    Form->HandleMessage(WM_USER + 16, 0, 0);
    Child<QAction>(Form.get(), "mnuActivation")->trigger();
    Form->HandleMessage(WM_USER + 11, 0, 0);
    Settle();
    ASSERT_TRUE(Child<QWidget>(Form.get(), "pnlActivation")->isVisible());
    EXPECT_EQ(Form->size(), Size());
    ExpectMainValuesShown("activation panel open");
}

INSTANTIATE_TEST_SUITE_P(Screens, ReadableLayoutTest,
                         ::testing::Values(std::tuple{'R', 1280, 720}, std::tuple{'E', 1280, 720},
                                           std::tuple{'D', 1280, 720}, std::tuple{'R', 683, 384},
                                           std::tuple{'E', 683, 384}, std::tuple{'D', 683, 384}),
                         [](const auto& row) {
                             return std::string(1, std::get<0>(row.param)) + "_" +
                                    std::to_string(std::get<1>(row.param)) + "x" +
                                    std::to_string(std::get<2>(row.param));
                         });

} // namespace
} // namespace velmora
