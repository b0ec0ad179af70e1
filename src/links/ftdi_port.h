// TFTDIPort: the port over an FTDI USB cable driven directly through the FTDI driver calls
// (ftdi_driver.h), with driver-side time-outs and a 1 ms latency timer so single K-line bytes and
// echoes arrive at once. One device and one process-wide driver state; one thread at a time.
#pragma once

#include "links/base_port.h"

namespace velmora {

class TFTDIPort : public TBasePort {
public:
    // Opens the first FTDI device. A missing or busy device gives false; with `ShowErrors` the driver's
    // failure is raised as PortException instead. A later step that fails closes the device again, logs
    // the driver's text and gives false.
    bool Open(bool ShowErrors, int Baud) override;
    bool IsOpen() override;
    // Asks the driver twice, 10 ms apart, before a failure counts.
    int InQueue() override;
    void Close() override;
    // Two stop bits for code 2, one for any other code.
    void SetParams(int Baud, uint8_t Parity, uint8_t StopBits) override;
    void SetRTS(bool On) override;
    void SetParity(uint8_t Parity) override;
    // Waits up to the read time-out for the byte.
    bool ReadByte(uint8_t& Value) override;
    int ReadBuf(TPortBuffer& Buffer) override;
    int ReadBufEx(TPortBuffer& Buffer, int Count) override;
    // A short write raises "Write_USB_Device_Buffer( n bytes) result m. Bug!".
    bool WriteBuf(TPortBuffer Buffer) override;
    bool WriteByte(uint8_t Value) override;
    bool WritePortEx(const uint8_t* Data, int Length) override;
    void SetCommBreak() override;
    void ClearCommBreak() override;
    // Only the read and write total constants have a driver equivalent; negative ones are refused
    // (std::invalid_argument).
    void SetTimeouts(int ReadInterval, int ReadTotalMultiplier, int ReadTotalConstant,
                     int WriteTotalMultiplier, int WriteTotalConstant) override;
};

} // namespace velmora
