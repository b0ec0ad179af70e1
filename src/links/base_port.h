// The one byte channel to the adapter: the abstract port and the buffer record its operations share.
// A port object is used by one thread at a time; callers serialise their use.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "platform/clock.h"

namespace velmora {

// Parity codes, equal to the Windows DCB codes.
enum : uint8_t { ParityNone = 0, ParityOdd = 1, ParityEven = 2, ParityMark = 3, ParitySpace = 4 };
// Stop-bit codes.
enum : uint8_t { OneStopBit = 0, OneHalfStopBits = 1, TwoStopBits = 2 };

// Caller-owned storage for the buffer operations.
struct TPortBuffer {
    uint8_t* Data = nullptr;
    int32_t Reserved = 0; // free for the caller; the port operations neither read nor write it
    int32_t Count = 0;    // valid bytes: set by the reads, read by WriteBuf
    int32_t Size = 0;     // capacity of Data
};

// A failure of a port or of its driver; the text is the one the user sees.
class PortException : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TBasePort {
public:
    virtual ~TBasePort() = default;

    int32_t Baud = 0;

    virtual bool Open(bool ShowErrors, int Baud) = 0;
    virtual bool IsOpen() = 0;
    virtual int InQueue() = 0;
    virtual void Close() = 0;
    virtual void SetParams(int Baud, uint8_t Parity, uint8_t StopBits) = 0;
    virtual void SetRTS(bool On) = 0;
    virtual void SetParity(uint8_t Parity) = 0;
    virtual bool ReadByte(uint8_t& Value) = 0;
    virtual int ReadBuf(TPortBuffer& Buffer) = 0;
    virtual int ReadBufEx(TPortBuffer& Buffer, int Count) = 0;
    virtual bool WriteBuf(TPortBuffer Buffer) = 0;
    virtual bool WriteByte(uint8_t Value) = 0;
    virtual bool WritePortEx(const uint8_t* Data, int Length) = 0;
    virtual void SetCommBreak() = 0;
    virtual void ClearCommBreak() = 0;
    virtual void SetTimeouts(int ReadInterval, int ReadTotalMultiplier, int ReadTotalConstant,
                             int WriteTotalMultiplier, int WriteTotalConstant) = 0;
    // Waits until received bytes are waiting or `maxMs` has passed, without taking any; true when bytes
    // are waiting. Ports with a descriptor wake on the first byte; this default looks again after a
    // sleep of at most one millisecond.
    virtual bool WaitInput(uint32_t maxMs) {
        if (InQueue() > 0)
            return true;
        // Nothing to wait on: one millisecond is about one byte at 9600 baud.
        constexpr uint32_t LookAgainMs = 1;
        if (maxMs > 0)
            Clock().Sleep(std::min(maxMs, LookAgainMs));
        return InQueue() > 0;
    }
};

} // namespace velmora
