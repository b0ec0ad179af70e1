#include "links/com_low_level.h"

#include <cerrno>
#include <climits>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "links/device_paths.h"
#include "links/linux_serial.h"
#include "links/serial_device.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

std::atomic<int32_t> ComBaud{9600};
std::atomic<int32_t> ComNumber{1};
std::atomic<char> ComRTS{'N'};
std::atomic<bool> ComBusy{false};

namespace {

constexpr TCommTimeouts OpenTimeouts{0, 0, 50, 0, 1000};

std::atomic<int> comFd{-1};
std::mutex stateLock; // guards the fields below
std::string comDevice;
std::string lastError;
TSavedLine savedLine;
TCommTimeouts timeouts;
// The open device's line settings and RTS as last set (the device is ours alone while open), so that
// a parity change per byte costs one call, and unchanged modem lines none.
TLineCache lineCache;
int rtsSet = -1; // -1: not yet set on this device

// How the user knows the port: "COM3", or the device path.
std::string PortLabel(int number) {
    return number >= FirstDevicePathNumber ? ComDevicePath(number) : "COM" + std::to_string(number);
}

[[noreturn]] void ThrowLost() {
    throw PortException("Port lost: " + ComDevice());
}

TCommTimeouts CurrentTimeouts() {
    std::lock_guard guard(stateLock);
    return timeouts;
}

// Called by the thread that uses the port (OpenPort, SetNewPortParams), never at the same time.
int ApplySettings(int fd, int baud, uint8_t parity, uint8_t stopBits) {
    if (int failed = SetRawLine(fd, {baud, parity, stopBits}, lineCache))
        return failed;
    const int rts = ComRTS == 'Y' ? 1 : 0;
    if (rts == rtsSet)
        return 0;
    if (int failed = SetModemLines(fd, false, rts == 1))
        return failed;
    rtsSet = rts;
    return 0;
}

// Takes what has arrived, at most `n` bytes, without waiting. The line is set up so that an empty
// queue gives EAGAIN; end of file or an I/O error means the device hung up or was unplugged.
int ReadNow(int fd, uint8_t* data, int n) {
    ssize_t got = read(fd, data, size_t(n));
    if (got > 0)
        return int(got);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    ThrowLost();
}

enum class TReady { Yes, TimedOut };

// Waits up to `ms` (WaitForever: no limit) for the device to be readable or writable.
TReady WaitFor(int fd, short events, int64_t ms) {
    for (;;) {
        pollfd p{fd, events, 0};
        int limit = ms == WaitForever ? -1 : int(std::min<int64_t>(ms, INT_MAX));
        int ready = poll(&p, 1, limit);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            ThrowLost();
        if (ready == 0) {
            if (limit == INT_MAX && ms > INT_MAX) {
                ms -= INT_MAX;
                continue;
            }
            return TReady::TimedOut;
        }
        if (p.revents & events)
            return TReady::Yes;
        ThrowLost(); // POLLHUP, POLLERR or POLLNVAL alone
    }
}

int TimedRead(int fd, uint8_t* data, int n) {
    const TReadLine line{[fd](uint8_t* bytes, int count) { return ReadNow(fd, bytes, count); },
                         [fd](int64_t ms) { return WaitFor(fd, POLLIN, ms) == TReady::Yes; }};
    return ReadWithTimeouts(CurrentTimeouts(), data, n, line);
}

// A read under the ComBusy guard: a second, overlapping read is turned away.
class TReadGuard {
public:
    TReadGuard() : Acquired(!ComBusy.exchange(true)) {
        if (!Acquired)
            Host().MessageBox("Port busy", TMsgKind::Warning, TMsgButtons::Ok);
    }
    ~TReadGuard() {
        if (Acquired)
            ComBusy = false;
    }
    TReadGuard(const TReadGuard&) = delete;
    TReadGuard& operator=(const TReadGuard&) = delete;

    const bool Acquired;
};

int InQueueOf(int fd) {
    if (fd < 0)
        return 0;
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0)
        ThrowLost();
    if (waiting == 0) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            ThrowLost();
    }
    return waiting;
}

} // namespace

bool OpenPort(bool ShowErrors) {
    ClosePort();
    int number = ComNumber;
    std::string device = ComDevicePath(number);
    int fd = -1;
    for (;;) {
        std::string error = PortLabel(number) + ": no such port";
        if (!device.empty())
            fd = OpenSerialDevice(device, error);
        if (fd >= 0)
            break;
        {
            std::lock_guard guard(stateLock);
            lastError = error;
        }
        if (!ShowErrors)
            return false;
        Host().AddLog(error);
        if (Host().MessageBox("Error opening " + PortLabel(number), TMsgKind::Warning,
                              TMsgButtons::AbortRetry) != TMsgResult::Retry)
            return false;
    }

    RequestLowLatency(fd);
    {
        std::lock_guard guard(stateLock);
        savedLine.Save(fd);
        comDevice = device;
        lastError.clear();
        timeouts = OpenTimeouts;
    }
    lineCache.Forget();
    rtsSet = -1;
    comFd = fd;
    if (int failed = ApplySettings(fd, ComBaud, ParityNone, OneStopBit)) {
        std::string where = number >= FirstDevicePathNumber ? device : std::to_string(number);
        Host().MessageBox("OpenPort(" + where + ")->SetCommState() LastError=" + std::to_string(failed),
                          TMsgKind::Error, TMsgButtons::Ok);
        if (int actual = ReadBaud(fd); actual > 0)
            ComBaud = actual;
    }
    return true;
}

bool SetNewPortParams(int Baud, uint8_t Parity, uint8_t StopBits) {
    int fd = comFd;
    if (fd < 0)
        return false;
    if (int failed = ApplySettings(fd, Baud, Parity, StopBits)) {
        Host().MessageBox("SetNewPortParams->SetCommState() LastError=" + std::to_string(failed),
                          TMsgKind::Error, TMsgButtons::Ok);
        return false;
    }
    ComBaud = Baud;
    return true;
}

void ClosePort() {
    int fd = comFd.exchange(-1);
    if (fd < 0)
        return;
    std::lock_guard guard(stateLock);
    ioctl(fd, TIOCCBRK);
    savedLine.Restore(fd);
    CloseSerialDevice(fd);
    comDevice.clear();
}

bool ComIsOpen() {
    return comFd >= 0;
}

std::string ComDevice() {
    std::lock_guard guard(stateLock);
    return comDevice;
}

std::string ComLastError() {
    std::lock_guard guard(stateLock);
    return lastError;
}

int ComInQueue() {
    return InQueueOf(comFd);
}

bool ComReadByte(uint8_t& Value) {
    TReadGuard guard;
    if (!guard.Acquired)
        return false;
    int fd = comFd;
    return InQueueOf(fd) >= 1 && ReadNow(fd, &Value, 1) == 1;
}

int ComReadBuf(TPortBuffer& Buffer) {
    TReadGuard guard;
    if (!guard.Acquired)
        return 0;
    int fd = comFd;
    int n = std::min(InQueueOf(fd), Buffer.Size);
    Buffer.Count = n > 0 && Buffer.Data ? ReadNow(fd, Buffer.Data, n) : 0;
    return Buffer.Count;
}

bool ComWaitInput(uint32_t ms) {
    int fd = comFd;
    return fd >= 0 && WaitFor(fd, POLLIN, ms) == TReady::Yes;
}

int ComReadBufEx(TPortBuffer& Buffer, int Count) {
    TReadGuard guard;
    if (!guard.Acquired)
        return 0;
    int fd = comFd;
    int n = std::min(Count, Buffer.Size);
    Buffer.Count = fd >= 0 && n > 0 && Buffer.Data ? TimedRead(fd, Buffer.Data, n) : 0;
    return Buffer.Count;
}

bool ComWrite(const uint8_t* Data, int Length) {
    int fd = comFd;
    if (fd < 0 || Length < 0 || (Length > 0 && !Data))
        return false;
    int64_t limit = WriteLimit(CurrentTimeouts(), Length);
    uint32_t start = Clock().TickCount();
    int sent = 0;
    while (sent < Length) {
        ssize_t now = write(fd, Data + sent, size_t(Length - sent));
        if (now > 0) {
            sent += int(now);
            continue;
        }
        if (now < 0 && errno != EAGAIN && errno != EINTR) {
            if (errno == EIO || errno == ENXIO || errno == ENODEV)
                ThrowLost();
            return false;
        }
        int64_t remaining =
            limit == WaitForever
                ? WaitForever
                : std::max<int64_t>(0, limit - int64_t(TicksSince(start, Clock().TickCount())));
        if (remaining == 0 || WaitFor(fd, POLLOUT, remaining) == TReady::TimedOut)
            return false;
    }
    return true;
}

void ComBreak(bool On) {
    if (int fd = comFd; fd >= 0)
        ioctl(fd, On ? TIOCSBRK : TIOCCBRK);
}

bool ComSetTimeouts(const TCommTimeouts& newTimeouts) {
    if (comFd < 0)
        return false;
    std::lock_guard guard(stateLock);
    timeouts = newTimeouts;
    return true;
}

} // namespace velmora
