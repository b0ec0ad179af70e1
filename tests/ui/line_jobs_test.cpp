// The four kinds of job on the line in the window (the engine connection, a module dialogue, a line
// function, the slow codes), started back to back in every order: the second is refused with the text
// naming the first, the buttons stay held while the first runs, and Stop ends it and gives the line back.
// Real worker, real clock, the simulated car.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <chrono>
#include <functional>

#include "links/line_lease.h"
#include "links/port_factory.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/panels/module_panel.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/worker_connection.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

bool ServeUntil(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return done();
}

// The window's own host (log lines to the memo, posted messages to the window), with the boxes recorded
// and answered.
class TBoxRecordingHost : public TQtHost {
public:
    TBoxRecordingHost() { SetHost(this); }
    ~TBoxRecordingHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons) override {
        Boxes.emplace_back(text);
        return TMsgResult::Ok;
    }
    std::vector<std::string> Boxes;
};

struct TJobKind {
    const char* Name;
    const char* Job;     // the name the refusal gives it
    const char* Stopped; // the line its log ends with when Stop ended it
    std::function<void(TMainForm&)> Start;
};

const TJobKind JobKinds[] = {
    {"engine", EngineSessionJob, "Обмен остановлен.", [](TMainForm& form) { form.btnConnectClick(); }},
    {"module", EGasDialogueJob, "Диагностика остановлена пользователем.",
     [](TMainForm& form) { Child<TModulePanel>(&form, "pnlEGas")->Start(false); }},
    {"impulse", ImpulseJob, "Обмен остановлен.",
     [](TMainForm& form) { Child<QAction>(&form, "mnuDownKLine8")->trigger(); }},
    {"slow codes", SlowCodesJob, "Обмен остановлен.",
     [](TMainForm& form) {
         if (Child<QWidget>(&form, "PnlAnalogDiag")->isHidden())
             Child<QAction>(&form, "mnuSlowCodes")->trigger();
         Child<QCheckBox>(&form, "cbLedEnabled")->setChecked(true);
         Child<QPushButton>(&form, "btnLedRead")->click();
     }},
};

TEST(LineJobs, EveryPairStartedBackToBackRefusesTheSecond) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM:hfm-blink\nADAPTER=K\n");
    TBoxRecordingHost host;
    TWorkerConnection connection;
    TMainForm form(connection, "SIM:hfm-blink");
    form.show();
    auto* connect = Child<QPushButton>(&form, "btnConnect");
    auto* port = Child<QPushButton>(&form, "btnPort");
    auto* egasRead = Child<QPushButton>(&form, "btnEGasRead");
    const auto log = [&] { return form.LogMemo()->toPlainText().toStdString(); };
    for (const TJobKind& first : JobKinds) {
        for (const TJobKind& second : JobKinds) {
            if (&first == &second)
                continue;
            SCOPED_TRACE(std::string(first.Name) + " then " + second.Name);
            host.Boxes.clear();
            form.LogMemo()->clear();
            first.Start(form);
            second.Start(form);
            const std::string refusal =
                std::string("Линия занята: ") + first.Job + ". Дождитесь окончания или нажмите Stop.";
            EXPECT_EQ(host.Boxes, std::vector<std::string>{refusal}) << log();
            EXPECT_FALSE(connect->isEnabled());
            EXPECT_FALSE(port->isEnabled());
            EXPECT_FALSE(egasRead->isEnabled()) << "no module start while a job holds the line";

            form.StopClick();
            ASSERT_TRUE(ServeUntil([&] { return LineHolder().empty() && port->isEnabled(); }, 30))
                << "holder: " << LineHolder() << "\n"
                << log();
            EXPECT_NE(log().find(first.Stopped), std::string::npos) << "Stop reached it: " << log();
            if (!Child<QWidget>(&form, "PnlAnalogDiag")->isHidden())
                Child<QPushButton>(&form, "Button2")->click();
            EXPECT_TRUE(connect->isEnabled());
            EXPECT_TRUE(egasRead->isEnabled());
            EXPECT_EQ(Port(), nullptr) << "every job freed its port";
        }
    }
}

} // namespace
} // namespace velmora
