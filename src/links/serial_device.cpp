#include "links/serial_device.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>

#include "links/linux_serial.h"

namespace velmora {

namespace {

TModemLineObserver modemLineObserver;

int SetLine(int fd, int line, bool on) {
    NoteLineCall(on ? "TIOCMBIS" : "TIOCMBIC");
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 || errno == ENOTTY || errno == EINVAL)
        return 0;
    return errno;
}

} // namespace

int OpenSerialDevice(const std::string& path, std::string& error, TOpenFault* fault) {
    const auto failed = [&](int code, bool lockFailed) {
        const TOpenProblem problem = DiagnoseOpenFailure(path, code, lockFailed);
        error = OpenProblemText(problem);
        if (fault)
            *fault = problem.Fault;
        return -1;
    };
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed(errno, false);
    if (!isatty(fd)) {
        close(fd);
        return failed(ENOTTY, false);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        close(fd);
        return failed(code, true);
    }
    ioctl(fd, TIOCEXCL);
    return fd;
}

void CloseSerialDevice(int fd) {
    ioctl(fd, TIOCNXCL);
    close(fd);
}

bool ProbeSerialDevice(const std::string& path, std::string* error, TOpenFault* fault) {
    std::string problem;
    int fd = OpenSerialDevice(path, problem, fault);
    if (fd < 0) {
        if (error)
            *error = problem;
        return false;
    }
    CloseSerialDevice(fd);
    return true;
}

void SetModemLineObserver(TModemLineObserver observer) {
    modemLineObserver = std::move(observer);
}

int SetModemLines(int fd, bool dtr, bool rts) {
    if (modemLineObserver)
        modemLineObserver(dtr, rts);
    if (int failed = SetLine(fd, TIOCM_DTR, dtr))
        return failed;
    return SetLine(fd, TIOCM_RTS, rts);
}

} // namespace velmora
