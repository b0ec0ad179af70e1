// The main window as a mechanic meets it: logs of different clients stay apart, the command keys work
// on the Russian layout, data fields are never translated, the port stays while connected, and the port
// dialog chooses on Enter and offers COM ports only up to COM_LASTNUM.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "actuators/actuator_state.h"
#include "fake_connection.h"
#include "host_recorder.h"
#include "lang/dictionary.h"
#include "lang/dictionary_appender.h"
#include "platform/program_folders.h"
#include "platform/velmora_version.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/dialogs/clients_form.h"
#include "ui/dialogs/select_port_form.h"
#include "ui/window/main_form.h"

namespace velmora {
namespace {

using testing::Child;

class MainFormFixesTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterSimPorts(); }
    void TearDown() override {
        SetLanguage('R');
        ResetDictionary();
    }
    void WriteSettings(const std::string& text) { Folder.WriteFile(SettingsFile().filename(), text); }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    testing::TRecordingConnection Connection;
};

// Chooses `client` in the client dialog once it runs.
void AnswerClientDialog(const QString& client) {
    QTimer::singleShot(0, [client] {
        auto* dialog = qobject_cast<TFrmClients*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* list = Child<QListWidget>(dialog, "ListBox");
        auto found = list->findItems(client, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        list->setCurrentItem(found[0]);
        dialog->btnSelectClick();
    });
}

TEST_F(MainFormFixesTest, AnotherClientsSavedLogIsNeverOverwritten) {
    Folder.WriteFile("CLIENTS/Alpha/check.txt", "");
    Folder.WriteFile("CLIENTS/Beta/check.txt", "");
    Folder.WriteFile("LOGS/Beta/log001.txt", "Beta's earlier session\n");
    WriteSettings("[OPTIONS]\nPORT=SIM\nCLIENT=Alpha\n");
    TMainForm form(Connection);
    form.PanelLogClick(true);
    EXPECT_EQ(std::filesystem::path(form.LogSaveFile()), Folder.Path() / "LOGS/Alpha/log001.txt");

    AnswerClientDialog("Beta");
    form.btnClientClick();
    ASSERT_EQ(form.Client(), "Beta");
    form.LogMemo()->appendPlainText("Beta today");
    form.PanelLogClick(true); // the stop of a connection saves the memo the same way
    EXPECT_EQ(std::filesystem::path(form.LogSaveFile()), Folder.Path() / "LOGS/Beta/log002.txt");
    EXPECT_EQ(Folder.ReadFile("LOGS/Beta/log001.txt"), "Beta's earlier session\n");
    // Back to the first client: its own next number, its saved log kept.
    AnswerClientDialog("Alpha");
    form.btnClientClick();
    form.PanelLogClick(true);
    EXPECT_EQ(std::filesystem::path(form.LogSaveFile()), Folder.Path() / "LOGS/Alpha/log002.txt");
}

// A narrow window (a 1280-pixel screen at 2x scale) opens its log memo at the left edge of its lines,
// however long the last line written before it was shown.
TEST_F(MainFormFixesTest, LogMemoOpensAtTheLeftEdge) {
    TMainForm form(Connection, "SIM");
    form.LogMemo()->appendPlainText(QString(300, QChar(0x78))); // far wider than the memo, written last
    form.resize(640, 450);
    form.show();
    QCoreApplication::processEvents();
    QScrollBar* sideways = form.LogMemo()->horizontalScrollBar();
    ASSERT_GT(sideways->maximum(), 0) << "the line must not fit for the check to mean anything";
    EXPECT_EQ(sideways->value(), 0);
    form.LogMemo()->appendPlainText("one more line");
    QCoreApplication::processEvents();
    EXPECT_EQ(sideways->value(), 0);
}

// The keys S, C, W and P by their place: on the Russian layout Qt reports Ы, С, Ц and З.
TEST_F(MainFormFixesTest, CommandKeysWorkOnTheRussianLayout) {
    TMainForm form(Connection, "SIM");
    form.show();
    auto* memo = Child<QPlainTextEdit>(&form, "Memo1");
    struct TRow {
        int Key;
        int Stops, Starts;
    } rows[] = {{0x042B, 1, 0}, {Qt::Key_S, 2, 0}, {0x0421, 2, 1}, {0x0414, 2, 1}}; // Ы, S, С, Д (none)
    for (const TRow& row : rows) {
        // Sent as the platform delivers it: QTest only types ASCII keys.
        QKeyEvent press(QEvent::KeyPress, row.Key, Qt::NoModifier, QString(QChar(row.Key)));
        QApplication::sendEvent(memo, &press);
        EXPECT_EQ(Connection.Stops, row.Stops) << std::hex << row.Key;
        EXPECT_EQ(Connection.Starts, row.Starts) << std::hex << row.Key;
    }
}

// A Cyrillic client name in an English window is shown as it is and not collected into the dictionary.
TEST_F(MainFormFixesTest, ClientNameIsDataNotText) {
    Folder.WriteFile("DATA/english.txt", "Клиент\r\nClient\r\n");
    Folder.WriteFile("CLIENTS/Иванов/check.txt", "");
    WriteSettings("[OPTIONS]\nPORT=SIM\nLANGUAGE=E\nCLIENT=Иванов\n");
    ResetDictionary();
    TMainForm form(Connection);
    EXPECT_EQ(Child<QLabel>(&form, "labClient")->text(), "Иванов");
    EXPECT_EQ(Child<QPushButton>(&form, "btnClient")->text(), "Client");
    FlushDictionaryAppends();
    EXPECT_EQ(Folder.ReadFile("DATA/english.txt").find("Иванов"), std::string::npos);
}

TEST_F(MainFormFixesTest, PortStaysWhileConnected) {
    TMainForm form(Connection, "SIM");
    auto* port = Child<QPushButton>(&form, "btnPort");
    form.btnConnectClick();
    form.HandleMessage(WM_USER + 1, 1, 0);
    EXPECT_FALSE(port->isEnabled());
    Connection.Alive = true;
    form.btnPortClick(); // no dialog comes up: a running connection keeps its port
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Connection.Alive = false;
    form.HandleMessage(WM_USER + 3, 0, 0);
    EXPECT_TRUE(port->isEnabled());
}

TEST_F(MainFormFixesTest, VersionBoxHoldsOnlyWhatIsTrue) {
    TMainForm form(Connection, "SIM");
    form.mnu_verClick();
    ASSERT_FALSE(Host.Boxes().empty());
    const std::string box = Host.Boxes().back();
    EXPECT_NE(box.find(std::string("Версия ") + PackageVersion), std::string::npos) << box;
    EXPECT_NE(box.find("README.md"), std::string::npos);
    EXPECT_EQ(box.find("example"), std::string::npos);
    EXPECT_EQ(box.find('@'), std::string::npos);
}

// The first run offers the simulated car and says plainly what it is and how to reach a real car; later
// runs do not repeat it.
TEST_F(MainFormFixesTest, FirstRunSaysWhatSimIs) {
    for (bool first : {true, false}) {
        TMainForm form(Connection, "SIM");
        QString memo = form.LogMemo()->toPlainText();
        EXPECT_EQ(memo.contains("Порт SIM - автомобиль, смоделированный программой"), first);
        EXPECT_EQ(memo.contains("нажмите кнопку порта"), first);
    }
}

// After Stop the screens and the graph keep the last values readable, under a banner that says they are
// not live and when they were read; their tabs no longer jump back to the log. The rate stands in its
// own label while polling, whatever the mode label shows.
TEST_F(MainFormFixesTest, LastValuesStayReadableAndMarkedAfterStop) {
    Folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=A 5\n");
    Connection.Set.Add(testing::MakeParam(5, "-40"));
    TMainForm form(Connection, "SIM");
    auto* pg = Child<QTabWidget>(&form, "pg");
    auto* rate = Child<QLabel>(&form, "labRate");
    auto* banner = Child<QLabel>(&form, "labOffline");
    Connection.Alive = Connection.Ecu = true;
    form.HandleMessage(WM_USER + 2, 0, 0);
    pg->setCurrentIndex(PageGraph);
    pg->setCurrentIndex(PageScreens);
    Connection.Set.FindByNumber(5)->SetData(130, 0, 0, 0);
    form.HandleMessage(WM_USER + 8, 5, 0);
    form.HandleMessage(WM_USER + 18, 0, 0);   // background reading: the mode label shows no rate
    form.HandleMessage(WM_USER + 14, 4, 104); // a mode is shown
    form.HandleMessage(WM_USER + 4, 10000, 0);
    form.HandleMessage(WM_USER + 4, 10500, 0);
    EXPECT_EQ(rate->text(), "2 запр./с"); // one answer in 500 ms
    EXPECT_TRUE(banner->isHidden());

    Connection.Alive = false;
    form.HandleMessage(WM_USER + 3, 0, 0);
    EXPECT_FALSE(banner->isHidden());
    EXPECT_TRUE(banner->text().contains("последние значения")) << banner->text().toStdString();
    EXPECT_TRUE(banner->text().contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d")));
    EXPECT_EQ(rate->text(), "");
    for (int page : {PageGraph, PageScreens}) {
        pg->setCurrentIndex(page);
        EXPECT_EQ(pg->currentIndex(), page);
    }
    auto* value = form.findChild<QWidget*>("row5")->findChild<QLabel*>("value");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->text(), "90"); // not emptied by the visit
    pg->setCurrentIndex(PageError); // the fault list read last stays readable too
    EXPECT_EQ(pg->currentIndex(), PageError);

    form.btnConnectClick(); // a new connection: no banner
    EXPECT_TRUE(banner->isHidden());
}

// What cannot be undone is asked first: erasing the fault memory and resetting the adaptation run only
// on Yes.
TEST_F(MainFormFixesTest, EraseAndAdaptationResetAskFirst) {
    TMainForm form(Connection, "SIM");
    Connection.Alive = true;
    auto* erase = Child<QPushButton>(&form, "btnEraseErr");
    for (TMsgResult answer : {TMsgResult::No, TMsgResult::Yes}) {
        Host.AnswerNextBoxes({answer, answer});
        erase->click();
        form.AdaptResetClick();
        bool yes = answer == TMsgResult::Yes;
        EXPECT_EQ(Connection.Erases, yes ? 1 : 0);
        EXPECT_EQ(Connection.Acts.AdaptMode.load(), yes ? AdaptResetPhase1 : AdaptNone);
    }
    EXPECT_NE(Host.Boxes()[0].find("Стереть память неисправностей"), std::string::npos);
}

// Saving says where the file went, in the status bar that is in view on every tab and in the log; the
// screenshot holds no tooltip.
TEST_F(MainFormFixesTest, SavesSayWhereTheFileWent) {
    TMainForm form(Connection, "SIM");
    form.show();
    form.PanelLogClick(true);
    auto* bar = form.findChild<QStatusBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->currentMessage().contains("log001.txt")) << bar->currentMessage().toStdString();
    form.btnScreenShotClick();
    EXPECT_TRUE(bar->currentMessage().contains("IMG001.jpg")) << bar->currentMessage().toStdString();
    EXPECT_NE(Host.LogText().find("IMG001.jpg"), std::string::npos);
}

TEST(SelectPortList, EnterChoosesTheSelectedPort) {
    testing::TTempFolder folder;
    RegisterSimPorts();
    TFormSelectPort form;
    form.Prepare("SIM:pms", 'K', 7);
    form.show();
    form.RefreshPorts();
    auto* list = Child<QListWidget>(&form, "ListBox");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.ChosenPort(), "SIM:pms");
}

TEST(SelectPortList, ComPortsUpToComLastNum) {
    struct TRow {
        const char* Name;
        int ComLastNum;
        bool Offered;
    } rows[] = {{"COM3", 20, true}, {"COM20", 20, true}, {"COM21", 20, false}, {"COM5", 4, false},
                {"FTDI", 1, true},  {"SIM", 1, true},    {"SIM:pms", 1, true}, {"/dev/ttyUSB0", 1, true}};
    for (const TRow& row : rows)
        EXPECT_EQ(PortWithinComLastNum(row.Name, row.ComLastNum), row.Offered)
            << row.Name << " " << row.ComLastNum;
}

} // namespace
} // namespace velmora
