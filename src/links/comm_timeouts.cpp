#include "links/comm_timeouts.h"

#include <algorithm>

#include "platform/clock.h"

namespace velmora {

namespace {

// A limit of `limit` ms counted from `since`; never below 0.
int64_t Left(int64_t limit, uint32_t since, uint32_t now) {
    return std::max<int64_t>(0, limit - int64_t(TicksSince(since, now)));
}

int64_t Earliest(int64_t a, int64_t b) {
    if (a == WaitForever)
        return b;
    if (b == WaitForever)
        return a;
    return std::min(a, b);
}

} // namespace

TReadWait::TReadWait(const TCommTimeouts& timeouts, int asked, uint32_t start)
    : Timeouts(timeouts), Asked(asked), Start(start) {}

int64_t TReadWait::Remaining(int received, uint32_t lastByte, uint32_t now) const {
    const TCommTimeouts& t = Timeouts;
    if (received >= Asked)
        return 0;
    if (t.ReadInterval == MAXDWORD && t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0)
        return 0;
    if (t.ReadInterval == MAXDWORD && t.ReadTotalMultiplier == MAXDWORD && t.ReadTotalConstant > 0 &&
        t.ReadTotalConstant < MAXDWORD)
        return received > 0 ? 0 : Left(t.ReadTotalConstant, Start, now);

    int64_t total = WaitForever;
    if (t.ReadTotalMultiplier != 0 || t.ReadTotalConstant != 0)
        total = Left(int64_t(t.ReadTotalMultiplier) * Asked + t.ReadTotalConstant, Start, now);
    int64_t interval = WaitForever;
    if (t.ReadInterval != 0 && received > 0)
        interval = Left(t.ReadInterval, lastByte, now);
    return Earliest(total, interval);
}

int ReadWithTimeouts(const TCommTimeouts& timeouts, uint8_t* data, int n, const TReadLine& line) {
    const uint32_t start = Clock().TickCount();
    const TReadWait wait(timeouts, n, start);
    int got = 0;
    uint32_t lastByte = start;
    // Waits first, then reads: after a byte is sent, its echo and the answer are still on the line, so a
    // read before the wait could only come back empty (a system call per byte for nothing).
    while (got < n) {
        const int64_t remaining = wait.Remaining(got, lastByte, Clock().TickCount());
        if (remaining != 0 && !line.WaitForInput(remaining))
            break;
        const int now = line.TakeArrived(data + got, n - got);
        if (now > 0) {
            got += now;
            lastByte = Clock().TickCount();
        } else if (remaining == 0) {
            break;
        }
    }
    return got;
}

int64_t WriteLimit(const TCommTimeouts& timeouts, int length) {
    if (timeouts.WriteTotalMultiplier == 0 && timeouts.WriteTotalConstant == 0)
        return WaitForever;
    return int64_t(timeouts.WriteTotalMultiplier) * length + timeouts.WriteTotalConstant;
}

} // namespace velmora
