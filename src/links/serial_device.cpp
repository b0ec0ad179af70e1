#include "links/serial_device.h"

#include <cerrno>
#include <cstring>
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

int OpenSerialDevice(const std::string& path, std::string& error) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return -1;
    }
    if (!isatty(fd)) {
        error = path + ": not a serial device";
        close(fd);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = path + ": in use by another program";
        close(fd);
        return -1;
    }
    ioctl(fd, TIOCEXCL);
    return fd;
}

void CloseSerialDevice(int fd) {
    ioctl(fd, TIOCNXCL);
    close(fd);
}

bool ProbeSerialDevice(const std::string& path) {
    std::string error;
    int fd = OpenSerialDevice(path, error);
    if (fd < 0)
        return false;
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
