// The window's CPU while it polls: the main window on Qt's offscreen platform, connected through the real
// worker and COM port code to the simulated HFM on a pseudo-terminal (strict mode, served by a thread of
// this process), first with the parameter screen shown, then with the log page shown while the link
// stays up. The CPU is the whole process's less the simulator's thread (window thread and worker), over a
// fixed span of real time; the window thread's own share is shown apart.
//
// Usage: velmora-window-bench [SECONDS]   (default 10 per case; a Release build gives meaningful figures)
#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <thread>

#include "platform/program_folders.h"
#include "sim/adapters/sim_server.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/worker_connection.h"

namespace {

using namespace velmora;

// The most of a core the window and its link may take while polling (%).
constexpr double PollingCpuLimitPercent = 2.0;

// The window's host with every box answered OK and printed instead of shown.
class TQuietHost : public TQtHost {
public:
    TQuietHost() { SetHost(this); }
    ~TQuietHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons) override {
        std::fprintf(stderr, "box: %.*s\n", int(text.size()), text.data());
        return TMsgResult::Ok;
    }
};

double CpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// Runs the window's events for `ms` of real time, in a loop of its own: quitting the application's
// loop would end the connection.
void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the window's events until `done` holds or `seconds` have passed.
bool RunUntil(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: velmora-window-bench [SECONDS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    TQuietHost host;

    TSimServer server;
    std::string error;
    TSimServerOptions options;
    options.Strict = true;
    if (!server.Start(options, error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    std::thread serving([&] { server.Run(); });
    clockid_t serverClock{};
    pthread_getcpuclockid(serving.native_handle(), &serverClock);

    // A program folder of its own: a screen of coolant, engine speed and air mass, the simulator's port.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-window-bench";
    std::filesystem::remove_all(folder);
    SetProgramFolder(folder);
    WriteFile(folder / "DATA/options.ini", "[SCREEN0]\nITEMS=Основные 0,1,2\n");
    WriteFile(SettingsFile(), "[OPTIONS]\nPORT=" + server.Where() + "\n");

    int status = 0;
    {
        TWorkerConnection connection;
        TMainForm form(connection);
        form.show();
        auto* pages = form.findChild<QTabWidget*>("pg");
        form.btnConnectClick();
        if (!pages || !RunUntil([&] { return pages->isTabVisible(PageScreens); }, 20)) {
            std::fprintf(stderr, "no connection:\n%s\n", form.LogMemo()->toPlainText().toStdString().c_str());
            status = 1;
        } else {
            std::printf("velmora window CPU, offscreen, %d s per case, unit hfm on a pseudo-terminal "
                        "(simulator's thread not counted)\n\n%-40s %10s %14s %7s %7s\n",
                        seconds, "case", "CPU %core", "window thread", "limit", "ratio");
            struct TCase {
                const char* Name;
                int Page;
            };
            for (const TCase& c : {TCase{"polling, parameter screen shown", PageScreens},
                                   TCase{"polling, log page shown", PageMemo}}) {
                pages->setCurrentIndex(c.Page);
                RunEvents(1000); // settle
                const double process0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
                const double server0 = CpuMs(serverClock);
                const double window0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
                RunEvents(seconds * 1000);
                const double toolMs =
                    (CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0) - (CpuMs(serverClock) - server0);
                const double windowMs = CpuMs(CLOCK_THREAD_CPUTIME_ID) - window0;
                const double spanMs = seconds * 1000.0;
                std::printf("%-40s %10.2f %14.2f %6.1f%% %7.2f\n", c.Name, 100.0 * toolMs / spanMs,
                            100.0 * windowMs / spanMs, PollingCpuLimitPercent,
                            100.0 * toolMs / spanMs / PollingCpuLimitPercent);
                std::fflush(stdout);
            }
        }
        form.StopClick();
        RunUntil([&] { return !connection.IsAlive(); }, 5);
    }
    server.Stop();
    serving.join();
    std::filesystem::remove_all(folder);
    return status;
}
