// The one byte channel to the adapter: the abstract port and the buffer record its operations share.
// A port object is used by one thread at a time; callers serialise their use.
#pragma once

#include <cstdint>
#include <stdexcept>

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
};

} // namespace velmora
