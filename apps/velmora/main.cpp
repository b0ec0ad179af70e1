// velmora: the window program. The program folder first, then the simulated car's ports, the window
// host and the main window; on a first run the port is the simulated car, so everything can be tried
// without one.
#include <QApplication>
#include <cstdio>
#include <string_view>

#include "lang/dictionary_appender.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/velmora_version.h"
#include "sim/sim_port.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/worker_connection.h"

#include "quit_on_signal.h"

int main(int argc, char** argv) {
    using namespace velmora;
    // Answered without a display, before the program folder is set up.
    if (argc > 1 && std::string_view(argv[1]) == "--version") {
        std::printf("velmora %s\n", PackageVersion);
        return 0;
    }
    if (const std::string problem = InitProgramFolder(argc, argv); !problem.empty()) {
        std::fprintf(stderr, "velmora: %s\n", problem.c_str());
        return 2;
    }
    RegisterSimPorts(TSimCarLifetime::Program); // erased faults and coding stay until the program ends

    QApplication app(argc, argv);
    CloseWindowsOnSignals(app);
    TQtHost host;
    SetHost(&host);
    int result = 0;
    {
        TWorkerConnection connection;
        TMainForm form(connection, "SIM");
        form.show();
        result = app.exec();
        host.EndOfWindow(); // the worker may still ask for a box while it ends its connection
    }
    // The unknown texts of the run reach the dictionary before the program ends (the window that could
    // show a failure is gone).
    FlushDictionaryAppends();
    SetHost(nullptr);
    return result;
}
