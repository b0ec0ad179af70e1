// The time-out record of a serial port and what it means for one read or write, with the Windows
// COMMTIMEOUTS semantics the protocol layers were written for. Arithmetic on tick counts (ms) and one read
// loop over a line given as two calls, so that any thread may use it and tests need no port.
#pragma once

#include <cstdint>
#include <functional>

namespace velmora {

// 0xFFFFFFFF: the special value of the interval and multiplier fields. Through the int arguments of
// SetTimeouts it arrives as -1.
constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

// All values in ms.
//  - total read limit = ReadTotalMultiplier * bytes asked + ReadTotalConstant; both 0 = no total limit;
//  - ReadInterval: longest gap allowed between two received bytes, counted from the first byte on;
//    0 = not used;
//  - all three read fields 0: the read waits until every byte asked for has come;
//  - ReadInterval MAXDWORD with multiplier and constant 0: the read returns at once with what is there;
//  - ReadInterval and multiplier MAXDWORD, 0 < constant < MAXDWORD: the read returns at once when
//    something is there, otherwise with the first byte to arrive or after the constant;
//  - total write limit = WriteTotalMultiplier * bytes + WriteTotalConstant; both 0 = no limit.
struct TCommTimeouts {
    uint32_t ReadInterval = 0;
    uint32_t ReadTotalMultiplier = 0;
    uint32_t ReadTotalConstant = 0;
    uint32_t WriteTotalMultiplier = 0;
    uint32_t WriteTotalConstant = 0;
};

// "No limit" for the waits below.
constexpr int64_t WaitForever = -1;

// The time budget of one read of `asked` bytes that started at tick `start`.
class TReadWait {
public:
    TReadWait(const TCommTimeouts& timeouts, int asked, uint32_t start);
    // How long the read may still wait for more bytes (ms, 0 = return now, WaitForever), after
    // `received` bytes, the last of them at tick `lastByte`. Call it after taking what had arrived.
    int64_t Remaining(int received, uint32_t lastByte, uint32_t now) const;

private:
    TCommTimeouts Timeouts;
    int Asked;
    uint32_t Start;
};

// The line as a timed read sees it.
struct TReadLine {
    // Takes what has arrived, at most `n` bytes, without waiting; the count taken.
    std::function<int(uint8_t* data, int n)> TakeArrived;
    // Waits up to `ms` (WaitForever: no limit) for input; false when the wait ended without any.
    std::function<bool(int64_t ms)> WaitForInput;
};

// One read of up to `n` bytes from `line` under `timeouts`, timed on Clock(): the interval counts from
// the last byte taken, the total from the start. Result: the bytes read.
int ReadWithTimeouts(const TCommTimeouts& timeouts, uint8_t* data, int n, const TReadLine& line);

// The total limit of a write of `length` bytes (ms), or WaitForever.
int64_t WriteLimit(const TCommTimeouts& timeouts, int length);

} // namespace velmora
