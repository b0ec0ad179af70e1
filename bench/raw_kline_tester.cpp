#include "raw_kline_tester.h"

#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int ReadLimitMs = 300;

bool SetLine(int fd, bool spaceParity) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    if (spaceParity)
        t.c_cflag |= PARENB | CMSPAR;
    t.c_ispeed = t.c_ospeed = 9600;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

// Writes one byte and reads `count` bytes back; the last one, or -1.
int Exchange(int fd, unsigned char value, int count) {
    if (write(fd, &value, 1) != 1)
        return -1;
    unsigned char got[8];
    int have = 0;
    while (have < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ReadLimitMs) <= 0)
            return -1;
        const ssize_t n = read(fd, got + have, size_t(count - have));
        if (n > 0)
            have += int(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return -1;
    }
    return got[count - 1];
}

} // namespace

double RawPairMedianMs(const std::string& path, unsigned char command, unsigned char param, int pairs,
                       std::string& error) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return -1;
    }
    std::vector<double> takes;
    // The wake-up: silence, then 0xAA with space parity; the break's 0x00, the echo and 0x55 come back.
    if (!SetLine(fd, true)) {
        error = "cannot set the line";
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        if (Exchange(fd, 0xAA, 3) != 0x55)
            error = "the unit did not wake";
    }
    for (int i = 0; error.empty() && i < pairs; ++i) {
        const auto start = SteadyClock::now();
        if (!SetLine(fd, false) || Exchange(fd, command, 2) != 0xFF - command || !SetLine(fd, true) ||
            Exchange(fd, param, 2) < 0) {
            error = "request pair " + std::to_string(i) + " failed";
            break;
        }
        takes.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
    }
    close(fd);
    if (!error.empty())
        return -1;
    std::nth_element(takes.begin(), takes.begin() + ptrdiff_t(takes.size() / 2), takes.end());
    return takes[takes.size() / 2];
}

} // namespace velmora
