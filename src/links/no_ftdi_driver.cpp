// The FTDI driver of a build without libftdi: every device is missing, and opening says why.
#include "links/ftdi_driver.h"

#include "platform/host.h"

namespace velmora {

namespace {

class TNoFtdiDriver final : public TFtdiDriver {
public:
    bool Available() const override { return false; }

    FT_STATUS FT_Open(int, FT_HANDLE* handle) override {
        *handle = 0;
        Host().AddLog("FTDI: this build of the program has no FTDI support");
        return FT_DEVICE_NOT_FOUND;
    }
    FT_STATUS FT_Close(FT_HANDLE) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetBaudRate(FT_HANDLE, uint32_t) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE, uint8_t, uint8_t, uint8_t) override {
        return FT_INVALID_HANDLE;
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE, uint16_t, uint8_t, uint8_t) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetTimeouts(FT_HANDLE, uint32_t, uint32_t) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE, uint8_t) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetBreakOn(FT_HANDLE) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetBreakOff(FT_HANDLE) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_SetRts(FT_HANDLE) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_ClrRts(FT_HANDLE) override { return FT_INVALID_HANDLE; }
    FT_STATUS FT_Read(FT_HANDLE, uint8_t*, uint32_t, uint32_t* read) override {
        *read = 0;
        return FT_INVALID_HANDLE;
    }
    FT_STATUS FT_Write(FT_HANDLE, const uint8_t*, uint32_t, uint32_t* written) override {
        *written = 0;
        return FT_INVALID_HANDLE;
    }
    FT_STATUS FT_GetStatus(FT_HANDLE, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* events) override {
        *rxBytes = *txBytes = *events = 0;
        return FT_INVALID_HANDLE;
    }
};

} // namespace

TFtdiDriver& SystemFtdiDriver() {
    static TNoFtdiDriver driver;
    return driver;
}

} // namespace velmora
