#include "ui/window/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "actuators/actuator_state.h"
#include "actuators/coding.h"
#include "connection/com_reader.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "params/list_prm.h"
#include "params/param_ids.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "platform/velmora_version.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/dialogs/input_box.h"
#include "ui/dialogs/select_port_form.h"
#include "ui/screens/param_row.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

// A connection that only records what the window asked of it.
class TFakeConnection : public TConnectionControl {
public:
    void Start(const std::string& port, char kind, const TConnectOptions& options) override {
        StartedPort = port;
        StartedKind = kind;
        Options = options;
    }
    void Stop() override { ++Stops; }
    bool IsAlive() const override { return Alive; }
    bool InConnection() const override { return Alive; }
    bool EcuConnected() const override { return Ecu; }
    std::shared_ptr<const TListParams> Params() const override { return testing::Borrow(Set); }
    std::string LogFileName() const override { return "LOGS/HFM_001.bin"; }
    void SetWordCorrection(bool on) override { WordCorrection = on; }
    void RequestPolling() override { ++PollRequests; }
    void SetBackgroundReading(int on) override { Background = on; }
    void DeferBackgroundReads(int, bool) override {}
    void RequestViewList(std::shared_ptr<TListPrm> list, bool graph) override {
        ViewList = list;
        ViewIsGraph = graph;
    }
    void RequestFaultView() override { ++FaultViews; }
    void RequestErase() override { ++Erases; }
    std::optional<TFaultData> FaultData() const override { return Faults; }
    TActuatorState& Actuators() override { return Acts; }

    std::shared_ptr<TListPrm> ViewList;
    bool ViewIsGraph = false;
    int FaultViews = 0, Erases = 0;
    std::optional<TFaultData> Faults;
    TActuatorState Acts;
    std::string StartedPort;
    char StartedKind = 0;
    TConnectOptions Options;
    int Stops = 0, PollRequests = 0, Background = -1;
    bool Alive = false, Ecu = false, WordCorrection = false;
    TListParams Set;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterSimPorts(); }

    std::unique_ptr<TMainForm> MakeForm(const std::string& firstRunPort = {}) {
        return std::make_unique<TMainForm>(Connection, firstRunPort);
    }
    void WriteSettings(const std::string& text) { Folder.WriteFile(SettingsFile().filename(), text); }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    TFakeConnection Connection;
};

TEST_F(MainFormTest, SettingsWithoutKeysGiveTheDefaults) {
    WriteSettings("[OPTIONS]\n");
    auto form = MakeForm("SIM");
    const TProgramSettings& s = form->Settings();
    EXPECT_EQ(s.FontSize, 10);
    EXPECT_EQ(s.PrmFontSize, 12);
    EXPECT_EQ(s.ValueFontSize, 12);
    EXPECT_EQ(s.StatusFontSize, 12);
    EXPECT_TRUE(s.StatusSmartShow);
    EXPECT_EQ(s.ComLastNum, 20);
    EXPECT_EQ(s.Adapter, 'S');
    EXPECT_EQ(s.Language, 'R');
    // No port in the settings: the simulated car, as on a first run.
    EXPECT_EQ(form->PortName(), "SIM");
    EXPECT_NE(Child<QFrame>(form.get(), "pnlPortWarning")->palette().color(QPalette::Window),
              QColor(Qt::red));
    // Only the log and the faults are there before a connection.
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    EXPECT_TRUE(pg->isTabVisible(PageMemo));
    EXPECT_TRUE(pg->isTabVisible(PageError));
    EXPECT_FALSE(pg->isTabVisible(PageScreens));
    EXPECT_FALSE(pg->isTabVisible(PageGraph));
    QString memo = form->LogMemo()->toPlainText();
    EXPECT_TRUE(memo.contains(QString("Версия ") + PackageVersion));
    EXPECT_TRUE(memo.contains("Программа настроена для работы с обычным адаптером k-line"));
}

TEST_F(MainFormTest, FirstRunOffersTheSimulatedCar) {
    auto form = MakeForm("SIM");
    EXPECT_EQ(form->PortName(), "SIM");
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("OPTIONS", "PORT", ""), "SIM"); // written at once
    EXPECT_NE(Child<QFrame>(form.get(), "pnlPortWarning")->palette().color(QPalette::Window),
              QColor(Qt::red));
}

TEST_F(MainFormTest, NonRussianLocaleFallsBackToEnglish) {
    WriteSettings("[OPTIONS]\n");
    setenv("LANG", "de_DE.UTF-8", 1);
    auto form = MakeForm();
    EXPECT_EQ(form->Settings().Language, 'E');
    EXPECT_FALSE(Child<QCheckBox>(form.get(), "cbErrRus")->isVisibleTo(form.get()));
    // Russian chosen in the settings dialog is kept on any system.
    WriteSettings("[OPTIONS]\nLANGUAGE=R\n");
    form = MakeForm();
    EXPECT_EQ(form->Settings().Language, 'R');
    // Russian fault texts are what a Russian window shows anyway.
    EXPECT_TRUE(Child<QCheckBox>(form.get(), "cbErrRus")->isHidden());
    setenv("LANG", "ru_RU.UTF-8", 1);
    SetLanguage('R');
}

TEST_F(MainFormTest, ConnectNeedsAPort) {
    WriteSettings("[OPTIONS]\n");
    auto form = MakeForm();
    form->btnConnectClick();
    ASSERT_FALSE(Host.Boxes().empty());
    EXPECT_EQ(Host.Boxes().back(), "Необходимо выбрать COM порт!");
    EXPECT_EQ(Connection.StartedPort, "");
}

TEST_F(MainFormTest, ConnectHandsThePortAndOptionsToTheConnection) {
    WriteSettings("[OPTIONS]\nPORT=SIM\nADAPTER=E\nCONNECTLOST_TIME=900\nCHECK_WORD=Y\n");
    auto form = MakeForm();
    form->btnConnectClick();
    EXPECT_EQ(Connection.StartedPort, "SIM");
    EXPECT_EQ(Connection.StartedKind, 'E');
    EXPECT_TRUE(Connection.Options.Elm327);
    EXPECT_TRUE(Connection.Options.ElmCommands);
    EXPECT_EQ(Connection.Options.ConnectLostTime, 900);
    EXPECT_TRUE(Connection.Options.WordCorrection);
}

TEST_F(MainFormTest, WakeUpBreakChangesOnlyOnAClickOfTheLhBox) {
    WriteSettings("[OPTIONS]\nPORT=SIM\nADAPTER=K\n");
    auto form = MakeForm();
    auto* lh = Child<QCheckBox>(form.get(), "cbLH");
    struct TStep {
        const char* What;
        std::function<void()> Act;
        int BreakMs;
    };
    const TStep steps[] = {
        {"program start", [] {}, 165},
        {"box set without a click", [&] { lh->setChecked(true); }, 165},
        {"click clears it", [&] { lh->click(); }, 160},
        {"click checks it", [&] { lh->click(); }, 130},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.What);
        step.Act();
        form->btnConnectClick();
        EXPECT_EQ(Connection.Options.KLineBreakMs, step.BreakMs);
    }
}

TEST_F(MainFormTest, ConnectionStateColours) {
    auto form = MakeForm("SIM");
    auto* status = Child<QFrame>(form.get(), "pnlStatus");
    auto* connect = Child<QPushButton>(form.get(), "btnConnect");
    struct {
        intptr_t W, L;
        uint32_t Msg;
        QColor Colour;
        bool Enabled;
    } rows[] = {{1, 1, WM_USER + 1, QColor(0, 0x80, 0), false},
                {1, 0, WM_USER + 1, QColor(0x80, 0, 0), false},
                {0, 0, WM_USER + 3, QColor(0xFF, 0, 0), true}};
    for (const auto& row : rows) {
        form->HandleMessage(row.Msg, row.W, row.L);
        EXPECT_EQ(status->palette().color(QPalette::Window), row.Colour) << row.Msg << " " << row.L;
        EXPECT_EQ(connect->isEnabled(), row.Enabled);
    }
}

TEST_F(MainFormTest, RateAndEngineModeLabel) {
    auto form = MakeForm("SIM");
    auto* reaction = Child<QLabel>(form.get(), "labReaction");
    form->HandleMessage(WM_USER + 18, 1, 0);
    form->HandleMessage(WM_USER + 4, 10000, 0);
    form->HandleMessage(WM_USER + 4, 10200, 0);
    EXPECT_EQ(reaction->text(), "0"); // 1 answer over 10 s at the first update
    form->HandleMessage(WM_USER + 4, 10500, 0);
    EXPECT_EQ(reaction->text(), "4"); // 2 answers in 500 ms

    form->HandleMessage(WM_USER + 14, 4, 104);
    EXPECT_EQ(reaction->text(), "Неизвестный режим (код 104)");
    form->HandleMessage(WM_USER + 4, 11000, 0);
    EXPECT_EQ(reaction->text(), "Неизвестный режим (код 104)"); // no rate while a mode is shown

    form->HandleMessage(WM_USER + 14, 32, 0);
    EXPECT_TRUE(form->LogMemo()->toPlainText().contains("ГОТОВ К РАБОТЕ!"));
}

TEST_F(MainFormTest, ShowMessageCodes) {
    auto form = MakeForm("SIM");
    form->HandleMessage(WM_USER + 17, 240, 0);
    EXPECT_EQ(Child<QLabel>(form.get(), "labLogFile")->text(), "LOGS/HFM_001.bin");
    EXPECT_TRUE(form->LogMemo()->toPlainText().contains("Log: LOGS/HFM_001.bin"));
    form->HandleMessage(WM_USER + 17, 7, 0);
    ASSERT_FALSE(Host.Boxes().empty());
    EXPECT_EQ(Host.Boxes().back(), "Вызов CM_SHOW_MESSAGE не определен!");
    form->HandleMessage(WM_USER + 17, 1, 0);
    EXPECT_EQ(Host.Boxes().back(), "Необходимо выключить зажигание и выждать >10 секунд!\n\rПосле включить "
                                   "зажигание и нажать кнопку [Connect]!");
}

TEST_F(MainFormTest, LogSavesKeepTheirNumberUntilCleared) {
    Folder.WriteFile("LOGS/log001.txt", "older\n");
    auto form = MakeForm("SIM");
    form->PanelLogClick(true);
    EXPECT_EQ(std::filesystem::path(form->LogSaveFile()).filename(), "log002.txt");
    form->LogMemo()->appendPlainText("more");
    form->PanelLogClick(true);
    EXPECT_EQ(std::filesystem::path(form->LogSaveFile()).filename(), "log002.txt");
    EXPECT_NE(Folder.ReadFile("LOGS/log002.txt").find("more"), std::string::npos);
    form->PanelLogClick(false);
    EXPECT_TRUE(form->LogMemo()->toPlainText().isEmpty());
    form->PanelLogClick(true);
    EXPECT_EQ(std::filesystem::path(form->LogSaveFile()).filename(), "log003.txt");
    // CM_SHOW_MESSAGE 128 saves the same way.
    form->HandleMessage(WM_USER + 17, 128, 0);
    EXPECT_EQ(std::filesystem::path(form->LogSaveFile()).filename(), "log003.txt");
}

TEST_F(MainFormTest, LogGoesToTheClientsFolder) {
    Folder.WriteFile("CLIENTS/Ivanov/check.txt", "");
    WriteSettings("[OPTIONS]\nCLIENT=Ivanov\nPORT=SIM\n");
    auto form = MakeForm();
    EXPECT_EQ(form->Client(), "Ivanov");
    form->PanelLogClick(true);
    EXPECT_EQ(std::filesystem::path(form->LogSaveFile()), Folder.Path() / "LOGS/Ivanov/log001.txt");
}

TEST_F(MainFormTest, ClientWithoutFolderIsDropped) {
    Folder.WriteFile("CLIENTS/Other/check.txt", "");
    WriteSettings("[OPTIONS]\nCLIENT=Gone\n");
    auto form = MakeForm();
    EXPECT_EQ(form->Client(), "");
    EXPECT_TRUE(Child<QPushButton>(form.get(), "btnClient")->isVisibleTo(form.get()));
}

TEST_F(MainFormTest, WordCorrectionOnlyOnYes) {
    auto form = MakeForm("SIM");
    Host.AnswerNextBoxes({TMsgResult::No, TMsgResult::Yes, TMsgResult::Cancel});
    form->WordCorrectionClick();
    EXPECT_FALSE(Connection.WordCorrection);
    form->WordCorrectionClick();
    EXPECT_TRUE(Connection.WordCorrection);
    form->WordCorrectionClick();
    EXPECT_TRUE(Connection.WordCorrection);
    EXPECT_NE(Host.Boxes().back().find("Включить коррекцию ?"), std::string::npos);
}

TEST_F(MainFormTest, SavingWritesThePortOnlyWhenNotClosing) {
    WriteSettings("[OPTIONS]\nPORT=SIM:pms\nCOM=0\n");
    auto form = MakeForm();
    TIniFile ini(SettingsFile());
    ini.WriteString("OPTIONS", "PORT", "elsewhere");
    form->SaveSettings(true);
    EXPECT_EQ(ini.ReadString("OPTIONS", "PORT", ""), "elsewhere");
    EXPECT_EQ(ini.ReadString("OPTIONS", "RUSTEXTERR", ""), "N");
    form->SaveSettings(false);
    EXPECT_EQ(ini.ReadString("OPTIONS", "PORT", ""), "SIM:pms");
    EXPECT_EQ(ini.ReadInteger("OPTIONS", "COM", 0), 97);
}

TEST_F(MainFormTest, EcuReadyShowsScreensAndGraphs) {
    auto form = MakeForm("SIM");
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    Connection.Alive = true;
    Connection.Ecu = true;
    form->HandleMessage(WM_USER + 2, 0, 0);
    EXPECT_TRUE(pg->isTabVisible(PageScreens));
    EXPECT_TRUE(pg->isTabVisible(PageGraph));
    EXPECT_FALSE(pg->isTabVisible(PageSmooth));
    EXPECT_GE(Connection.PollRequests, 1);

    Connection.Ecu = false;
    pg->setCurrentIndex(PageGraph);
    form->HandleMessage(WM_USER + 2, 0, 0);
    EXPECT_EQ(pg->currentIndex(), PageMemo);
    EXPECT_FALSE(pg->isTabVisible(PageScreens));
}

TEST_F(MainFormTest, ValueNoticesRedrawTheShownScreen) {
    Folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=A 0,1\n[SCREEN1]\nITEMS=B 1\n");
    Connection.Set.Add(testing::MakeParam(0, "-40"));
    Connection.Set.Add(testing::MakeParam(1));
    auto form = MakeForm("SIM");
    Connection.Alive = true;
    Connection.Ecu = true;
    form->HandleMessage(WM_USER + 2, 0, 0);
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    pg->setCurrentIndex(PageScreens);
    EXPECT_EQ(Connection.Background, 0); // no background reading while a screen is read
    auto* pages = Child<QTabWidget>(form.get(), "pgScreens");
    ASSERT_EQ(pages->count(), 2);
    // The worker polls the shown screen.
    ASSERT_NE(Connection.ViewList, nullptr);
    EXPECT_FALSE(Connection.ViewIsGraph);
    EXPECT_EQ(Connection.ViewList->Count(), 2u);

    Connection.Set.FindByNumber(0)->SetRaw(100, 0, 0, 0);
    form->HandleMessage(WM_USER + 8, 0, 0);
    auto* value = Child<QLabel>(pages->widget(0)->findChild<QWidget*>("row0"), "value");
    EXPECT_EQ(value->text(), "60");

    // Answers refresh the grey of values not refreshed in time.
    Connection.Set.FindByNumber(1)->LastTick = Clock().TickCount() - 10000; // read 10 s ago, due every cycle
    form->HandleMessage(WM_USER + 4, 100000, 0);
    EXPECT_EQ(Child<QLabel>(pages->widget(0)->findChild<QWidget*>("row1"), "name")
                  ->palette()
                  .color(QPalette::WindowText),
              QColor(0x80, 0x80, 0x80));

    // Another page: its screen is the one polled and redrawn; the first keeps its text.
    pages->setCurrentIndex(1);
    EXPECT_EQ(Connection.ViewList->Count(), 1u);
    Connection.Set.FindByNumber(0)->SetRaw(110, 0, 0, 0);
    form->HandleMessage(WM_USER + 8, 0, 0);
    EXPECT_EQ(value->text(), "60");
    // The graph tab hands the graph over, again after "Refresh" reloaded it.
    pg->setCurrentIndex(PageGraph);
    EXPECT_TRUE(Connection.ViewIsGraph);
    std::shared_ptr<TListPrm> graph = Connection.ViewList;
    Connection.ViewList = nullptr;
    Child<QPushButton>(form.get(), "Button1")->click();
    EXPECT_EQ(Connection.ViewList, graph);
    pg->setCurrentIndex(PageScreens);
    // A new connection frees the screens.
    form->btnConnectClick();
    EXPECT_EQ(pages->count(), 0);
    form->HandleMessage(WM_USER + 8, 0, 0); // no screen: nothing to redraw
}

TEST_F(MainFormTest, FaultTabListsReportsAndErases) {
    Folder.WriteFile("DATA/ru/HFM.DAT", "$F118\nДатчик дроссельной заслонки\nподробно: цепь\n"
                                        "$F2\nЛямбда\n$R2\nЛямбда-зонд\n");
    auto form = MakeForm("SIM");
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    auto* list = Child<QTableWidget>(form.get(), "lbPostErr");
    auto* details = Child<QPlainTextEdit>(form.get(), "memoFaultDetails");
    auto lines = [&] { return testing::FaultTableLines(list); };
    Connection.Alive = true;
    pg->setCurrentIndex(PageError);
    EXPECT_EQ(Connection.FaultViews, 1);
    ASSERT_EQ(list->rowCount(), 1);          // the reading notice
    form->HandleMessage(WM_USER + 10, 0, 0); // no fault memory yet: the notice stays
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_TRUE(details->toPlainText().isEmpty());
    Child<QPushButton>(form.get(), "btnSaveReport")->click(); // nothing to report yet: said so
    EXPECT_NE(Host.LogText().find("память неисправностей еще не прочитана"), std::string::npos);
    EXPECT_EQ(form->findChild<QPlainTextEdit*>("memoReport"), nullptr);

    TFaultData data;
    data.Context.UnitType = UnitHfm;
    data.Buffer[17] = 0x01; // bit 9 current: code 118
    data.Buffer[0] = 0x01;  // bit 1 stored: code 2
    Connection.Faults = data;
    form->HandleMessage(WM_USER + 10, 0, 0);
    EXPECT_EQ(lines(),
              QStringList({"002,  Сохраненный,  Лямбда", "118,  АКТУАЛЬНЫЙ,  Датчик дроссельной заслонки"}));
    // The first fault is selected and its details stand under the table; another row shows its own.
    EXPECT_EQ(details->toPlainText(), "002,  Сохраненный,  Лямбда");
    list->setCurrentCell(1, 2);
    EXPECT_EQ(details->toPlainText(), "118,  АКТУАЛЬНЫЙ,  Датчик дроссельной заслонки\nподробно: цепь");

    auto* russian = Child<QCheckBox>(form.get(), "cbErrRus");
    russian->click();
    EXPECT_EQ(lines().value(0), "002,  Сохраненный,  Лямбда-зонд");
    EXPECT_TRUE(details->toPlainText().startsWith("118,  АКТУАЛЬНЫЙ")); // the redraw keeps the selection
    auto* storedOnly = Child<QCheckBox>(form.get(), "cbPostOnly");
    storedOnly->click();
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_TRUE(storedOnly->font().bold());
    EXPECT_EQ(storedOnly->palette().color(QPalette::WindowText), QColor(Qt::red));
    storedOnly->click();
    EXPECT_FALSE(storedOnly->font().bold());
    EXPECT_EQ(list->rowCount(), 2);

    Child<QPushButton>(form.get(), "btnSaveReport")->click();
    auto* report = Child<QPlainTextEdit>(form.get(), "memoReport");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->window()->windowTitle(), "Отчет по ошибкам системы");
    EXPECT_EQ(report->font().pointSize(), 12);
    EXPECT_TRUE(report->toPlainText().contains("подробно: цепь"));
    int reports = 0;
    for (const auto& entry : std::filesystem::directory_iterator(BuildPath("", "LOGS", "", false)))
        reports += entry.path().filename().string().rfind("ERR", 0) == 0;
    EXPECT_EQ(reports, 1);
    EXPECT_NE(Host.LogText().find("Отчет сохранен в файл"), std::string::npos);

    // A unit of a generation without the erase command: the user is told, nothing is requested.
    Child<QPushButton>(form.get(), "btnEraseErr")->click();
    EXPECT_EQ(Connection.Erases, 0);
    ASSERT_FALSE(Host.Boxes().empty());
    EXPECT_EQ(Host.Boxes().back(), CannotEraseText);
    data.Context.DiagIndex = 52;
    Connection.Faults = data;
    Child<QPushButton>(form.get(), "btnEraseErr")->click();
    EXPECT_EQ(Connection.Erases, 1);
    form->HandleMessage(WM_USER + 10, 0xFFFF, 0);
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_TRUE(details->toPlainText().isEmpty());
}

TEST_F(MainFormTest, HfmMenuWaitsForTheParameterSet) {
    auto form = MakeForm("SIM");
    auto* activation = Child<QAction>(form.get(), "mnuActivation");
    auto* reset = Child<QAction>(form.get(), "mnuAdaptReset");
    auto* coding = Child<QAction>(form.get(), "mnuCoding");
    for (QAction* action : {activation, reset, coding})
        EXPECT_FALSE(action->isEnabled());
    form->HandleMessage(WM_USER + 16, 0, 0);
    for (QAction* action : {activation, reset, coding})
        EXPECT_TRUE(action->isEnabled());

    activation->trigger();
    EXPECT_TRUE(form->LogMemo()->toPlainText().contains("подождите не менее 5 секунд"));
    form->btnConnectClick();
    EXPECT_TRUE(Connection.Options.ActivationVisible);

    reset->trigger();
    EXPECT_EQ(Connection.Acts.AdaptMode, 13);
    ASSERT_FALSE(Host.Boxes().empty());
    EXPECT_NE(Host.Boxes().back().find("[Connect]"), std::string::npos);
}

TEST_F(MainFormTest, CodingReadsTheShownCodingAndAsksForTheNewOne) {
    Folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=A 0\n[SCREEN1]\nITEMS=Блок 37,38,39\n");
    Connection.Set.Add(testing::MakeParam(0));
    const char* names[] = {"CODING UNIT NUMBER, HIGH", "CODING UNIT NUMBER, MID", "CODING UNIT NUMBER, LOW"};
    for (int i = 0; i < 3; ++i) {
        auto part = testing::MakeParam(37 + i);
        part->Name = names[i];
        Connection.Set.Add(std::move(part));
    }
    auto form = MakeForm("SIM");
    Connection.Alive = Connection.Ecu = true;
    form->HandleMessage(WM_USER + 2, 0, 0);
    form->HandleMessage(WM_USER + 16, 0, 0);
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    pg->setCurrentIndex(PageScreens);
    std::string asked;
    SetInputAnswer([&](const std::string&, const std::string& value) {
        asked = value;
        return std::optional<std::string>("12 5 0");
    });
    auto* coding = Child<QAction>(form.get(), "mnuCoding");

    // Not on the screen that shows the coding: the user is sent there.
    coding->trigger();
    ASSERT_EQ(Host.Boxes().size(), 1u);
    EXPECT_EQ(Host.Boxes()[0], "Перейдите на страничку Блок и повторите вызов функции!");
    // On it, but not read yet.
    Child<QTabWidget>(form.get(), "pgScreens")->setCurrentIndex(1);
    coding->trigger();
    EXPECT_EQ(Host.Boxes().back(), "Ошибка чтения кодировки. Обратитесь к разработчику!");
    EXPECT_TRUE(asked.empty());

    Connection.Set.FindByNumber(37)->SetData(3, 0, 0, 0);
    Connection.Set.FindByNumber(38)->SetData(1, 0, 0, 0);
    Connection.Set.FindByNumber(39)->SetData(200, 0, 0, 0);
    coding->trigger();
    SetInputAnswer({});
    EXPECT_EQ(asked, "003 001 200");
    EXPECT_EQ(Connection.Acts.CodingPending, 0x0C0500u);
    EXPECT_EQ(Connection.Acts.CodingLoc,
              CodingLocOf(*Connection.Set.FindByNumber(37), *Connection.Set.FindByNumber(38),
                          *Connection.Set.FindByNumber(39)));
    EXPECT_NE(Host.Boxes().back().find("[Connect]"), std::string::npos);
}

TEST_F(MainFormTest, ActivationPanelFollowsTheUnit) {
    auto form = MakeForm("SIM");
    auto* panel = Child<QWidget>(form.get(), "pnlActivation");
    EXPECT_FALSE(panel->isVisibleTo(form.get()));
    // The entry values come before the panel is built.
    form->HandleMessage(WM_USER + 13, 0xD00F, 0);
    form->HandleMessage(WM_USER + 13, 0xD340, 0);
    form->HandleMessage(WM_USER + 11, 0, 0);
    EXPECT_TRUE(panel->isVisibleTo(form.get()));
    auto* pump = Child<QCheckBox>(form.get(), "cbActd0_8");
    auto* egr = Child<QCheckBox>(form.get(), "cbActd0_16");
    EXPECT_FALSE(pump->isChecked()); // the unit's standard 0x0F is no request of the user's
    EXPECT_FALSE(egr->isChecked());
    EXPECT_EQ(Connection.Acts.PendingAct, 0); // showing the unit's values queues nothing

    egr->click(); // EGR away from the standard state, the other bits kept: 0x0F + 0x10
    EXPECT_EQ(Connection.Acts.PendingAct, 0xD01F);
    Connection.Acts.PendingAct = 0;               // sent
    form->HandleMessage(WM_USER + 13, 0xD31E, 0); // the throttle took 30 (about -53 %)
    EXPECT_EQ(Connection.Acts.PendingAct, 0);
    Child<QPushButton>(form.get(), "btnActReset")->click(); // every output back to the standard state
    EXPECT_EQ(Connection.Acts.PendingAct, ResetAct);
    EXPECT_FALSE(egr->isChecked());

    form->HandleMessage(WM_USER + 3, 0, 0);
    EXPECT_FALSE(panel->isVisibleTo(form.get()));
    EXPECT_EQ(form->findChild<QCheckBox*>("cbActd0_8"), nullptr);
}

TEST_F(MainFormTest, KeysReachTheFormFirst) {
    auto form = MakeForm("SIM");
    form->show();
    QTest::keyClick(Child<QPlainTextEdit>(form.get(), "Memo1"), Qt::Key_S);
    EXPECT_EQ(Connection.Stops, 1);
    QTest::keyClick(Child<QPlainTextEdit>(form.get(), "Memo1"), Qt::Key_C);
    EXPECT_EQ(Connection.StartedPort, "SIM");
}

TEST_F(MainFormTest, ClosingSavesStopsAndWaitsAtMostOneSecond) {
    TManualClock clock(5000);
    TScopedClock scope(clock);
    auto form = MakeForm("SIM");
    form->HandleMessage(WM_USER + 17, 240, 0);
    Connection.Alive = true; // a worker that never ends
    EXPECT_TRUE(form->close());
    EXPECT_EQ(Connection.Stops, 1);
    EXPECT_GE(clock.TickCount(), 6000u);
    EXPECT_LT(clock.TickCount(), 6100u);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("OPTIONS", "FILE", ""), "LOGS/HFM_001.bin");
}

TEST_F(MainFormTest, PortDialogChoiceIsShownAndSaved) {
    WriteSettings("[OPTIONS]\n");
    auto form = MakeForm();
    // Answers the modal dialog once it runs: the ELM327 type and the simulated PMS unit.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TFormSelectPort*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->RefreshPorts();
        Child<QRadioButton>(dialog, "rbELMvelmora")->click();
        auto* list = Child<QListWidget>(dialog, "ListBox");
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->data(Qt::UserRole).toString() == "SIM:pms")
                list->setCurrentRow(i);
        }
        Child<QPushButton>(dialog, "btnOk")->click();
    });
    form->btnPortClick();
    EXPECT_EQ(form->PortName(), "SIM:pms");
    EXPECT_EQ(form->Settings().Adapter, 'E');
    EXPECT_NE(Child<QFrame>(form.get(), "pnlPortWarning")->palette().color(QPalette::Window),
              QColor(Qt::red));
    EXPECT_TRUE(form->LogMemo()->toPlainText().contains("Программа настроена для работы с адаптером ELM327"));
    TIniFile ini(SettingsFile());
    EXPECT_EQ(ini.ReadString("OPTIONS", "PORT", ""), "SIM:pms");
    EXPECT_EQ(ini.ReadString("OPTIONS", "ADAPTER", ""), "E");
}

TEST_F(MainFormTest, SettingsDialogWritesTheDisplayKeys) {
    auto form = MakeForm("SIM");
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        Child<QPushButton>(dialog, "btnValueInc")->click();
        Child<QRadioButton>(dialog, "rbDe")->setChecked(true);
        Child<QPushButton>(dialog, "Button1")->click();
    });
    form->N4Click();
    TIniFile ini(SettingsFile());
    EXPECT_EQ(ini.ReadInteger("OPTIONS", "VALUE_FONT_SIZE", 0), 14);
    EXPECT_EQ(ini.ReadString("OPTIONS", "LANGUAGE", ""), "D");
    EXPECT_EQ(Language(), 'R'); // the new language takes effect after a restart
    ASSERT_EQ(Host.Boxes().size(), 1u);
}

TEST_F(MainFormTest, ScreenshotAndVersionBox) {
    auto form = MakeForm("SIM");
    form->show();
    form->btnScreenShotClick();
    char day[16];
    QDate today = QDate::currentDate();
    std::snprintf(day, sizeof day, "%.2d%.2d%.2d", today.year() % 100, today.month(), today.day());
    EXPECT_TRUE(std::filesystem::exists(Folder.Path() / "IMAGES" / day / "IMG001.jpg"));
    form->mnu_verClick();
    ASSERT_FALSE(Host.Boxes().empty());
    EXPECT_EQ(
        Host.Boxes().back().rfind("Программа диагностики систем впрыска HFM/PMS автомобилей Мерседес", 0),
        0u);
}

TEST_F(MainFormTest, StopKeyAndTabChangeWithoutConnection) {
    auto form = MakeForm("SIM");
    form->StopClick();
    EXPECT_TRUE(form->AbortRequested);
    EXPECT_EQ(Connection.Stops, 1);
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    pg->setCurrentIndex(PageError);
    EXPECT_EQ(pg->currentIndex(), PageError); // the fault list read last can be looked at offline
}

// Lets posted layout requests run until the widgets have settled (rows change their height after
// their width is known).
void SettleLayout() {
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

TEST_F(MainFormTest, ShippedScreensFitTheWindowInsteadOfWideningIt) {
    std::ifstream shipped(std::filesystem::path(VELMORA_DATA_DIR) / "options.ini", std::ios::binary);
    Folder.WriteFile("DATA/options.ini", std::string(std::istreambuf_iterator<char>(shipped), {}));
    Connection.Set.LoadBuiltinSet(UnitHfm, 'A');
    auto form = MakeForm("SIM");
    form->show();
    Connection.Alive = true;
    Connection.Ecu = true;
    form->HandleMessage(WM_USER + 2, 0, 0);
    Child<QTabWidget>(form.get(), "pg")->setCurrentIndex(PageScreens);
    auto* pages = Child<QTabWidget>(form.get(), "pgScreens");
    ASSERT_GE(pages->count(), 5);

    // At the window's own size and at a narrower one the user chose, every page keeps the window as it
    // is and every indicator lies inside its row; the narrower window wraps the rows onto more lines.
    int lines[2] = {0, 0};
    const QSize sizes[2] = {QSize(820, 625), QSize(560, 625)};
    for (int s = 0; s < 2; ++s) {
        form->resize(sizes[s]);
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            SettleLayout();
            std::string page = pages->tabText(i).toStdString();
            EXPECT_EQ(form->size(), sizes[s]) << page;
            for (TParamRow* row : pages->widget(i)->findChildren<TParamRow*>()) {
                lines[s] += row->LineCount();
                for (QLabel* indicator : row->Indicators())
                    EXPECT_TRUE(row->rect().contains(indicator->geometry()))
                        << page << " " << row->objectName().toStdString() << " "
                        << indicator->text().toStdString();
            }
        }
    }
    EXPECT_GT(lines[1], lines[0]);
}

TEST_F(MainFormTest, WaitMarksShowOnlyWhileSomethingIsAwaited) {
    Connection.Set.Add(testing::MakeParam(5));
    auto form = MakeForm("SIM");
    auto* pg = Child<QTabWidget>(form.get(), "pg");
    auto* faultWait = Child<QLabel>(form.get(), "pnlErrWait");
    EXPECT_TRUE(faultWait->isHidden());
    Connection.Alive = true;
    Connection.Ecu = true;
    form->HandleMessage(WM_USER + 2, 0, 0);

    pg->setCurrentIndex(PageError); // the faults are asked for
    EXPECT_FALSE(faultWait->isHidden());
    EXPECT_EQ(faultWait->palette().color(QPalette::Window), QColor(Qt::red));
    form->HandleMessage(WM_USER + 10, 0xFFFF, 0); // the worker starts a new read: still waiting
    EXPECT_FALSE(faultWait->isHidden());
    TFaultData data;
    data.Context.UnitType = UnitHfm;
    data.Context.DiagIndex = 52; // a unit that takes the erase command
    Connection.Faults = data;
    form->HandleMessage(WM_USER + 10, 0, 0);
    EXPECT_TRUE(faultWait->isHidden());
    Child<QPushButton>(form.get(), "btnEraseErr")->click();
    EXPECT_FALSE(faultWait->isHidden());
    form->HandleMessage(WM_USER + 3, 0, 0); // the link ended before the answer: nothing to wait for
    EXPECT_TRUE(faultWait->isHidden());

    pg->setCurrentIndex(PageGraph);
    auto* graphWait = Child<QLabel>(form.get(), "pnlWait");
    EXPECT_TRUE(graphWait->isHidden());
    auto* save = Child<QPushButton>(form.get(), "btnSavePic");
    save->click(); // the picture waits for the next scroll
    EXPECT_FALSE(graphWait->isHidden());
    save->click(); // asked again: saved at once
    EXPECT_TRUE(graphWait->isHidden());
}

TEST_F(MainFormTest, FirstGraphShowsTheDefaultCurvesAndKeepsThemInTheSettings) {
    Connection.Set.LoadBuiltinSet(UnitHfm, 'A');
    auto form = MakeForm("SIM");
    Connection.Alive = true;
    Connection.Ecu = true;
    form->HandleMessage(WM_USER + 2, 0, 0);
    Child<QTabWidget>(form.get(), "pg")->setCurrentIndex(PageGraph);
    auto* list = Child<QListWidget>(form.get(), "lbGraphs");
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text().toStdString(), Connection.Set.FindById(ParamId::EngineSpeed)->Name);
    ASSERT_NE(Connection.ViewList, nullptr);
    EXPECT_TRUE(Connection.ViewIsGraph);
    EXPECT_EQ(Connection.ViewList->Count(), 4u);
    TIniFile ini(SettingsFile());
    EXPECT_EQ(ini.ReadString("GRAPH0", "SOURCE", ""), "1 0 3 5");

    // From now on the settings are the user's: a graph emptied by hand stays empty after "Refresh".
    ini.WriteString("GRAPH0", "SOURCE", "");
    Child<QPushButton>(form.get(), "Button1")->click();
    EXPECT_EQ(list->count(), 0);
}

} // namespace
} // namespace velmora
