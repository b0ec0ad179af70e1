#include "fake_ftdi_driver.h"

#include <algorithm>

namespace velmora::testing {

namespace {

constexpr FT_HANDLE FakeHandle = 7;

std::string Join(const std::string& name, std::initializer_list<uint32_t> values) {
    std::string text = name;
    for (uint32_t value : values)
        text += " " + std::to_string(value);
    return text;
}

} // namespace

FT_STATUS TFakeFtdiDriver::Injected(const std::string& text) {
    Calls.push_back(text);
    std::deque<FT_STATUS>& failures = Fail[text.substr(0, text.find(' '))];
    if (failures.empty())
        return FT_OK;
    FT_STATUS status = failures.front();
    failures.pop_front();
    return status;
}

FT_STATUS TFakeFtdiDriver::Call(FT_HANDLE handle, const std::string& text) {
    if (FT_STATUS status = Injected(text))
        return status;
    return handle == FakeHandle && Opened ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS TFakeFtdiDriver::FT_Open(int deviceIndex, FT_HANDLE* handle) {
    *handle = 0;
    if (FT_STATUS status = Injected(Join("FT_Open", {uint32_t(deviceIndex)})))
        return status;
    if (!Present || Opened)
        return FT_DEVICE_NOT_FOUND;
    Opened = true;
    *handle = FakeHandle;
    return FT_OK;
}

FT_STATUS TFakeFtdiDriver::FT_Close(FT_HANDLE handle) {
    FT_STATUS status = Call(handle, "FT_Close");
    if (status == FT_OK)
        Opened = false;
    return status;
}

FT_STATUS TFakeFtdiDriver::FT_SetBaudRate(FT_HANDLE handle, uint32_t baud) {
    return Call(handle, Join("FT_SetBaudRate", {baud}));
}

FT_STATUS TFakeFtdiDriver::FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                                     uint8_t parity) {
    return Call(handle, Join("FT_SetDataCharacteristics", {wordLength, stopBits, parity}));
}

FT_STATUS TFakeFtdiDriver::FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                                             uint8_t xoff) {
    return Call(handle, Join("FT_SetFlowControl", {flowControl, xon, xoff}));
}

FT_STATUS TFakeFtdiDriver::FT_SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
    return Call(handle, Join("FT_SetTimeouts", {readMs, writeMs}));
}

FT_STATUS TFakeFtdiDriver::FT_SetLatencyTimer(FT_HANDLE handle, uint8_t ms) {
    return Call(handle, Join("FT_SetLatencyTimer", {ms}));
}

FT_STATUS TFakeFtdiDriver::FT_SetBreakOn(FT_HANDLE handle) {
    return Call(handle, "FT_SetBreakOn");
}

FT_STATUS TFakeFtdiDriver::FT_SetBreakOff(FT_HANDLE handle) {
    return Call(handle, "FT_SetBreakOff");
}

FT_STATUS TFakeFtdiDriver::FT_SetRts(FT_HANDLE handle) {
    return Call(handle, "FT_SetRts");
}

FT_STATUS TFakeFtdiDriver::FT_ClrRts(FT_HANDLE handle) {
    return Call(handle, "FT_ClrRts");
}

FT_STATUS TFakeFtdiDriver::FT_Read(FT_HANDLE handle, uint8_t* buffer, uint32_t toRead, uint32_t* read) {
    *read = 0;
    FT_STATUS status = Call(handle, Join("FT_Read", {toRead}));
    if (status != FT_OK)
        return status;
    *read = std::min<uint32_t>(toRead, uint32_t(Incoming.size()));
    std::copy_n(Incoming.begin(), *read, buffer);
    Incoming.erase(Incoming.begin(), Incoming.begin() + *read);
    return FT_OK;
}

FT_STATUS TFakeFtdiDriver::FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t toWrite,
                                    uint32_t* written) {
    *written = 0;
    FT_STATUS status = Call(handle, Join("FT_Write", {toWrite}));
    if (status != FT_OK)
        return status;
    *written = std::min(toWrite, WriteLimit);
    Written.insert(Written.end(), buffer, buffer + *written);
    return FT_OK;
}

FT_STATUS TFakeFtdiDriver::FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                                        uint32_t* events) {
    *rxBytes = *txBytes = *events = 0;
    FT_STATUS status = Call(handle, "FT_GetStatus");
    if (status == FT_OK)
        *rxBytes = uint32_t(Incoming.size());
    return status;
}

} // namespace velmora::testing
