#include "links/linux_serial.h"

#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>

#include "links/base_port.h"

namespace velmora {

namespace {

constexpr unsigned UnixPtySlaveMajor = 136; // /dev/pts/*, majors 136 to 143
constexpr unsigned BsdPtySlaveMajor = 3;    // /dev/ttyp*

constexpr tcflag_t ParityBits = PARENB | PARODD | CMSPAR;

// termios c_cflag parity bits per parity code (none, odd, even, mark, space).
constexpr tcflag_t ParityFlags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};

TLineCallObserver lineCallObserver;

int LineIoctl(int fd, unsigned long request, void* argument, const char* name) {
    NoteLineCall(name);
    return ioctl(fd, request, argument);
}

// Pseudo-terminals carry no real line: the kernel keeps no parity for them (it clears PARENB), so only
// the speed and the stop bits can be checked there.
bool IsPseudoTerminal(int fd) {
    struct stat device {};
    NoteLineCall("fstat");
    if (fstat(fd, &device) != 0 || !S_ISCHR(device.st_mode))
        return false;
    unsigned deviceMajor = major(device.st_rdev);
    return (deviceMajor >= UnixPtySlaveMajor && deviceMajor < UnixPtySlaveMajor + 8) ||
           deviceMajor == BsdPtySlaveMajor;
}

bool BaudWithin3Percent(int asked, int actual) {
    return std::abs(int64_t(actual) - asked) * 100 <= int64_t(asked) * 3;
}

bool Valid(const TLineSettings& line) {
    return line.Baud > 0 && line.Parity <= ParitySpace &&
           (line.StopBits == OneStopBit || line.StopBits == TwoStopBits);
}

// `base` turned into the raw line of `line`.
termios2 RawLine(termios2 t, const TLineSettings& line) {
    t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                           INPCK | IGNPAR);
    t.c_oflag &= ~tcflag_t(OPOST);
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~tcflag_t(CSIZE | ParityBits | CSTOPB | CRTSCTS | HUPCL | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CS8 | CLOCAL | CREAD | ParityFlags[line.Parity] | BOTHER | (BOTHER << IBSHIFT);
    if (line.StopBits == TwoStopBits)
        t.c_cflag |= CSTOPB;
    t.c_ispeed = speed_t(line.Baud);
    t.c_ospeed = speed_t(line.Baud);
    // VMIN 1: a non-blocking read of an empty queue gives EAGAIN, so a read of 0 bytes means hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return t;
}

termios2 FromRaw(const std::vector<unsigned char>& raw) {
    termios2 t{};
    std::memcpy(&t, raw.data(), sizeof t);
    return t;
}

std::vector<unsigned char> ToRaw(const termios2& t) {
    std::vector<unsigned char> raw(sizeof t);
    std::memcpy(raw.data(), &t, sizeof t);
    return raw;
}

} // namespace

void SetLineCallObserver(TLineCallObserver observer) {
    lineCallObserver = std::move(observer);
}

void NoteLineCall(const char* call) {
    if (lineCallObserver)
        lineCallObserver(call);
}

int SetRawLine(int fd, const TLineSettings& line, TLineCache& cache) {
    if (!Valid(line))
        return EINVAL;
    if (cache.Known && line == cache.Current)
        return 0;
    termios2 before{};
    if (cache.Known)
        before = FromRaw(cache.Raw);
    else if (LineIoctl(fd, TCGETS2, &before, "TCGETS2") != 0)
        return errno;

    termios2 t = RawLine(before, line);
    if (LineIoctl(fd, TCSETS2, &t, "TCSETS2") != 0)
        return errno;
    const bool verified =
        cache.Known && std::find(cache.Verified.begin(), cache.Verified.end(), line) != cache.Verified.end();
    if (!verified) {
        // The driver rounds the speed to what its divisor allows and may drop flags it cannot do.
        termios2 now{};
        if (LineIoctl(fd, TCGETS2, &now, "TCGETS2") != 0)
            return errno;
        const bool parityKept = (now.c_cflag & ParityBits) == ParityFlags[line.Parity];
        if (!parityKept && cache.PseudoTerminal < 0)
            cache.PseudoTerminal = IsPseudoTerminal(fd) ? 1 : 0;
        const bool met = BaudWithin3Percent(line.Baud, int(now.c_ospeed)) &&
                         (parityKept || cache.PseudoTerminal == 1) &&
                         (now.c_cflag & CSTOPB) == (t.c_cflag & CSTOPB);
        if (!met) {
            LineIoctl(fd, TCSETS2, &before, "TCSETS2");
            return EINVAL;
        }
        cache.Verified.push_back(line);
    }
    cache.Known = true;
    cache.Current = line;
    cache.Raw = ToRaw(t);
    return 0;
}

int ReadBaud(int fd) {
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return -1;
    return int(line.c_ospeed);
}

void RequestLowLatency(int fd) {
    struct serial_struct serial {};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &serial);
}

bool TSavedLine::Save(int fd) {
    struct termios2 line {};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    Raw.resize(sizeof line);
    std::memcpy(Raw.data(), &line, sizeof line);
    return true;
}

void TSavedLine::Restore(int fd) const {
    struct termios2 line {};
    if (Raw.size() != sizeof line)
        return;
    std::memcpy(&line, Raw.data(), sizeof line);
    ioctl(fd, TCSETS2, &line);
}

} // namespace velmora
