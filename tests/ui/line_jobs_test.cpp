// The four kinds of job on the line in the window (the engine connection, a module dialogue, a line
// function, the slow codes), started back to back in every order: the second is refused with the text
// naming the first, the buttons stay held while the first runs, and Stop ends it and gives the line back.
// Real worker, real clock, the simulated car.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QThread>
#include <chrono>
#include <functional>

#include "host_recorder.h"
#include "links/line_lease.h"
#include "links/port_factory.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/panels/module_panel.h"
#include "ui/window/main_form.h"
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

struct TJobKind {
    const char* Name;
    const char* Job; // the name the refusal gives it
    std::function<void(TMainForm&)> Start;
};

const TJobKind JobKinds[] = {
    {"engine", EngineSessionJob, [](TMainForm& form) { form.btnConnectClick(); }},
    {"module", EGasDialogueJob, [](TMainForm& form) { Child<TModulePanel>(&form, "pnlEGas")->Start(false); }},
    {"impulse", ImpulseJob, [](TMainForm& form) { Child<QAction>(&form, "mnuDownKLine8")->trigger(); }},
    {"slow codes", SlowCodesJob,
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
    testing::THostRecorder host;
    TWorkerConnection connection;
    TMainForm form(connection, "SIM:hfm-blink");
    form.show();
    auto* connect = Child<QPushButton>(&form, "btnConnect");
    auto* port = Child<QPushButton>(&form, "btnPort");
    auto* egasRead = Child<QPushButton>(&form, "btnEGasRead");
    for (const TJobKind& first : JobKinds) {
        for (const TJobKind& second : JobKinds) {
            if (&first == &second)
                continue;
            SCOPED_TRACE(std::string(first.Name) + " then " + second.Name);
            host.Clear();
            first.Start(form);
            second.Start(form);
            const std::string refusal =
                std::string("Линия занята: ") + first.Job + ". Дождитесь окончания или нажмите Stop.";
            EXPECT_EQ(host.Boxes(), std::vector<std::string>{refusal}) << host.LogText();
            EXPECT_FALSE(connect->isEnabled());
            EXPECT_FALSE(port->isEnabled());
            if (std::string(first.Name) != "module")
                EXPECT_FALSE(egasRead->isEnabled()) << "no module start while another job holds the line";

            form.StopClick();
            ASSERT_TRUE(ServeUntil([&] { return LineHolder().empty() && port->isEnabled(); }, 30))
                << "holder: " << LineHolder() << "\n"
                << host.LogText();
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
