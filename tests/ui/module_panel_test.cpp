// The E-GAS and SRS side panels: their information lines, the refusals, a dialogue on its own thread
// against the simulated car with the buttons held meanwhile, Stop, and the menu entries.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <atomic>
#include <thread>

#include "host_recorder.h"
#include "links/line_lease.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/panels/module_panel.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

// Virtual time that stands still at the first sleep until the test opens the gate.
class TGatedClock final : public TClock {
public:
    uint32_t TickCount() override { return Inner.TickCount(); }
    int64_t PerfCounter() override { return Inner.PerfCounter(); }
    int64_t PerfFrequency() override { return Inner.PerfFrequency(); }
    void Sleep(uint32_t ms) override {
        while (!Open.load())
            std::this_thread::yield();
        Inner.Sleep(ms);
    }
    void WaitUntil(int64_t counter) override { Inner.WaitUntil(counter); }
    std::atomic<bool> Open{true};

private:
    TManualClock Inner;
};

class ModulePanelTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterSimPorts(); }
    TModulePanelHost PanelHost() {
        return {[this] { return PortName; }, [this] { return Kind; }, [] { return std::string(); },
                [this] { return EngineConnected; }, [this](bool running) { RunningSeen.push_back(running); }};
    }
    // Runs until the panel's dialogue has ended; the result it reported.
    bool Finish(TModulePanel& panel) {
        QSignalSpy finished(&panel, &TModulePanel::Finished);
        // The dialogue thread runs in virtual time but needs real processor time: up to 60 s of it.
        for (int i = 0; i < 6000 && finished.count() == 0; ++i)
            finished.wait(10);
        return finished.count() > 0 && finished.front().front().toBool();
    }

    TGatedClock GatedClock;
    TScopedClock UseClock{GatedClock};
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    std::string PortName = "SIM";
    char Kind = 'K';
    bool EngineConnected = false;
    std::vector<bool> RunningSeen;
};

TEST_F(ModulePanelTest, ShowsItsConnectionLinesAndXHidesThem) {
    TModulePanel egas(TModulePanel::TModule::EGas, PanelHost());
    TModulePanel srs(TModulePanel::TModule::Srs, PanelHost());
    egas.ShowPanel();
    srs.ShowPanel();
    EXPECT_EQ(testing::Child<QLabel>(&egas, "labEGasInfo")->text().toStdString(),
              "Тестирование ЭБУ E-GAS,\nПодключение:\nпин 14 (колодка диагностики 16 пин, W124),\n"
              "пин 7 (колодка диагностики 38)");
    EXPECT_EQ(testing::Child<QLabel>(&srs, "labSRSInfo")->text().toStdString(),
              "Диагностика SRS,\nПодключение:\nпин 6 (разъем диагностики 16 пин, W124),\n"
              "пин 30 (разъем диагностики 38 пин)");
    testing::Child<QPushButton>(&egas, "btnEGasHide")->click();
    EXPECT_TRUE(egas.isHidden());
    EXPECT_TRUE(testing::Child<QLabel>(&egas, "labEGasInfo")->text().isEmpty());
}

TEST_F(ModulePanelTest, RefusesCarSoftARunningEngineConnectionAndNoPort) {
    TModulePanel srs(TModulePanel::TModule::Srs, PanelHost());
    Kind = 'C';
    EXPECT_FALSE(srs.Start(false));
    Kind = 'K';
    EngineConnected = true;
    EXPECT_FALSE(srs.Start(false));
    EngineConnected = false;
    PortName = "Port ?";
    EXPECT_FALSE(srs.Start(false));
    const std::vector<std::string> boxes = Host.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], "Диагностика SRS невозможна с выбранным типом адаптера.\n"
                        "Используйте адаптер K-Line (USB KKL, VAG COM 409.1)!");
    EXPECT_EQ(boxes[1], "Линия занята: связь с ЭБУ двигателя. Дождитесь окончания или нажмите Stop.");
    EXPECT_EQ(boxes[2], "Необходимо выбрать COM порт!");
    EXPECT_TRUE(RunningSeen.empty());
}

TEST_F(ModulePanelTest, DialogueRunsOnItsOwnThreadWithTheButtonsHeld) {
    TModulePanel egas(TModulePanel::TModule::EGas, PanelHost());
    GatedClock.Open = false; // the dialogue waits at its first sleep until the window has been looked at
    testing::Child<QPushButton>(&egas, "btnEGasRead")->click();
    EXPECT_TRUE(egas.Running());
    EXPECT_FALSE(testing::Child<QPushButton>(&egas, "btnEGasRead")->isEnabled());
    EXPECT_FALSE(testing::Child<QPushButton>(&egas, "btnEGasErase")->isEnabled());
    EXPECT_TRUE(testing::Child<QPushButton>(&egas, "btnEGasStop")->isEnabled());
    EXPECT_FALSE(egas.Start(true)) << "one dialogue at a time";
    GatedClock.Open = true;
    EXPECT_TRUE(Finish(egas));
    EXPECT_FALSE(egas.Running());
    EXPECT_TRUE(testing::Child<QPushButton>(&egas, "btnEGasRead")->isEnabled());
    EXPECT_EQ(RunningSeen, (std::vector<bool>{true, false}));
    EXPECT_NE(Host.LogText().find("          Module: E-GAS"), std::string::npos) << Host.LogText();
    EXPECT_NE(Host.LogText().find("Коды неисправностей :"), std::string::npos);
}

TEST_F(ModulePanelTest, StopEndsTheDialogueWithItsOwnText) {
    TModulePanel srs(TModulePanel::TModule::Srs, PanelHost());
    GatedClock.Open = false;
    ASSERT_TRUE(srs.Start(false));
    testing::Child<QPushButton>(&srs, "btnSRSStop")->click();
    GatedClock.Open = true;
    EXPECT_FALSE(Finish(srs));
    EXPECT_NE(Host.LogText().find("Диагностика остановлена пользователем."), std::string::npos)
        << Host.LogText();
}

TEST_F(ModulePanelTest, MenuEntriesShowOnePanelAtATime) {
    QMenuBar bar;
    TModulePanel egas(TModulePanel::TModule::EGas, PanelHost());
    TModulePanel srs(TModulePanel::TModule::Srs, PanelHost());
    AddModuleMenus(&bar, &egas, &srs);
    testing::Child<QAction>(&bar, "mnuEGas")->trigger();
    EXPECT_FALSE(egas.isHidden());
    EXPECT_TRUE(srs.isHidden());
    testing::Child<QAction>(&bar, "mnuSRSTop")->trigger();
    EXPECT_TRUE(egas.isHidden());
    EXPECT_FALSE(srs.isHidden());
    testing::Child<QAction>(&bar, "mnuEGS")->trigger();
    EXPECT_EQ(Host.Boxes(), std::vector<std::string>{"В разработке!"});
}

// A running dialogue holds the line: the other module is refused with the text naming it, and showing the
// other panel leaves the running one in sight with its Stop. At the end the port is freed.
TEST_F(ModulePanelTest, ARunningDialogueKeepsItsPanelAndTheLine) {
    QMenuBar bar;
    TModulePanel egas(TModulePanel::TModule::EGas, PanelHost());
    TModulePanel srs(TModulePanel::TModule::Srs, PanelHost());
    AddModuleMenus(&bar, &egas, &srs);
    testing::Child<QAction>(&bar, "mnuEGas")->trigger();
    GatedClock.Open = false;
    ASSERT_TRUE(egas.Start(false));
    testing::Child<QAction>(&bar, "mnuSRS")->trigger();
    EXPECT_FALSE(egas.isHidden());
    EXPECT_TRUE(testing::Child<QPushButton>(&egas, "btnEGasStop")->isEnabled());
    testing::Child<QPushButton>(&egas, "btnEGasHide")->click();
    EXPECT_FALSE(egas.isHidden()) << "hidden, its Stop would be gone";
    EXPECT_FALSE(srs.Start(false));
    EXPECT_EQ(Host.Boxes(), std::vector<std::string>{
                                "Линия занята: диагностика E-GAS. Дождитесь окончания или нажмите Stop."});
    GatedClock.Open = true;
    EXPECT_TRUE(Finish(egas));
    EXPECT_EQ(LineHolder(), "");
    EXPECT_EQ(Port(), nullptr) << "the dialogue's port is not left for the next job to free";
    EXPECT_EQ(RunningSeen, (std::vector<bool>{true, false})) << "the refused start changed nothing";
}

} // namespace
} // namespace velmora
