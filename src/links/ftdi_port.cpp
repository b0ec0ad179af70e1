#include "links/ftdi_port.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "links/com_low_level.h"
#include "links/ftdi_driver.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr int BufferSize = 32768; // bytes, each of the transmit and the receive buffer
constexpr uint8_t XonChar = 0x11;
constexpr uint8_t XoffChar = 0x13;
constexpr uint32_t OpenReadTimeout = 50;    // ms
constexpr uint32_t OpenWriteTimeout = 1000; // ms
constexpr uint8_t LatencyTimer = 1;         // ms
constexpr uint32_t StatusRetryDelay = 10;   // ms

struct TStatusText {
    FT_STATUS Status;
    const char* Text;
};

constexpr TStatusText StatusTexts[] = {
    {FT_INVALID_HANDLE, " - Invalid Handle..."},
    {FT_DEVICE_NOT_FOUND, " - Device Not Found...."},
    {FT_DEVICE_NOT_OPENED, " - Device Not Opened..."},
    {FT_IO_ERROR, " - General IO Error..."},
    {FT_INSUFFICIENT_RESOURCES, " - Insufficient Resources..."},
    {FT_INVALID_PARAMETER, " - Invalid Parameter ..."},
};

// The process-wide driver state: one FTDI device at a time.
std::atomic<FT_HANDLE> handle{0};
constexpr int DeviceIndex = 0;
uint8_t wordLength = 8;
uint8_t stopBits = 0; // driver codes: 0 one, 2 two
uint8_t parity = 0;
std::atomic<bool> FtRaiseErrors{true};
std::vector<uint8_t> txBuffer(BufferSize);
std::vector<uint8_t> rxBuffer(BufferSize);

std::string StatusMessage(std::string_view function, FT_STATUS status) {
    std::string text(function);
    for (const TStatusText& row : StatusTexts)
        if (row.Status == status)
            text += row.Text;
    return text;
}

// A failure raises when FtRaiseErrors is set. Result: success.
bool Check(FT_STATUS status, std::string_view function) {
    if (status != FT_OK && FtRaiseErrors)
        throw PortException(StatusMessage(function, status));
    return status == FT_OK;
}

bool SetDataCharacteristics() {
    return Check(FtdiDriver().FT_SetDataCharacteristics(handle, wordLength, stopBits, parity),
                 "FT_SetDataCharacteristics");
}

// Reads up to `count` bytes (capped at the receive buffer) into `target`, waiting up to the read time-out.
int Read(uint8_t* target, int count) {
    count = std::min(count, BufferSize);
    if (count <= 0 || !target)
        return 0;
    uint32_t got = 0;
    Check(FtdiDriver().FT_Read(handle, rxBuffer.data(), uint32_t(count), &got), "FT_Read");
    got = std::min<uint32_t>(got, uint32_t(count));
    std::copy_n(rxBuffer.begin(), got, target);
    return int(got);
}

// Writes through the transmit buffer; result: bytes written.
int Write(const uint8_t* data, int length) {
    int written = 0;
    while (written < length) {
        int chunk = std::min(length - written, BufferSize);
        std::copy_n(data + written, chunk, txBuffer.begin());
        uint32_t now = 0;
        Check(FtdiDriver().FT_Write(handle, txBuffer.data(), uint32_t(chunk), &now), "FT_Write");
        written += int(std::min<uint32_t>(now, uint32_t(chunk)));
        if (int(now) < chunk)
            break;
    }
    return written;
}

void CloseQuietly() {
    FtRaiseErrors = false;
    Check(FtdiDriver().FT_Close(handle.exchange(0)), "FT_Close");
    FtRaiseErrors = true;
}

uint32_t TimeoutValue(int ms) {
    if (ms < 0)
        throw std::invalid_argument("SetTimeouts: negative time-out " + std::to_string(ms));
    return uint32_t(ms);
}

} // namespace

bool TFTDIPort::Open(bool showErrors, int baud) {
    if (handle != 0)
        CloseQuietly();
    FtRaiseErrors = showErrors;
    FT_HANDLE opened = 0;
    bool found = Check(FtdiDriver().FT_Open(DeviceIndex, &opened), "FT_Open");
    FtRaiseErrors = true;
    if (!found)
        return false;
    handle = opened;
    ComNumber = 0;
    try {
        TFtdiDriver& driver = FtdiDriver();
        Check(driver.FT_SetFlowControl(handle, FT_FLOW_NONE, XonChar, XoffChar), "FT_SetFlowControl");
        Baud = baud;
        Check(driver.FT_SetBaudRate(handle, uint32_t(baud)), "FT_SetBaudRate");
        wordLength = 8;
        stopBits = 0;
        parity = ParityNone;
        SetDataCharacteristics();
        Check(driver.FT_SetTimeouts(handle, OpenReadTimeout, OpenWriteTimeout), "FT_SetTimeouts");
        Check(driver.FT_SetLatencyTimer(handle, LatencyTimer), "FT_SetLatencyTimer");
    } catch (const PortException& failure) {
        // The device would stay claimed (and its serial driver detached) until the program ends.
        Host().AddLog(failure.what());
        CloseQuietly();
        return false;
    }
    return true;
}

bool TFTDIPort::IsOpen() {
    return handle != 0;
}

int TFTDIPort::InQueue() {
    FtRaiseErrors = true;
    uint32_t rx = 0, tx = 0, events = 0;
    if (FtdiDriver().FT_GetStatus(handle, &rx, &tx, &events) != FT_OK) {
        Clock().Sleep(StatusRetryDelay);
        Check(FtdiDriver().FT_GetStatus(handle, &rx, &tx, &events), "FT_GetStatus");
    }
    return int(rx);
}

void TFTDIPort::Close() {
    FtRaiseErrors = true;
    Check(FtdiDriver().FT_Close(handle.exchange(0)), "FT_Close");
}

void TFTDIPort::SetParams(int baud, uint8_t newParity, uint8_t newStopBits) {
    FtRaiseErrors = true;
    Baud = baud;
    if (!Check(FtdiDriver().FT_SetBaudRate(handle, uint32_t(baud)), "FT_SetBaudRate"))
        return;
    wordLength = 8;
    stopBits = newStopBits == TwoStopBits ? 2 : 0;
    parity = newParity;
    SetDataCharacteristics();
}

void TFTDIPort::SetRTS(bool On) {
    FtRaiseErrors = true;
    if (On)
        Check(FtdiDriver().FT_SetRts(handle), "FT_SetRTS");
    else
        Check(FtdiDriver().FT_ClrRts(handle), "FT_ClrRTS");
}

void TFTDIPort::SetParity(uint8_t newParity) {
    FtRaiseErrors = true;
    parity = newParity;
    SetDataCharacteristics();
}

bool TFTDIPort::ReadByte(uint8_t& Value) {
    FtRaiseErrors = true;
    return Read(&Value, 1) == 1;
}

int TFTDIPort::ReadBuf(TPortBuffer& Buffer) {
    FtRaiseErrors = true;
    int waiting = InQueue();
    Buffer.Count = Read(Buffer.Data, std::min(waiting, Buffer.Size));
    return Buffer.Count;
}

int TFTDIPort::ReadBufEx(TPortBuffer& Buffer, int Count) {
    FtRaiseErrors = true;
    Buffer.Count = Read(Buffer.Data, std::min(Count, Buffer.Size));
    return Buffer.Count;
}

bool TFTDIPort::WriteBuf(TPortBuffer Buffer) {
    FtRaiseErrors = true;
    if (Buffer.Count <= 0 || !Buffer.Data)
        return Buffer.Count == 0;
    int written = Write(Buffer.Data, Buffer.Count);
    if (written < Buffer.Count) {
        char text[96];
        std::snprintf(text, sizeof text, "Write_USB_Device_Buffer( %d bytes) result %d. Bug!", Buffer.Count,
                      written);
        throw PortException(text);
    }
    return true;
}

bool TFTDIPort::WriteByte(uint8_t Value) {
    FtRaiseErrors = true;
    return Write(&Value, 1) == 1;
}

bool TFTDIPort::WritePortEx(const uint8_t* Data, int Length) {
    FtRaiseErrors = true;
    if (Length <= 0 || !Data)
        return Length == 0;
    return Write(Data, Length) == Length;
}

void TFTDIPort::SetCommBreak() {
    FtRaiseErrors = true;
    Check(FtdiDriver().FT_SetBreakOn(handle), "FT_SetBreakOn");
}

void TFTDIPort::ClearCommBreak() {
    FtRaiseErrors = true;
    Check(FtdiDriver().FT_SetBreakOff(handle), "FT_SetBreakOff");
}

void TFTDIPort::SetTimeouts(int, int, int ReadTotalConstant, int, int WriteTotalConstant) {
    FtRaiseErrors = true;
    Check(FtdiDriver().FT_SetTimeouts(handle, TimeoutValue(ReadTotalConstant),
                                      TimeoutValue(WriteTotalConstant)),
          "FT_SetTimeouts");
}

} // namespace velmora
