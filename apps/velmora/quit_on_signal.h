// SIGINT, SIGTERM and SIGHUP close the main window as the user would, so that the worker is stopped,
// the exchange log written out and the settings saved. Window thread; install once after QApplication.
#pragma once

class QApplication;

namespace velmora {

void CloseWindowsOnSignals(QApplication& app);

} // namespace velmora
