#include "ui/panels/line_functions.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "actuators/actuator_state.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "platform/program_folders.h"
#include "platform/velmora_version.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/panels/lh_code_banner_view.h"
#include "ui/window/main_form.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

// Serves the window's events on the real clock until `done` holds or 5 s pass (a job thread is at work).
bool ServeUntil(const std::function<bool()>& done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

// The parts of the main window the line functions use: a memo row, a side column, a menu bar and
// "Connect".
class LineFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSimPorts();
        SetLanguage('R');
        auto* column = new QVBoxLayout(&Window);
        Menus = new QMenuBar(&Window);
        column->addWidget(Menus);
        Before = Menus->addAction("Версия");
        auto* row = new QHBoxLayout;
        column->addLayout(row);
        Memo = new QPlainTextEdit;
        row->addWidget(Memo, 1);
        auto* side = new QVBoxLayout;
        row->addLayout(side);
        Connect = new QPushButton("Connect");
        column->addWidget(Connect);
        Functions = new TLineFunctions({[this] { return PortName; },
                                        [this] { return Adapter; },
                                        [this] { return SessionRunning; },
                                        [this](bool on) { Connect->setEnabled(on); },
                                        [this](bool on) { PortButtonEnabled = on; },
                                        [this] { ++LogSaves; },
                                        {},
                                        [this] { return LastUnit; }},
                                       &Window);
        Functions->AddToMemoPage(row, side);
        Functions->AddMenus(Menus, Before, Before);
        Window.show();
    }
    void TearDown() override { Functions->StopAndWait(); }

    QAction* Action(const char* name) { return Child<QAction>(&Window, name); }
    QWidget* Panel() { return Child<QWidget>(&Window, "PnlAnalogDiag"); }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    QWidget Window;
    QMenuBar* Menus = nullptr;
    QAction* Before = nullptr;
    QPlainTextEdit* Memo = nullptr;
    QPushButton* Connect = nullptr;
    TLineFunctions* Functions = nullptr;
    std::string PortName = "SIM:hfm-blink";
    char Adapter = 'K';
    bool SessionRunning = false;
    int LogSaves = 0;
    bool PortButtonEnabled = true;
    uint8_t LastUnit = 0; // the family of the last connection
};

TEST_F(LineFunctionsTest, MenusOfferTheFunctionsInOrder) {
    QStringList captions;
    for (QAction* action : Menus->actions())
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Функции", "Медленные коды", "Версия"}));
    QStringList entries;
    for (QAction* action : Child<QMenu>(&Window, "mnuFunctions")->actions())
        entries << action->text();
    EXPECT_EQ(entries,
              (QStringList{"Тестирование адаптера", "Прижать K-линию к массе на 4 с",
                           "Прижать K-линию к массе на 6 с", "Прижать K-линию к массе на 8 с",
                           "Перевести ELM327 в режим K-Line", "Аналоговое чтение памяти неисправностей"}));
    // The cable functions are not offered for an ELM327.
    auto* menu = Child<QMenu>(&Window, "mnuFunctions");
    Adapter = 'E';
    emit menu->aboutToShow();
    EXPECT_FALSE(Action("mnuTestAdapter")->isEnabled());
    EXPECT_FALSE(Action("mnuDownKLine6")->isEnabled());
    EXPECT_TRUE(Action("mnuElmToKkl")->isEnabled());
    Adapter = 'C';
    emit menu->aboutToShow();
    EXPECT_TRUE(Action("mnuTestAdapter")->isEnabled());
}

TEST_F(LineFunctionsTest, WindowStaysResponsiveDuringASlowCodeRunAndStopEndsIt) {
    Action("mnuSlowCodes")->trigger();
    ASSERT_TRUE(Panel()->isVisible());
    EXPECT_FALSE(Connect->isEnabled()) << "no connection while the panel is shown";
    auto* read = Child<QPushButton>(&Window, "btnLedRead");
    EXPECT_FALSE(read->isEnabled()) << "gated by the check box";
    Child<QCheckBox>(&Window, "cbLedEnabled")->setChecked(true);
    ASSERT_TRUE(read->isEnabled());

    read->click();
    ASSERT_TRUE(Functions->Busy());
    EXPECT_FALSE(read->isEnabled());
    // The run holds the line low for 3 s first; the window keeps serving its events meanwhile.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    auto* progress = Child<QLabel>(&Window, "labLedProgress");
    EXPECT_TRUE(ServeUntil([&] { return ticks >= 10 && !progress->text().isEmpty(); }));
    EXPECT_TRUE(Functions->Busy());
    EXPECT_FALSE(PortButtonEnabled) << "no other port while the run holds this one";
    EXPECT_EQ(progress->text(), "Запрос кода 1: линия на массе");
    Child<QPushButton>(&Window, "Button2")->click();
    EXPECT_TRUE(Panel()->isVisible()) << "a run keeps its panel";
    EXPECT_FALSE(Connect->isEnabled());

    Functions->Stop();
    ASSERT_TRUE(ServeUntil([&] { return !Functions->Busy(); }));
    EXPECT_NE(Host.LogText().find("Обмен остановлен."), std::string::npos) << Host.LogText();
    EXPECT_EQ(LogSaves, 1) << "the log is saved after the run";
    EXPECT_TRUE(PortButtonEnabled);
    EXPECT_EQ(Port(), nullptr);
    Child<QPushButton>(&Window, "Button2")->click();
    EXPECT_FALSE(Panel()->isVisible());
    EXPECT_TRUE(Connect->isEnabled());
}

TEST_F(LineFunctionsTest, ReadRunReportsTheCodesAndAdapterTestRunsOffTheWindowThread) {
    TManualClock clock;
    TScopedClock scoped(clock);
    LastUnit = 1; // the last connection was an HFM unit: its blink codes are explained
    Action("mnuAnalogRead")->trigger();
    EXPECT_EQ(Child<QComboBox>(&Window, "cbLedUnit")->currentText(), "HFM");
    Child<QCheckBox>(&Window, "cbLedEnabled")->setChecked(true);
    Child<QPushButton>(&Window, "btnLedErase")->click();
    ASSERT_TRUE(ServeUntil([&] { return !Functions->Busy(); }));
    const std::string log = Host.LogText();
    for (const char* line :
         {"Чтение и удаление кодов неисправностей: запуск", " 4", " 7", " 14", "Завершено!",
          "Значения кодов (HFM):", " 4 - Датчик массового расхода воздуха B2/5 (коды 009-010)",
          " 7 - Потенциометр привода дроссельной заслонки, европейские блоки (коды 017-019)",
          " 14 - Форсунка цилиндра 1"})
        EXPECT_NE(log.find(line), std::string::npos) << line << " in " << log;
    EXPECT_EQ(LogSaves, 1);
    EXPECT_TRUE(Child<QLabel>(&Window, "labLedProgress")->text().isEmpty());

    Host.Clear();
    PortName = "SIM:cable";
    Action("mnuTestAdapter")->trigger();
    ASSERT_TRUE(ServeUntil([&] { return !Functions->Busy(); }));
    EXPECT_NE(Host.LogText().find("Адаптер исправен!"), std::string::npos) << Host.LogText();
    EXPECT_FALSE(Connect->isEnabled()) << "the analog panel is still shown";
}

TEST_F(LineFunctionsTest, AJobWhosePortDoesNotOpenShowsTheCauseAndItsFix) {
    PortName = "/dev/ttyUSB-velmora-unplugged";
    const std::string cause = "Не могу открыть порт " + PortName +
                              ": устройство не найдено; подключите адаптер или выберите другой порт";
    const std::function<void()> starts[] = {
        [&] { Action("mnuTestAdapter")->trigger(); },
        [&] {
            Action("mnuSlowCodes")->trigger();
            Child<QCheckBox>(&Window, "cbLedEnabled")->setChecked(true);
            Child<QPushButton>(&Window, "btnLedRead")->click();
        },
    };
    for (const auto& start : starts) {
        Host.Clear();
        start();
        ASSERT_TRUE(ServeUntil([&] { return !Functions->Busy(); }));
        EXPECT_NE(Host.LogText().find(cause), std::string::npos) << Host.LogText();
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST_F(LineFunctionsTest, AnalogPanelNeedsAKLineAdapter) {
    Adapter = 'E';
    Action("mnuSlowCodes")->trigger();
    EXPECT_FALSE(Panel()->isVisible());
    ASSERT_EQ(Host.Boxes().size(), 1u);
    EXPECT_EQ(Host.Boxes()[0],
              "Воспользуйтесь функцией \"Перевести ELM327 в режим работы K-Line\"\r"
              "Аналоговая диагностика (медленные коды) невозможна с выбранным типом адаптера.\r"
              "Используйте адаптер K-Line (USB KKL, VAG COM 409.1)!");
    EXPECT_TRUE(Connect->isEnabled());
}

TEST_F(LineFunctionsTest, PlanButtonTogglesThePlanOfTheLanguage) {
    Folder.WriteFile("DATA/ru/Plan.txt", "1. Проверить адаптер\r\n");
    auto* plan = Child<QPlainTextEdit>(&Window, "MemoPlan");
    EXPECT_FALSE(plan->isVisible());
    Child<QPushButton>(&Window, "BtnPlan")->click();
    EXPECT_TRUE(plan->isVisible());
    EXPECT_EQ(plan->toPlainText(), "1. Проверить адаптер\n");
    Child<QPushButton>(&Window, "BtnPlan")->click();
    EXPECT_FALSE(plan->isVisible());
}

TEST(LhCodeBannerView, CreatedOnFirstCodeColouredAndEmptied) {
    QWidget page;
    new QVBoxLayout(&page);
    ShowLhCodeBanner(&page, 0, 0, 'R');
    EXPECT_EQ(page.findChild<QLabel*>("pnlLhCode"), nullptr) << "(0, 0) creates nothing";
    ShowLhCodeBanner(&page, 40, 760, 'R');
    auto* banner = page.findChild<QLabel*>("pnlLhCode");
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->text(), "%  40 Датчик массового расхода воздуха, дефект");
    // The code's colour fills the banner; the text takes the colour that reads on it.
    const std::tuple<int, int, QColor, QColor> looks[] = {{40, 760, QColor(255, 0, 0), QColor(Qt::white)},
                                                          {50, 0, QColor(0, 128, 0), QColor(Qt::white)},
                                                          {30, 0, QColor(255, 255, 0), QColor(Qt::black)}};
    for (const auto& [code, table, ground, text] : looks) {
        ShowLhCodeBanner(&page, code, table, 'R');
        EXPECT_EQ(banner->palette().color(QPalette::Window), ground) << code;
        EXPECT_EQ(banner->palette().color(QPalette::WindowText), text) << code;
    }
    EXPECT_TRUE(banner->wordWrap());
    ShowLhCodeBanner(&page, 50, 0, 'E');
    EXPECT_EQ(banner->text(), "%  50 Input signals OK");
    ShowLhCodeBanner(&page, 0, 0, 'E');
    EXPECT_TRUE(banner->text().isEmpty());
    EXPECT_EQ(page.layout()->itemAt(0)->widget(), banner) << "at the top of the page";
}

// The main window with no engine connection behind it.
class TIdleConnection : public TConnectionControl {
public:
    void Start(const std::string&, char, const TConnectOptions&) override { ++Starts; }
    void Stop() override {}
    bool IsAlive() const override { return false; }
    bool InConnection() const override { return false; }
    bool EcuConnected() const override { return false; }
    std::shared_ptr<const TListParams> Params() const override { return nullptr; }
    std::string LogFileName() const override { return {}; }
    void SetWordCorrection(bool) override {}
    void RequestPolling() override {}
    void SetBackgroundReading(int) override {}
    void DeferBackgroundReads(int, bool) override {}
    void RequestViewList(std::shared_ptr<TListPrm>, bool) override {}
    void RequestFaultView() override {}
    void RequestErase() override {}
    std::optional<TFaultData> FaultData() const override { return std::nullopt; }
    TActuatorState& Actuators() override { return Acts; }
    TActuatorState Acts;
    int Starts = 0;
};

TEST(MainFormLineFunctions, MenusPanelStopAndBannerInTheWindow) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM:hfm-blink\nADAPTER=K\n");
    testing::THostRecorder host;
    TIdleConnection connection;
    TMainForm form(connection, "SIM:hfm-blink");
    form.show();
    QStringList menus;
    for (QAction* action : form.menuBar()->actions())
        menus << action->text();
    EXPECT_LT(menus.indexOf("Функции"), menus.indexOf("HFM"));
    EXPECT_LT(menus.indexOf("HFM"), menus.indexOf("Медленные коды"));
    EXPECT_LT(menus.indexOf("Медленные коды"), menus.indexOf(QString("Version ") + PackageVersion));

    auto* connect = Child<QPushButton>(&form, "btnConnect");
    ASSERT_TRUE(connect->isEnabled());
    Child<QAction>(&form, "mnuSlowCodes")->trigger();
    EXPECT_FALSE(connect->isEnabled());
    Child<QCheckBox>(&form, "cbLedEnabled")->setChecked(true);
    Child<QPushButton>(&form, "btnLedRead")->click();
    EXPECT_FALSE(Child<QPushButton>(&form, "btnPort")->isEnabled());
    QTest::keyClick(&form, Qt::Key_C);
    EXPECT_EQ(connection.Starts, 0) << "the key C does not start a connection either";
    form.StopClick();
    ASSERT_TRUE(ServeUntil([&] { return Child<QPushButton>(&form, "btnPort")->isEnabled(); }));
    EXPECT_NE(host.LogText().find("Обмен остановлен."), std::string::npos) << host.LogText();
    EXPECT_FALSE(form.LogSaveFile().empty()) << "the log memo was saved after the run";
    Child<QPushButton>(&form, "Button2")->click();
    EXPECT_TRUE(connect->isEnabled());

    form.HandleMessage(WM_USER + 22, 95, 800);
    auto* banner = Child<QLabel>(&form, "pnlLhCode");
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->text(), "%  95 Режим Принудительный холостой ход (нет подачи топлива)");
    EXPECT_EQ(banner->parentWidget()->objectName(), "tsScreens");
}

// The line functions and the module dialogues share one "Функции" menu, and their side panels take turns.
TEST(MainFormLineFunctions, ModuleAndSlowCodePanelsShareTheMenuAndTakeTurns) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM\nADAPTER=K\n");
    testing::THostRecorder host;
    TIdleConnection connection;
    TMainForm form(connection, "SIM");
    form.show();
    EXPECT_EQ(form.menuBar()->findChildren<QMenu*>("mnuFunctions").size(), 1);

    auto* analog = Child<QWidget>(&form, "PnlAnalogDiag");
    auto* egas = Child<QWidget>(&form, "pnlEGas");
    Child<QAction>(&form, "mnuSlowCodes")->trigger();
    EXPECT_TRUE(analog->isVisible());
    Child<QAction>(&form, "mnuEGas")->trigger();
    EXPECT_TRUE(egas->isVisible());
    EXPECT_FALSE(analog->isVisible());
    Child<QAction>(&form, "mnuSlowCodes")->trigger();
    EXPECT_TRUE(analog->isVisible());
    EXPECT_FALSE(egas->isVisible());
}

} // namespace
} // namespace velmora
