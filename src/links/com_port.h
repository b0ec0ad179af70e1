// TComPort: the port over a serial device (a COM number or a device path), forwarding to the COM low
// level and its process-wide state. One thread at a time; see com_low_level.h for the read guard.
#pragma once

#include "links/base_port.h"

namespace velmora {

class TComPort : public TBasePort {
public:
    uint8_t Parity = ParityNone;   // the last parity code set
    uint8_t StopBits = OneStopBit; // the last stop-bit code set

    // Opens the device of the current port number (port_factory.h).
    bool Open(bool ShowErrors, int Baud) override;
    bool IsOpen() override;
    int InQueue() override;
    void Close() override;
    // Parity and stop bits follow only when the driver took the new settings.
    void SetParams(int Baud, uint8_t Parity, uint8_t StopBits) override;
    // RTS is part of the line settings: it is applied with them.
    void SetRTS(bool On) override;
    void SetParity(uint8_t Parity) override;
    bool ReadByte(uint8_t& Value) override;
    int ReadBuf(TPortBuffer& Buffer) override;
    int ReadBufEx(TPortBuffer& Buffer, int Count) override;
    bool WriteBuf(TPortBuffer Buffer) override;
    bool WriteByte(uint8_t Value) override;
    bool WritePortEx(const uint8_t* Data, int Length) override;
    void SetCommBreak() override;
    void ClearCommBreak() override;
    // Time-outs in ms with the meaning described at TCommTimeouts; -1 stands for MAXDWORD in the
    // interval and multiplier fields. Other negative values are refused (std::invalid_argument) and
    // nothing changes; on a closed port nothing changes either.
    void SetTimeouts(int ReadInterval, int ReadTotalMultiplier, int ReadTotalConstant,
                     int WriteTotalMultiplier, int WriteTotalConstant) override;
    // Wakes on the first byte (poll on the device).
    bool WaitInput(uint32_t maxMs) override;
};

} // namespace velmora
