// velmora: the window program. The program folder first, then the simulated car's ports, the window
// host and the main window; on a first run the port is the simulated car, so everything can be tried
// without one.
#include <QApplication>

#include "platform/host.h"
#include "platform/program_folders.h"
#include "sim/sim_port.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/worker_connection.h"

#include "quit_on_signal.h"

int main(int argc, char** argv) {
    using namespace velmora;
    InitProgramFolder(argc, argv);
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
    SetHost(nullptr);
    return result;
}
