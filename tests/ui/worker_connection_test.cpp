// The window over the real worker: a session with the simulated car on "SIM" in real time (the wake-up
// takes about 1-2 s), values on the parameter screen, the fault list, and Stop.
#include "ui/worker_connection.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <chrono>
#include <thread>

#include "connection/com_reader.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/main_form.h"
#include "ui/qt_host.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

// The window's host, with every box answered OK and recorded instead of shown.
class TAnsweringHost : public TQtHost {
public:
    TAnsweringHost() { SetHost(this); }
    ~TAnsweringHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons) override {
        Boxes.emplace_back(text);
        return TMsgResult::Ok;
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

TEST(WorkerConnectionTest, SessionWithTheSimulatedCar) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    TAnsweringHost host;
    folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=Основные 0,1,2\n");
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM\n");
    TWorkerConnection connection;
    TMainForm form(connection);
    auto* pg = Child<QTabWidget>(&form, "pg");

    form.btnConnectClick();
    ASSERT_TRUE(WaitFor([&] { return pg->isTabVisible(PageScreens); }, 15))
        << form.LogMemo()->toPlainText().toStdString();
    EXPECT_TRUE(connection.EcuConnected());

    pg->setCurrentIndex(PageScreens);
    auto* row = Child<QWidget>(&form, "row0");
    ASSERT_NE(row, nullptr);
    auto* value = Child<QLabel>(row, "value");
    EXPECT_TRUE(WaitFor([&] { return !value->text().isEmpty(); }, 5));

    // The sim's unit keeps bit 5 stored (code 7) and bit 12 stored and current (code 14).
    pg->setCurrentIndex(PageError);
    auto* faults = Child<QListWidget>(&form, "lbPostErr");
    auto listed = [&](const char* head) { return !faults->findItems(head, Qt::MatchStartsWith).isEmpty(); };
    EXPECT_TRUE(WaitFor([&] { return listed("014,  АКТУАЛЬНЫЙ"); }, 10));
    EXPECT_TRUE(listed("007,  Сохраненный"));

    form.StopClick();
    EXPECT_TRUE(WaitFor([&] { return form.LogMemo()->toPlainText().contains("Обмен остановлен."); }, 5))
        << form.LogMemo()->toPlainText().toStdString();
    EXPECT_FALSE(connection.IsAlive());
    EXPECT_TRUE(Child<QPushButton>(&form, "btnConnect")->isEnabled()); // WM_USER+3: disconnected
    // The only box allowed: the warning of a program folder without its settings file.
    for (const std::string& box : host.Boxes)
        EXPECT_EQ(box.rfind("Возможно вы запустили программу из архива?!", 0), 0u) << box;
}

} // namespace
} // namespace velmora
