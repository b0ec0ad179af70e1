#include "sim/adapters/pty_line.h"

#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace velmora {

namespace {

void MakeRaw(int fd) {
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return;
    line.c_iflag = 0;
    line.c_oflag = 0;
    line.c_lflag = 0;
    line.c_cflag = CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    line.c_ispeed = line.c_ospeed = 9600;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    ioctl(fd, TCSETS2, &line);
}

} // namespace

bool OpenPty(TPty& pty, std::string& error) {
    pty.Master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.Master < 0 || grantpt(pty.Master) != 0 || unlockpt(pty.Master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        ClosePty(pty);
        return false;
    }
    pty.Path = ptsname(pty.Master);
    pty.Slave = open(pty.Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.Slave < 0) {
        error = "cannot open " + pty.Path + ": " + std::strerror(errno);
        ClosePty(pty);
        return false;
    }
    MakeRaw(pty.Slave);
    return true;
}

void ClosePty(TPty& pty) {
    if (pty.Slave >= 0)
        close(pty.Slave);
    if (pty.Master >= 0)
        close(pty.Master);
    pty.Slave = pty.Master = -1;
}

TSeenLine ReadPtyLine(int master) {
    TSeenLine seen;
    struct termios2 line {};
    if (ioctl(master, TCGETS2, &line) != 0)
        return seen;
    seen.Baud = int(line.c_ospeed);
    seen.MarkSpace = (line.c_cflag & CMSPAR) != 0;
    seen.Mark = seen.MarkSpace && (line.c_cflag & PARODD) != 0;
    return seen;
}

} // namespace velmora
