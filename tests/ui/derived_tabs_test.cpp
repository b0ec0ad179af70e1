// The tabs "Равномерность" and "Маршрутник": their layout for four and six cylinders, the results and
// figures they show, the saves, and both tabs with the real worker against the simulated car (in real
// time: the wake-up takes 1-2 s).
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "smoothness/smooth_display.h"
#include "temp_folder.h"
#include "ui/smoothness/smooth_tab.h"
#include "ui/trip/trip_tab.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/worker_connection.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

bool WaitFor(const std::function<bool()>& done, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

TEST(SmoothTab, ColumnsFollowTheFiringOrder) {
    testing::TTempFolder folder;
    TSmoothTab tab;
    tab.resize(700, 400);
    std::vector<int> chosen;
    tab.OnCylinder = [&](int cylinder) { chosen.push_back(cylinder); };
    auto left = [&](const char* name) { return Child<QWidget>(&tab, name)->geometry().left(); };

    tab.SetUp(6);
    EXPECT_EQ(left("rb5"), 96);
    EXPECT_EQ(left("rb3"), 168);
    EXPECT_EQ(left("rb6"), 240);
    EXPECT_EQ(left("rb2"), 312);
    EXPECT_EQ(left("rb4"), 384);
    EXPECT_EQ(left("ed4"), 384);
    EXPECT_EQ(left("cbSmooth1"), 456);
    EXPECT_EQ(Child<QWidget>(&tab, "cbSmooth1")->width(),
              Child<QWidget>(&tab, "PanelSmooth")->width() - 456 - 3);
    EXPECT_EQ(left("BtnSmoothSave"), 456);
    EXPECT_EQ(chosen, std::vector<int>{1});

    Child<QRadioButton>(&tab, "rb5")->click();
    EXPECT_EQ(chosen.back(), 5);
    tab.SetUp(4);
    EXPECT_TRUE(Child<QWidget>(&tab, "rb5")->isHidden());
    EXPECT_TRUE(Child<QWidget>(&tab, "ed6")->isHidden());
    EXPECT_TRUE(Child<QRadioButton>(&tab, "rb1")->isChecked()) << "cylinder 5 is gone: back to 1";
    EXPECT_EQ(chosen.back(), 1);
    EXPECT_EQ(left("rb3"), 96);
    EXPECT_EQ(left("rb4"), 168);
    EXPECT_EQ(left("rb2"), 240);
    EXPECT_EQ(left("cbSmooth1"), 312);

    // A round: its line goes to the memo when the next one starts.
    auto* memo = Child<QPlainTextEdit>(&tab, "MemoSm");
    const int before = memo->blockCount();
    tab.ShowResult(0, PackSmoothResult(0, 720));
    EXPECT_EQ(Child<QLineEdit>(&tab, "edRpm")->text(), "-");
    for (auto [cylinder, deviation] : {std::pair{1, 7}, {3, -14}, {4, 0}, {2, 96}})
        tab.ShowResult(cylinder, PackSmoothResult(int16_t(deviation), 718));
    EXPECT_EQ(Child<QLineEdit>(&tab, "ed3")->text(), "-1.4%");
    EXPECT_EQ(Child<QLineEdit>(&tab, "ed2")->text(), "+9.6%");
    EXPECT_EQ(Child<QLineEdit>(&tab, "edRpm")->text(), "718");
    tab.ShowResult(0, PackSmoothResult(0, 718));
    EXPECT_EQ(memo->blockCount(), before + 1);
    const QString round = "* +0.7%    -1.4%    0.0%     +9.6%    подозрение: цилиндр 2 (+9.6%, порог 0.7%)";
    EXPECT_EQ(memo->toPlainText().split('\n').last(), round);
    EXPECT_TRUE(Child<QLineEdit>(&tab, "ed3")->text().isEmpty());

    // Two saves without clearing write one file; after clearing the next number.
    tab.SmoothButtonClick(true);
    const std::filesystem::path first = folder.Path() / "LOGS" / "smooth001.txt";
    EXPECT_EQ(std::filesystem::path(tab.SaveFile()), first);
    tab.SmoothButtonClick(true);
    EXPECT_EQ(std::filesystem::path(tab.SaveFile()), first);
    EXPECT_NE(folder.ReadFile("LOGS/smooth001.txt").find(round.toStdString() + "\n"), std::string::npos);
    tab.SmoothButtonClick(false);
    EXPECT_EQ(memo->blockCount(), 3) << "a fresh memo starts with the run's heading";
    EXPECT_TRUE(memo->toPlainText().split('\n').last().startsWith("  Цил. 1   Цил. 3"));
    tab.SmoothButtonClick(true);
    EXPECT_EQ(std::filesystem::path(tab.SaveFile()).filename(), "smooth002.txt");
}

TEST(TripTab, ShowsTheFiguresAndWritesTheLog) {
    testing::TTempFolder folder;
    TTripTab tab;
    // 5 km in 10 minutes on 0.4 l, 2 minutes of it at idle on 25 ml; the last 100 ms took 30 mm³.
    tab.ShowTrip(TTripSums{500000, 400000, 25000, 30, 600000, 120000, 100}, "Sidorov");
    const std::pair<const char*, const char*> shown[] = {
        {"labTime", "10:00 м:с"}, {"labTimeIdle", "02:00 м:с"}, {"LabDist", "5.0 км"},
        {"LabFuel", "0.40 л"},    {"LabFuelIdle", "0.03 л"},    {"labSpeedAVG", "30 км/ч"},
        {"labCommon", "8.0"},     {"labLastFE", "1.1"},         {"labIdleFE", "0.75"},
    };
    for (const auto& [name, text] : shown)
        EXPECT_EQ(Child<QLabel>(&tab, name)->text().toStdString(), text) << name;
    EXPECT_TRUE(Child<QLabel>(&tab, "LabRpm")->isHidden());
    // The first display writes the day's file in the client's folder.
    std::error_code error;
    const auto files = std::filesystem::directory_iterator(folder.Path() / "LOGS" / "Sidorov", error);
    ASSERT_FALSE(error);
    int found = 0;
    for (const auto& entry : files)
        found += entry.path().filename().string().starts_with("bc");
    EXPECT_EQ(found, 1);
}

// The host of the window, answering every box OK.
class TQuietHost : public TQtHost {
public:
    TQuietHost() { SetHost(this); }
    ~TQuietHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view, TMsgKind, TMsgButtons) override { return TMsgResult::Ok; }
};

TEST(DerivedTabs, BothRunAgainstTheSimulatedCar) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    TQuietHost host;
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM:hfm-misfire\n");
    TWorkerConnection connection;
    TMainForm form(connection);
    auto* pg = Child<QTabWidget>(&form, "pg");
    form.btnConnectClick();
    ASSERT_TRUE(WaitFor([&] { return pg->isTabVisible(PageScreens); }, 15))
        << form.LogMemo()->toPlainText().toStdString();
    EXPECT_TRUE(pg->isTabVisible(PageSmooth));
    EXPECT_TRUE(pg->isTabVisible(PageComputer));

    pg->setCurrentIndex(PageComputer);
    auto* time = Child<QLabel>(&form, "labTime");
    EXPECT_TRUE(WaitFor([&] { return time->text().endsWith("м:с") && time->text() != "00:00 м:с"; }, 10))
        << time->text().toStdString();

    pg->setCurrentIndex(PageSmooth);
    auto* ed2 = Child<QLineEdit>(&form, "ed2");
    auto* memo = Child<QPlainTextEdit>(&form, "MemoSm");
    // Cylinder 2 gets no fuel: its deviation is the large one, several rounds long.
    EXPECT_TRUE(WaitFor([&] { return memo->blockCount() > 6; }, 15)) << memo->toPlainText().toStdString();
    EXPECT_FALSE(ed2->text().isEmpty());
    form.StopClick();
    EXPECT_TRUE(WaitFor([&] { return !connection.IsAlive(); }, 5));
}

TEST(DerivedTabs, NoSmoothnessTabThroughAnElm327) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    TQuietHost host;
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIMELM:hfm\nADAPTER=E\n");
    TWorkerConnection connection;
    TMainForm form(connection);
    auto* pg = Child<QTabWidget>(&form, "pg");
    form.btnConnectClick();
    ASSERT_TRUE(WaitFor([&] { return pg->isTabVisible(PageScreens); }, 20))
        << form.LogMemo()->toPlainText().toStdString();
    EXPECT_FALSE(pg->isTabVisible(PageSmooth));
    EXPECT_TRUE(pg->isTabVisible(PageComputer));
    form.StopClick();
    EXPECT_TRUE(WaitFor([&] { return !connection.IsAlive(); }, 5));
}

} // namespace
} // namespace velmora
