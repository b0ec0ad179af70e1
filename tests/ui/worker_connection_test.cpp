// The window over the real worker: a session with the simulated car on "SIM" in real time (the wake-up
// takes about 1-2 s), changing values on the parameter screen, the fault list and its erase, Stop, and the
// window closed while the link is alive.
#include "ui/window/worker_connection.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "connection/com_reader.h"
#include "lang/dictionary.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

// The window's host, with every box answered OK and recorded instead of shown.
class TAnsweringHost : public TQtHost {
public:
    TAnsweringHost() { SetHost(this); }
    ~TAnsweringHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons buttons) override {
        Boxes.emplace_back(text);
        return buttons == TMsgButtons::YesNo ? TMsgResult::Yes : TMsgResult::Ok;
    }
    std::vector<std::string> Boxes;
};

// Runs the window's events until `done` holds or `seconds` of real time have passed.
bool WaitFor(const std::function<bool()>& done, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// The program folder with a screen of coolant, engine speed and air mass, and the port SIM.
void WriteProgramFolder(const testing::TTempFolder& folder) {
    folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=Основные 0,1,2\n");
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM\n");
}

// Connects the window and waits for the parameter screens (the wake-up takes 1-2 s).
bool ConnectTheWindow(TMainForm& form) {
    auto* pg = Child<QTabWidget>(&form, "pg");
    form.btnConnectClick();
    return WaitFor([&] { return pg->isTabVisible(PageScreens); }, 15);
}

TEST(WorkerConnectionTest, SessionWithTheSimulatedCar) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    TAnsweringHost host;
    WriteProgramFolder(folder);
    TWorkerConnection connection;
    TMainForm form(connection);
    auto* pg = Child<QTabWidget>(&form, "pg");

    ASSERT_TRUE(ConnectTheWindow(form)) << form.LogMemo()->toPlainText().toStdString();
    EXPECT_TRUE(connection.EcuConnected());

    pg->setCurrentIndex(PageScreens);
    auto* row = Child<QWidget>(&form, "row0");
    ASSERT_NE(row, nullptr);
    auto* value = Child<QLabel>(row, "value");
    EXPECT_TRUE(WaitFor([&] { return !value->text().isEmpty(); }, 5));
    // The engine speed at idle wanders by a few rpm: the screen follows it.
    auto* speed = Child<QLabel>(Child<QWidget>(&form, "row1"), "value");
    ASSERT_TRUE(WaitFor([&] { return !speed->text().isEmpty(); }, 5));
    const QString firstSpeed = speed->text();
    EXPECT_TRUE(WaitFor([&] { return speed->text() != firstSpeed && !speed->text().isEmpty(); }, 5))
        << firstSpeed.toStdString();

    // The sim's unit keeps bit 5 stored (code 7) and bit 12 stored and current (code 14).
    pg->setCurrentIndex(PageError);
    auto* faults = Child<QTableWidget>(&form, "lbPostErr");
    auto listed = [&](const char* head) {
        return !testing::FaultTableLines(faults)
                    .filter(QRegularExpression("^" + QRegularExpression::escape(head)))
                    .isEmpty();
    };
    EXPECT_TRUE(WaitFor([&] { return listed("014,  АКТУАЛЬНЫЙ"); }, 10));
    EXPECT_TRUE(listed("007,  Сохраненный"));

    // The erase: stored fault 7 goes; 14, still current, is stored again at once and stays listed.
    auto* erase = Child<QPushButton>(&form, "btnEraseErr");
    ASSERT_TRUE(erase->isEnabled());
    erase->click();
    EXPECT_TRUE(WaitFor([&] { return !listed("007,  Сохраненный") && listed("014,  АКТУАЛЬНЫЙ"); }, 10))
        << form.LogMemo()->toPlainText().toStdString();
    EXPECT_TRUE(listed("014,  Сохраненный"));
    // This program folder has no fault texts: the list opens with the one line that says so.
    EXPECT_TRUE(listed("Нет файла текстов ошибок HFM.DAT"));
    EXPECT_EQ(faults->rowCount(), 3);

    form.StopClick();
    EXPECT_TRUE(WaitFor([&] { return form.LogMemo()->toPlainText().contains("Обмен остановлен."); }, 5))
        << form.LogMemo()->toPlainText().toStdString();
    EXPECT_FALSE(connection.IsAlive());
    EXPECT_TRUE(Child<QPushButton>(&form, "btnConnect")->isEnabled()); // WM_USER+3: disconnected
    // The only boxes allowed: the warning of a program folder without its settings file, the question
    // before the erase and, the simulated unit's bit 12 being active, why that fault stays.
    for (const std::string& box : host.Boxes)
        EXPECT_TRUE(box.starts_with("Возможно вы запустили программу из архива?!") ||
                    box.starts_with("Стереть память неисправностей блока?") ||
                    box.starts_with("Ошибка осталась после удаления"))
            << box;
}

// The stored faults of a PMS and an LH unit on the simulated car, in each language of the window: the
// table gives each fault its code, state and meaning from the shipped text files, and the details under
// it (the first fault is selected) say what to check and which part it is.
TEST(WorkerConnectionTest, FaultTabExplainsPmsAndLhFaultsInEveryLanguage) {
    struct TCase {
        const char* Port;
        const char* Family;
        char Language;
        const char* Folder;
        QStringList Lines;
        const char* Check; // the details of the first fault hold this
    };
    const TCase cases[] = {
        {"SIM:pms",
         "PMS",
         'R',
         "ru",
         {"002,  Сохраненный,  Датчик температуры охлаждающей жидкости: короткое замыкание",
          "028,  Сохраненный,  Лямбда-регулирование: смесь слишком бедная"},
         "Проверить: "},
        {"SIM:pms",
         "PMS",
         'E',
         "en",
         {"002,  Stored,  Coolant temperature sensor: short circuit",
          "028,  Stored,  Lambda control: mixture too lean"},
         "Check: "},
        {"SIM:pms",
         "PMS",
         'D',
         "de",
         {"002,  Gespeichert,  Kühlmitteltemperaturfühler: Kurzschluss",
          "028,  Gespeichert,  Lambdaregelung: Gemisch zu mager"},
         "Prüfen: "},
        {"SIM:lh",
         "LH",
         'R',
         "ru",
         {"003,  Сохраненный,  Датчик температуры охлаждающей жидкости, цепь 2: обрыв или замыкание",
          "009,  Сохраненный,  Сигнал стартера (клемма 50): обрыв или замыкание"},
         "Проверить: "},
        {"SIM:lh",
         "LH",
         'E',
         "en",
         {"003,  Stored,  Coolant temperature sensor, circuit 2: open or short circuit",
          "009,  Stored,  Starter signal (circuit 50): open or short circuit"},
         "Check: "},
        {"SIM:lh",
         "LH",
         'D',
         "de",
         {"003,  Gespeichert,  Kühlmitteltemperaturfühler, Kreis 2: Unterbrechung oder Kurzschluss",
          "009,  Gespeichert,  Startsignal (Klemme 50): Unterbrechung oder Kurzschluss"},
         "Prüfen: "},
    };
    RegisterSimPorts();
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Port) + " " + c.Folder);
        testing::TTempFolder folder;
        TAnsweringHost host;
        const std::filesystem::path data = VELMORA_DATA_DIR;
        for (const std::filesystem::path& file :
             {std::filesystem::path(c.Folder) / (std::string(c.Family) + ".DAT"),
              std::filesystem::path("english.txt"), std::filesystem::path("deutsch.txt")}) {
            std::ifstream in(data / file, std::ios::binary);
            folder.WriteFile("DATA" / file, std::string(std::istreambuf_iterator<char>(in), {}));
        }
        folder.WriteFile(SettingsFile().filename(),
                         std::string("[OPTIONS]\nPORT=") + c.Port + "\nLANGUAGE=" + c.Language + "\n");
        TWorkerConnection connection;
        TMainForm form(connection);
        ASSERT_TRUE(ConnectTheWindow(form)) << form.LogMemo()->toPlainText().toStdString();
        Child<QTabWidget>(&form, "pg")->setCurrentIndex(PageError);
        auto* table = Child<QTableWidget>(&form, "lbPostErr");
        EXPECT_TRUE(WaitFor([&] { return testing::FaultTableLines(table) == c.Lines; }, 10))
            << testing::FaultTableLines(table).join(" | ").toStdString();
        const QString details = Child<QPlainTextEdit>(&form, "memoFaultDetails")->toPlainText();
        EXPECT_TRUE(details.startsWith(c.Lines.value(0))) << details.toStdString();
        EXPECT_TRUE(details.contains(QString::fromUtf8(c.Check))) << details.toStdString();
        form.StopClick();
        EXPECT_TRUE(WaitFor([&] { return !connection.IsAlive(); }, 5));
    }
    SetLanguage('R'); // the language the other tests start from
}

TEST(WorkerConnectionTest, ClosingDuringALiveConnectionStopsTheWorkerAndKeepsLogAndSettings) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    TAnsweringHost host;
    WriteProgramFolder(folder);
    TWorkerConnection connection;
    TMainForm form(connection);
    ASSERT_TRUE(ConnectTheWindow(form)) << form.LogMemo()->toPlainText().toStdString();
    // Polling is under way once the screen shows the engine speed.
    Child<QTabWidget>(&form, "pg")->setCurrentIndex(PageScreens);
    auto* speed = Child<QLabel>(Child<QWidget>(&form, "row1"), "value");
    ASSERT_TRUE(WaitFor([&] { return !speed->text().isEmpty(); }, 5));
    ASSERT_TRUE(connection.IsAlive());
    const std::string logName = connection.LogFileName();
    ASSERT_EQ(logName, "B52001.bin");
    // What the connection start wrote goes, so that only the close can write it again.
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM\n");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(form.close());
    // The window waits for the worker at most 1 s; the worker ends its connection within that time.
    auto elapsedMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    };
    EXPECT_LT(elapsedMs(), 1000) << "the window gave up waiting for the worker";
    EXPECT_FALSE(connection.IsAlive());
    while (connection.Reader().StopText().empty() && elapsedMs() < 1000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(connection.Reader().StopText(), "Обмен остановлен.");
    // The log on disk runs from the identification (its first pair: F0 0F, address 0, 0x27) to the
    // engine speed requests of the screen (55 AA 01).
    const std::string log = folder.ReadFile(std::filesystem::path("LOGS") / logName);
    EXPECT_TRUE(log.starts_with(std::string_view("\xF0\x0F\x00\x27", 4))) << log.size();
    EXPECT_NE(log.find("\x55\xAA\x01"), std::string::npos) << log.size();
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("OPTIONS", "FILE", ""), logName);
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("OPTIONS", "PORT", ""), "SIM");
}

} // namespace
} // namespace velmora
