// The FTDI driver calls TFTDIPort is written against (FT_Open .. FT_GetStatus with their status codes),
// as an interface: the program uses the libftdi implementation, tests a fake device. One device per
// process; callers serialise their use like the port itself.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

using FT_STATUS = uint32_t;
using FT_HANDLE = uintptr_t; // 0: no device

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
};

// Flow-control codes of FT_SetFlowControl.
constexpr uint16_t FT_FLOW_NONE = 0x0000;
constexpr uint16_t FT_FLOW_RTS_CTS = 0x0100;
constexpr uint16_t FT_FLOW_DTR_DSR = 0x0200;
constexpr uint16_t FT_FLOW_XON_XOFF = 0x0400;

class TFtdiDriver {
public:
    virtual ~TFtdiDriver() = default;

    // False when this build cannot drive FTDI devices at all.
    virtual bool Available() const { return true; }
    // Why the last FT_Open found a cable but could not open it, for the user (no permission on its USB
    // device, held by another program), with the fix; "" when it opened or there was no cable.
    virtual std::string OpenProblem() const { return {}; }

    virtual FT_STATUS FT_Open(int deviceIndex, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baud) = 0;
    // Word length 7 or 8; stop bits 0 one, 2 two; parity 0 none .. 4 space.
    virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                                uint8_t parity) = 0;
    virtual FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                                        uint8_t xoff) = 0;
    // ms; a read returns after `readMs` with what has come, a write gives up after `writeMs`.
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) = 0;
    virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t ms) = 0;
    virtual FT_STATUS FT_SetBreakOn(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_SetBreakOff(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_SetRts(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_ClrRts(FT_HANDLE handle) = 0;
    // Waits up to the read time-out for `toRead` bytes; `read` tells how many came.
    virtual FT_STATUS FT_Read(FT_HANDLE handle, uint8_t* buffer, uint32_t toRead, uint32_t* read) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t toWrite,
                               uint32_t* written) = 0;
    // Bytes received and waiting, bytes still to send, pending events.
    virtual FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                                   uint32_t* events) = 0;
};

// The driver of this build: libftdi when built with VELMORA_FTDI, otherwise one that reports at run
// time that FTDI support is missing.
TFtdiDriver& SystemFtdiDriver();

// The driver in use; SystemFtdiDriver() unless a test installs another one.
TFtdiDriver& FtdiDriver();
// Installs `driver` (nullptr restores the system driver). The caller keeps ownership.
void SetFtdiDriver(TFtdiDriver* driver);

} // namespace velmora
