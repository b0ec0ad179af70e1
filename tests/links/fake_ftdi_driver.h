// A fake FTDI device for the port tests: records every driver call as text, serves received bytes from
// a queue, takes at most WriteLimit bytes per write, and returns injected failure statuses.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "links/ftdi_driver.h"

namespace velmora::testing {

class TFakeFtdiDriver : public TFtdiDriver {
public:
    TFakeFtdiDriver() { SetFtdiDriver(this); }
    ~TFakeFtdiDriver() override { SetFtdiDriver(nullptr); }

    bool Present = true;                               // a device is plugged in
    std::string Problem;                               // what OpenProblem says
    std::map<std::string, std::deque<FT_STATUS>> Fail; // next statuses of a call, by name
    std::deque<uint8_t> Incoming;                      // bytes the device has received
    uint32_t WriteLimit = UINT32_MAX;                  // bytes one FT_Write takes
    std::vector<uint8_t> Written;
    std::vector<std::string> Calls; // "FT_SetDataCharacteristics 8 2 0"

    std::string OpenProblem() const override { return Problem; }
    FT_STATUS FT_Open(int deviceIndex, FT_HANDLE* handle) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                        uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t ms) override;
    FT_STATUS FT_SetBreakOn(FT_HANDLE handle) override;
    FT_STATUS FT_SetBreakOff(FT_HANDLE handle) override;
    FT_STATUS FT_SetRts(FT_HANDLE handle) override;
    FT_STATUS FT_ClrRts(FT_HANDLE handle) override;
    FT_STATUS FT_Read(FT_HANDLE handle, uint8_t* buffer, uint32_t toRead, uint32_t* read) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t toWrite, uint32_t* written) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* events) override;

private:
    // Records the call; the next injected failure of its name, or FT_OK.
    FT_STATUS Injected(const std::string& text);
    // As Injected, and FT_INVALID_HANDLE for a handle that is not the open device's.
    FT_STATUS Call(FT_HANDLE handle, const std::string& text);

    bool Opened = false;
};

} // namespace velmora::testing
