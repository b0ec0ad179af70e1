// The FTDI driver on Windows: FTDI's D2XX driver, ftd2xx.dll, loaded when first needed. The calls are
// declared here from the D2XX programmer's guide (all WINAPI, FT_HANDLE a pointer, FT_STATUS a ULONG);
// the codes of our interface are D2XX's own, so values pass through unchanged. Without the DLL every
// device is missing and the user is told that the driver is not installed.
#include "links/ftdi_driver.h"

#include "platform/host.h"

#include <windows.h>

namespace velmora {

namespace {

using FtHandle = void*;
using FtStatus = ULONG;

// The functions used, in the order of TFtdiDriver.
struct TD2xxCalls {
    FtStatus(WINAPI* Open)(int, FtHandle*) = nullptr;
    FtStatus(WINAPI* Close)(FtHandle) = nullptr;
    FtStatus(WINAPI* SetBaudRate)(FtHandle, ULONG) = nullptr;
    FtStatus(WINAPI* SetDataCharacteristics)(FtHandle, UCHAR, UCHAR, UCHAR) = nullptr;
    FtStatus(WINAPI* SetFlowControl)(FtHandle, USHORT, UCHAR, UCHAR) = nullptr;
    FtStatus(WINAPI* SetTimeouts)(FtHandle, ULONG, ULONG) = nullptr;
    FtStatus(WINAPI* SetLatencyTimer)(FtHandle, UCHAR) = nullptr;
    FtStatus(WINAPI* SetBreakOn)(FtHandle) = nullptr;
    FtStatus(WINAPI* SetBreakOff)(FtHandle) = nullptr;
    FtStatus(WINAPI* SetRts)(FtHandle) = nullptr;
    FtStatus(WINAPI* ClrRts)(FtHandle) = nullptr;
    FtStatus(WINAPI* Read)(FtHandle, void*, DWORD, DWORD*) = nullptr;
    FtStatus(WINAPI* Write)(FtHandle, void*, DWORD, DWORD*) = nullptr;
    FtStatus(WINAPI* GetStatus)(FtHandle, DWORD*, DWORD*, DWORD*) = nullptr;
};

constexpr const char* DriverMissingText =
    "FTDI: the FTDI D2XX driver (ftd2xx.dll) is not installed; install it from the cable maker or use the "
    "cable's COM port";

template <typename Function> bool Resolve(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

// The DLL's calls, or nullptr when it is absent or lacks one of them. Loaded once, kept for the
// process's life.
const TD2xxCalls* LoadD2xx() {
    static const TD2xxCalls* const calls = []() -> const TD2xxCalls* {
        HMODULE library = LoadLibraryW(L"ftd2xx.dll");
        if (!library)
            return nullptr;
        static TD2xxCalls loaded;
        const bool complete =
            Resolve(library, "FT_Open", loaded.Open) && Resolve(library, "FT_Close", loaded.Close) &&
            Resolve(library, "FT_SetBaudRate", loaded.SetBaudRate) &&
            Resolve(library, "FT_SetDataCharacteristics", loaded.SetDataCharacteristics) &&
            Resolve(library, "FT_SetFlowControl", loaded.SetFlowControl) &&
            Resolve(library, "FT_SetTimeouts", loaded.SetTimeouts) &&
            Resolve(library, "FT_SetLatencyTimer", loaded.SetLatencyTimer) &&
            Resolve(library, "FT_SetBreakOn", loaded.SetBreakOn) &&
            Resolve(library, "FT_SetBreakOff", loaded.SetBreakOff) &&
            Resolve(library, "FT_SetRts", loaded.SetRts) && Resolve(library, "FT_ClrRts", loaded.ClrRts) &&
            Resolve(library, "FT_Read", loaded.Read) && Resolve(library, "FT_Write", loaded.Write) &&
            Resolve(library, "FT_GetStatus", loaded.GetStatus);
        if (!complete) {
            FreeLibrary(library);
            return nullptr;
        }
        return &loaded;
    }();
    return calls;
}

FtHandle ToD2xx(FT_HANDLE handle) {
    return reinterpret_cast<FtHandle>(handle);
}

class TD2xxDriver final : public TFtdiDriver {
public:
    bool Available() const override { return LoadD2xx() != nullptr; }
    std::string OpenProblem() const override { return Available() ? std::string() : DriverMissingText; }

    FT_STATUS FT_Open(int deviceIndex, FT_HANDLE* handle) override {
        *handle = 0;
        const TD2xxCalls* d2xx = LoadD2xx();
        if (!d2xx) {
            Host().AddLog(DriverMissingText);
            return FT_DEVICE_NOT_FOUND;
        }
        FtHandle opened = nullptr;
        const FT_STATUS status = d2xx->Open(deviceIndex, &opened);
        if (status == FT_OK)
            *handle = reinterpret_cast<FT_HANDLE>(opened);
        return status;
    }
    FT_STATUS FT_Close(FT_HANDLE handle) override {
        return Call([&](const TD2xxCalls& d) { return d.Close(ToD2xx(handle)); });
    }
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baud) override {
        return Call([&](const TD2xxCalls& d) { return d.SetBaudRate(ToD2xx(handle), baud); });
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                        uint8_t parity) override {
        return Call([&](const TD2xxCalls& d) {
            return d.SetDataCharacteristics(ToD2xx(handle), wordLength, stopBits, parity);
        });
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override {
        return Call(
            [&](const TD2xxCalls& d) { return d.SetFlowControl(ToD2xx(handle), flowControl, xon, xoff); });
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override {
        return Call([&](const TD2xxCalls& d) { return d.SetTimeouts(ToD2xx(handle), readMs, writeMs); });
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t ms) override {
        return Call([&](const TD2xxCalls& d) { return d.SetLatencyTimer(ToD2xx(handle), ms); });
    }
    FT_STATUS FT_SetBreakOn(FT_HANDLE handle) override {
        return Call([&](const TD2xxCalls& d) { return d.SetBreakOn(ToD2xx(handle)); });
    }
    FT_STATUS FT_SetBreakOff(FT_HANDLE handle) override {
        return Call([&](const TD2xxCalls& d) { return d.SetBreakOff(ToD2xx(handle)); });
    }
    FT_STATUS FT_SetRts(FT_HANDLE handle) override {
        return Call([&](const TD2xxCalls& d) { return d.SetRts(ToD2xx(handle)); });
    }
    FT_STATUS FT_ClrRts(FT_HANDLE handle) override {
        return Call([&](const TD2xxCalls& d) { return d.ClrRts(ToD2xx(handle)); });
    }
    FT_STATUS FT_Read(FT_HANDLE handle, uint8_t* buffer, uint32_t toRead, uint32_t* read) override {
        DWORD got = 0;
        const FT_STATUS status =
            Call([&](const TD2xxCalls& d) { return d.Read(ToD2xx(handle), buffer, toRead, &got); });
        *read = got;
        return status;
    }
    FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t toWrite,
                       uint32_t* written) override {
        DWORD sent = 0;
        // D2XX takes the buffer as LPVOID but only reads it.
        const FT_STATUS status = Call([&](const TD2xxCalls& d) {
            return d.Write(ToD2xx(handle), const_cast<uint8_t*>(buffer), toWrite, &sent);
        });
        *written = sent;
        return status;
    }
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                           uint32_t* events) override {
        DWORD rx = 0, tx = 0, event = 0;
        const FT_STATUS status =
            Call([&](const TD2xxCalls& d) { return d.GetStatus(ToD2xx(handle), &rx, &tx, &event); });
        *rxBytes = rx;
        *txBytes = tx;
        *events = event;
        return status;
    }

private:
    // A call on a handle: without the DLL there is no handle to call it on.
    template <typename Body> static FT_STATUS Call(Body body) {
        const TD2xxCalls* d2xx = LoadD2xx();
        return d2xx ? FT_STATUS(body(*d2xx)) : FT_INVALID_HANDLE;
    }
};

} // namespace

TFtdiDriver& SystemFtdiDriver() {
    static TD2xxDriver driver;
    return driver;
}

} // namespace velmora
