#include "quit_on_signal.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {

namespace {

// A signal handler may only write to a pipe; the window thread reads the other end.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(signalPipe[1], &byte, 1);
}

} // namespace

void CloseWindowsOnSignals(QApplication& app) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        while (read(signalPipe[0], &byte, 1) > 0) {
        }
        // Closing the window runs its close handler (stop the worker, save); the last window closed
        // ends the event loop.
        QApplication::closeAllWindows();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace velmora
