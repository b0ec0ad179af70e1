#include <gtest/gtest.h>

#include <vector>

#include "links/comm_timeouts.h"
#include "platform/clock.h"

namespace velmora {
namespace {

struct TReadCase {
    const char* Name;
    TCommTimeouts Timeouts;
    int Asked;
    int Received;
    uint32_t Start;
    uint32_t LastByte;
    uint32_t Now;
    int64_t Remaining;
};

constexpr uint32_t T0 = 1000;

const TReadCase ReadCases[] = {
    // The engine link: 300 ms plus 1 ms per byte, counted from the start of the read.
    {"engine link, nothing yet", {0, 1, 300}, 2, 0, T0, T0, T0, 302},
    {"engine link, one byte, later", {0, 1, 300}, 2, 1, T0, T0 + 150, T0 + 200, 102},
    {"engine link, time is up", {0, 1, 300}, 2, 1, T0, T0 + 150, T0 + 400, 0},
    {"everything asked has come", {0, 1, 300}, 2, 2, T0, T0, T0, 0},
    {"all zero waits for the count", {0, 0, 0}, 4, 3, T0, T0 + 5000, T0 + 90000, WaitForever},
    {"MAXDWORD interval returns at once", {MAXDWORD, 0, 0}, 4, 0, T0, T0, T0, 0},
    {"first byte mode, nothing yet", {MAXDWORD, MAXDWORD, 500}, 4, 0, T0, T0, T0 + 100, 400},
    {"first byte mode, a byte came", {MAXDWORD, MAXDWORD, 500}, 4, 1, T0, T0 + 10, T0 + 10, 0},
    {"interval starts with the first byte", {20, 0, 0}, 4, 0, T0, T0, T0 + 5000, WaitForever},
    {"interval after a byte", {20, 0, 0}, 4, 1, T0, T0 + 50, T0 + 60, 10},
    {"interval gap exceeded", {20, 0, 0}, 4, 2, T0, T0 + 50, T0 + 75, 0},
    {"total before interval", {20, 0, 100}, 4, 1, T0, T0 + 90, T0 + 95, 5},
    {"interval before total", {20, 0, 100}, 4, 1, T0, T0 + 10, T0 + 15, 15},
    {"tick count wraps", {0, 0, 100}, 1, 0, 0xFFFFFFF0u, 0xFFFFFFF0u, 0x10, 68},
    {"MAXDWORD multiplier outside first byte mode",
     {0, MAXDWORD, 0},
     2,
     0,
     T0,
     T0,
     T0,
     2 * int64_t(MAXDWORD)},
};

TEST(ReadWait, FollowsTheCommTimeoutRules) {
    for (const TReadCase& c : ReadCases) {
        TReadWait wait(c.Timeouts, c.Asked, c.Start);
        EXPECT_EQ(wait.Remaining(c.Received, c.LastByte, c.Now), c.Remaining) << c.Name;
    }
}

// A line whose bytes arrive at set ticks of a manual clock; waiting on it moves the clock.
class TScheduledLine {
public:
    TScheduledLine(TManualClock& clock, std::vector<uint32_t> arrivals) : Time(clock), Arrivals(arrivals) {}

    TReadLine Line() {
        return {[this](uint8_t* data, int n) {
                    int taken = 0;
                    while (taken < n && Next < Arrivals.size() && Arrivals[Next] <= Time.TickCount())
                        data[taken++] = uint8_t(++Next);
                    EmptyTakes += taken == 0;
                    return taken;
                },
                [this](int64_t ms) {
                    const uint32_t now = Time.TickCount();
                    if (Next < Arrivals.size() && (ms == WaitForever || Arrivals[Next] - now <= ms)) {
                        Time.Advance(Arrivals[Next] - now);
                        return true;
                    }
                    EXPECT_NE(ms, WaitForever) << "a read that would never end";
                    Time.Advance(uint32_t(ms));
                    return false;
                }};
    }

    int EmptyTakes = 0; // reads that found nothing: each a system call for nothing on a real port

private:
    TManualClock& Time;
    std::vector<uint32_t> Arrivals; // ticks
    size_t Next = 0;
};

TEST(ReadWithTimeouts, GapsCountFromTheLastByteAndTheTotalFromTheStart) {
    struct TCase {
        const char* Name;
        TCommTimeouts Timeouts;
        std::vector<uint32_t> ArrivalsMs; // after the start of the read
        int Asked;
        int Got;
        uint32_t EndsAtMs;
    };
    const TCase cases[] = {
        {"gaps within the interval", {50, 0, 0}, {0, 30, 60, 90}, 10, 4, 140},
        {"a gap longer than the interval", {50, 0, 0}, {0, 30, 100}, 10, 2, 80},
        {"the interval waits for a first byte", {50, 0, 0}, {200, 230}, 2, 2, 230},
        {"engine link, answer in time", {0, 1, 300}, {5, 250}, 2, 2, 250},
        {"engine link, answer too late", {0, 1, 300}, {5, 400}, 2, 1, 302},
        {"total ends a read whose gaps are short", {50, 0, 100}, {0, 30, 60, 90, 120}, 10, 4, 100},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TManualClock clock(T0);
        TScopedClock scoped(clock);
        std::vector<uint32_t> arrivals;
        for (uint32_t ms : c.ArrivalsMs)
            arrivals.push_back(T0 + ms);
        TScheduledLine line(clock, arrivals);
        uint8_t data[16] = {};
        EXPECT_EQ(ReadWithTimeouts(c.Timeouts, data, c.Asked, line.Line()), c.Got);
        EXPECT_EQ(clock.TickCount() - T0, c.EndsAtMs);
        for (int i = 0; i < c.Got; ++i)
            EXPECT_EQ(data[i], i + 1) << "bytes in order";
        // A read only once the line said bytes are there.
        EXPECT_EQ(line.EmptyTakes, 0);
    }
    // A read that may not wait still looks once, and takes what is there.
    for (const std::vector<uint32_t>& arrivals : {std::vector<uint32_t>{}, std::vector<uint32_t>{T0}}) {
        TManualClock clock(T0);
        TScopedClock scoped(clock);
        TScheduledLine line(clock, arrivals);
        uint8_t data[4] = {};
        EXPECT_EQ(ReadWithTimeouts({MAXDWORD, 0, 0}, data, 4, line.Line()), int(arrivals.size()));
        EXPECT_EQ(clock.TickCount(), T0);
    }
}

TEST(WriteLimit, IsMultiplierPerByteAndConstantOrNone) {
    EXPECT_EQ(WriteLimit({0, 0, 0, 2, 100}, 5), 110);
    EXPECT_EQ(WriteLimit({0, 0, 0, 0, 1000}, 5), 1000);
    EXPECT_EQ(WriteLimit({0, 0, 0, 0, 0}, 5), WaitForever);
}

} // namespace
} // namespace velmora
