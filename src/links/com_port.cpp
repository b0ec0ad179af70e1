#include "links/com_port.h"

#include <stdexcept>

#include "links/com_low_level.h"
#include "links/port_factory.h"

namespace velmora {

namespace {

uint32_t TimeoutValue(int ms, bool maxDwordAllowed) {
    if (ms >= 0)
        return uint32_t(ms);
    if (ms == -1 && maxDwordAllowed)
        return MAXDWORD;
    throw std::invalid_argument("SetTimeouts: negative time-out " + std::to_string(ms));
}

} // namespace

bool TComPort::Open(bool showErrors, int baud) {
    ComNumber = CurrentPortNumber();
    ComBaud = baud;
    bool opened = OpenPort(showErrors);
    Baud = ComBaud;
    Parity = ParityNone;
    StopBits = OneStopBit;
    return opened;
}

bool TComPort::IsOpen() {
    return ComIsOpen();
}

int TComPort::InQueue() {
    return ComInQueue();
}

void TComPort::Close() {
    ClosePort();
}

void TComPort::SetParams(int baud, uint8_t parity, uint8_t stopBits) {
    ComBaud = Baud;
    if (SetNewPortParams(baud, parity, stopBits)) {
        Parity = parity;
        StopBits = stopBits;
    }
    Baud = ComBaud;
}

void TComPort::SetRTS(bool On) {
    ComRTS = On ? 'Y' : 'N';
    SetNewPortParams(Baud, Parity, StopBits);
}

void TComPort::SetParity(uint8_t parity) {
    if (SetNewPortParams(Baud, parity, StopBits))
        Parity = parity;
}

bool TComPort::ReadByte(uint8_t& Value) {
    return ComReadByte(Value);
}

int TComPort::ReadBuf(TPortBuffer& Buffer) {
    return ComReadBuf(Buffer);
}

bool TComPort::WaitInput(uint32_t maxMs) {
    return ComWaitInput(maxMs);
}

int TComPort::ReadBufEx(TPortBuffer& Buffer, int Count) {
    return ComReadBufEx(Buffer, Count);
}

bool TComPort::WriteBuf(TPortBuffer Buffer) {
    return ComWrite(Buffer.Data, Buffer.Count);
}

bool TComPort::WriteByte(uint8_t Value) {
    return ComWrite(&Value, 1);
}

bool TComPort::WritePortEx(const uint8_t* Data, int Length) {
    return ComWrite(Data, Length);
}

void TComPort::SetCommBreak() {
    ComBreak(true);
}

void TComPort::ClearCommBreak() {
    ComBreak(false);
}

void TComPort::SetTimeouts(int ReadInterval, int ReadTotalMultiplier, int ReadTotalConstant,
                           int WriteTotalMultiplier, int WriteTotalConstant) {
    ComSetTimeouts({TimeoutValue(ReadInterval, true), TimeoutValue(ReadTotalMultiplier, true),
                    TimeoutValue(ReadTotalConstant, false), TimeoutValue(WriteTotalMultiplier, false),
                    TimeoutValue(WriteTotalConstant, false)});
}

} // namespace velmora
