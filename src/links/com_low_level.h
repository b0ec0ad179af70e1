// The COM port low level: the one serial device open in the process (a COM number or a device path)
// and the operations TComPort forwards to. The reads are guarded by ComBusy, so that a read that
// overlaps another one (worker and window thread) reports "Port busy" instead of reading the same
// device twice; apart from that the callers serialise their use of the port.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "links/base_port.h"
#include "links/comm_timeouts.h"

namespace velmora {

// The process-wide state shared with TComPort and TFTDIPort.
extern std::atomic<int32_t> ComBaud;   // bits/s, default 9600
extern std::atomic<int32_t> ComNumber; // the COM number to open (device-path numbers included), default 1
extern std::atomic<char> ComRTS;       // 'Y': RTS driven on, 'N' (default): off
extern std::atomic<bool> ComBusy;      // a read is running

// Closes an open device, then opens the one ComNumber names with 8 data bits, no parity, one stop bit,
// no flow control, DTR off, RTS after ComRTS, at ComBaud. A device that does not open: with
// `ShowErrors` the box "Error opening COMn" offers Retry and Abort; without it one attempt is made.
// Settings the driver refuses are shown in a box and leave the device open. The time-outs start as
// 50 ms for a read and 1000 ms for a write. Result: whether the device is open.
bool OpenPort(bool ShowErrors);
// New line settings on the open device; RTS after ComRTS. A driver that refuses them (a baud rate it
// cannot meet within 3 %, mark or space parity it lacks) gets a message box and the line keeps its
// settings. Result: whether the new settings are in force; ComBaud follows only then.
bool SetNewPortParams(int Baud, uint8_t Parity, uint8_t StopBits);
// Gives the device back with the settings it had when it was opened.
void ClosePort();
bool ComIsOpen();
// The device path of the open port, or "".
std::string ComDevice();
// Why the last OpenPort failed, for the user ("/dev/ttyS3: Permission denied"), or "".
std::string ComLastError();

// Bytes waiting; 0 when closed. Throws PortException when the device is gone.
int ComInQueue();
// The reads below throw PortException ("Port lost: <device>") when the device hangs up or vanishes.
bool ComReadByte(uint8_t& Value);
int ComReadBuf(TPortBuffer& Buffer);
// Waits up to `ms` for received bytes without taking them; true when some are waiting. Throws
// PortException when the device is gone.
bool ComWaitInput(uint32_t ms);
// Waits as the time-outs allow (see TCommTimeouts).
int ComReadBufEx(TPortBuffer& Buffer, int Count);
// True when all `Length` bytes went out within the write time-out.
bool ComWrite(const uint8_t* Data, int Length);
void ComBreak(bool On);
// False (and nothing changes) when no device is open.
bool ComSetTimeouts(const TCommTimeouts& timeouts);

} // namespace velmora
