// The FTDI driver calls on libftdi1. libftdi has no receive-queue count and returns from a read as soon
// as the chip reports an empty buffer, so this driver keeps its own receive buffer (the queue count is
// what it holds plus what one read brings) and times reads against Clock(). The kernel's serial driver
// is detached while the device is open and attached again on close, so the cable works as a serial
// port again afterwards.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ftdi.h>
#include <libusb.h>
#include <unistd.h>
#include <vector>

#include "links/ftdi_driver.h"
#include "links/open_problem.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr FT_HANDLE TheHandle = 1; // one device per process

// libftdi's results of ftdi_usb_open_dev: libusb_open failed (mostly no permission), the interface
// could not be claimed (another program, or a kernel driver that would not let go).
constexpr int LibUsbOpenFailed = -4;
constexpr int ClaimFailed = -5;

// The cause of a failed open of `device`, told by its node in /dev/bus/usb: its rights and holders.
std::string UsbOpenProblem(libusb_device* device, int result) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", unsigned(libusb_get_bus_number(device)),
                  unsigned(libusb_get_device_address(device)));
    if (result == LibUsbOpenFailed && access(node, R_OK | W_OK) != 0)
        return OpenProblemText(DiagnoseOpenFailure(node, EACCES, false));
    if (result == ClaimFailed)
        return OpenProblemText(DiagnoseOpenFailure(node, EBUSY, false));
    return {};
}

class TLibFtdiDriver final : public TFtdiDriver {
public:
    FT_STATUS FT_Open(int deviceIndex, FT_HANDLE* handle) override {
        *handle = 0;
        Problem.clear();
        if (Context)
            return FT_DEVICE_NOT_OPENED;
        ftdi_context* context = ftdi_new();
        if (!context)
            return FT_INSUFFICIENT_RESOURCES;
        context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        ftdi_device_list* list = nullptr;
        int found = ftdi_usb_find_all(context, &list, 0, 0); // 0, 0: every known FTDI product id
        ftdi_device_list* entry = list;
        for (int i = 0; entry && i < deviceIndex; ++i)
            entry = entry->next;
        FT_STATUS status = FT_OK;
        if (found < 0)
            status = FT_IO_ERROR;
        else if (deviceIndex < 0 || !entry)
            status = FT_DEVICE_NOT_FOUND;
        else if (int result = ftdi_usb_open_dev(context, entry->dev); result < 0) {
            status = FT_DEVICE_NOT_OPENED;
            Problem = UsbOpenProblem(entry->dev, result);
        }
        ftdi_list_free(&list);
        if (status != FT_OK) {
            ftdi_free(context);
            return status;
        }
        ftdi_tcioflush(context);
        Context = context;
        Received.clear();
        BreakOn = false;
        *handle = TheHandle;
        return FT_OK;
    }

    FT_STATUS FT_Close(FT_HANDLE handle) override {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        int result = ftdi_usb_close(Context);
        ftdi_free(Context);
        Context = nullptr;
        return Status(result);
    }

    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baud) override {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        int result = ftdi_set_baudrate(Context, int(baud));
        return result == -1 ? FT_INVALID_PARAMETER : Status(result);
    }

    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                        uint8_t parity) override {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
            return FT_INVALID_PARAMETER;
        WordLength = wordLength;
        StopBits = stopBits;
        Parity = parity;
        return ApplyLine();
    }

    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) override {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        if (flowControl == FT_FLOW_XON_XOFF)
            return Status(ftdi_setflowctrl_xonxoff(Context, xon, xoff));
        // The D2XX codes are libftdi's SIO_*_HS values.
        return Status(ftdi_setflowctrl(Context, flowControl));
    }

    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        ReadTimeout = readMs;
        Context->usb_write_timeout = int(writeMs);
        return FT_OK;
    }

    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t ms) override {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        int result = ftdi_set_latency_timer(Context, ms);
        return result == -1 ? FT_INVALID_PARAMETER : Status(result);
    }

    FT_STATUS FT_SetBreakOn(FT_HANDLE handle) override { return SetBreak(handle, true); }
    FT_STATUS FT_SetBreakOff(FT_HANDLE handle) override { return SetBreak(handle, false); }
    FT_STATUS FT_SetRts(FT_HANDLE handle) override { return SetRts(handle, 1); }
    FT_STATUS FT_ClrRts(FT_HANDLE handle) override { return SetRts(handle, 0); }

    // A read time-out of 0 returns with what has come.
    FT_STATUS FT_Read(FT_HANDLE handle, uint8_t* buffer, uint32_t toRead, uint32_t* read) override {
        *read = 0;
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        uint32_t start = Clock().TickCount();
        uint32_t got = Take(buffer, toRead);
        while (got < toRead) {
            // Returns after one latency period (1 ms) at the latest, with what the chip had.
            int result = ftdi_read_data(Context, buffer + got, int(toRead - got));
            if (result < 0) {
                *read = got;
                return FT_IO_ERROR;
            }
            got += uint32_t(result);
            if (TicksSince(start, Clock().TickCount()) >= ReadTimeout)
                break;
        }
        *read = got;
        return FT_OK;
    }

    FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t toWrite,
                       uint32_t* written) override {
        *written = 0;
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        int result = ftdi_write_data(Context, buffer, int(toWrite));
        if (result < 0)
            return FT_IO_ERROR;
        *written = uint32_t(result);
        return FT_OK;
    }

    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                           uint32_t* events) override {
        *rxBytes = *txBytes = *events = 0;
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        uint8_t chunk[4096];
        int result = ftdi_read_data(Context, chunk, int(sizeof chunk));
        if (result < 0)
            return FT_IO_ERROR;
        Received.insert(Received.end(), chunk, chunk + result);
        *rxBytes = uint32_t(Received.size());
        return FT_OK;
    }

    std::string OpenProblem() const override { return Problem; }

private:
    bool Valid(FT_HANDLE handle) const { return handle == TheHandle && Context; }

    static FT_STATUS Status(int libftdiResult) { return libftdiResult < 0 ? FT_IO_ERROR : FT_OK; }

    // Line settings and break travel in one request, so each carries the other's current state.
    FT_STATUS ApplyLine() {
        return Status(ftdi_set_line_property2(Context, ftdi_bits_type(WordLength),
                                              ftdi_stopbits_type(StopBits), ftdi_parity_type(Parity),
                                              BreakOn ? BREAK_ON : BREAK_OFF));
    }

    FT_STATUS SetBreak(FT_HANDLE handle, bool on) {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        BreakOn = on;
        return ApplyLine();
    }

    FT_STATUS SetRts(FT_HANDLE handle, int state) {
        if (!Valid(handle))
            return FT_INVALID_HANDLE;
        return Status(ftdi_setrts(Context, state));
    }

    // Moves buffered bytes to `buffer`, at most `count`.
    uint32_t Take(uint8_t* buffer, uint32_t count) {
        uint32_t n = std::min<uint32_t>(count, uint32_t(Received.size()));
        std::copy_n(Received.begin(), n, buffer);
        Received.erase(Received.begin(), Received.begin() + n);
        return n;
    }

    ftdi_context* Context = nullptr;
    std::string Problem; // of the last FT_Open
    std::vector<uint8_t> Received;
    uint32_t ReadTimeout = 50; // ms
    uint8_t WordLength = 8;
    uint8_t StopBits = 0;
    uint8_t Parity = 0;
    bool BreakOn = false;
};

} // namespace

TFtdiDriver& SystemFtdiDriver() {
    static TLibFtdiDriver driver;
    return driver;
}

} // namespace velmora
