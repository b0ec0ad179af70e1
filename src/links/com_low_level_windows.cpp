// The COM port low level on the Windows serial API: the device "\\.\COMn" opened exclusively, its line
// in a DCB (mark and space parity included), the read and write time-outs handed to the driver with
// SetCommTimeouts, the input queue from ClearCommError, break and RTS through the driver. Reads and
// writes are synchronous; the driver's time-outs end them.
#include <algorithm>
#include <mutex>

#include "lang/translated_format.h"
#include "links/com_low_level.h"
#include "links/device_paths.h"
#include "platform/clock.h"
#include "platform/host.h"
#include "platform/windows_text.h"

// After our headers: <windows.h> defines MAXDWORD as a macro of the same value as ours, and MessageBox
// as one that would rename the host's.
#include <windows.h>
#undef MessageBox

namespace velmora {

std::atomic<int32_t> ComBaud{9600};
std::atomic<int32_t> ComNumber{1};
std::atomic<char> ComRTS{'N'};
std::atomic<bool> ComBusy{false};

namespace {

constexpr TCommTimeouts OpenTimeouts{0, 0, 50, 0, 1000};

std::atomic<HANDLE> comHandle{INVALID_HANDLE_VALUE};
std::mutex stateLock; // guards the fields below
std::string comDevice;
std::string lastError;
DCB savedDcb; // the line as it was when the port was opened, given back on close
bool savedKnown = false;
DCB currentDcb; // the line in force, so that a parity change per byte costs one SetCommState

// How the user knows the port: "COM3", or the device path.
std::string PortLabel(int number) {
    return number >= FirstDevicePathNumber ? ComDevicePath(number) : "COM" + std::to_string(number);
}

// Why CreateFile failed on the port, for the user.
std::string OpenErrorText(const std::string& label, DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return label + ": no such port";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // Windows opens a COM port for one program at a time.
        return TranslateFormat("%s: порт занят другой программой; закройте её и попробуйте снова",
                               label.c_str());
    default:
        return label + ": " + WindowsErrorText(code);
    }
}

[[noreturn]] void ThrowLost() {
    throw PortException("Port lost: " + ComDevice());
}

COMMTIMEOUTS ToSystem(const TCommTimeouts& t) {
    return {t.ReadInterval, t.ReadTotalMultiplier, t.ReadTotalConstant, t.WriteTotalMultiplier,
            t.WriteTotalConstant};
}

// The line settings of `dcb` changed to 8 data bits, `parity`, `stopBits`, no flow control, DTR off
// and RTS after ComRTS.
DCB LineDcb(const DCB& from, int baud, uint8_t parity, uint8_t stopBits) {
    DCB dcb = from;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = DWORD(baud);
    dcb.ByteSize = 8;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.fBinary = TRUE;
    // Received bytes are passed on unchecked: the K-line's parity is a ninth data bit, not a check.
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = ComRTS == 'Y' ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return dcb;
}

bool SameLine(const DCB& a, const DCB& b) {
    return a.BaudRate == b.BaudRate && a.Parity == b.Parity && a.StopBits == b.StopBits &&
           a.ByteSize == b.ByteSize && a.fRtsControl == b.fRtsControl && a.fDtrControl == b.fDtrControl;
}

// Called by the thread that uses the port (OpenPort, SetNewPortParams), never at the same time.
// Result 0 or the system's error code; the line keeps its settings on failure.
DWORD ApplySettings(HANDLE handle, int baud, uint8_t parity, uint8_t stopBits) {
    const DCB wanted = LineDcb(currentDcb, baud, parity, stopBits);
    if (SameLine(wanted, currentDcb))
        return 0;
    if (!SetCommState(handle, const_cast<DCB*>(&wanted)))
        return GetLastError();
    currentDcb = wanted;
    return 0;
}

// Bytes waiting in the driver's input queue; a port that no longer answers is lost.
int InQueueOf(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle, &errors, &status))
        ThrowLost();
    return int(status.cbInQue);
}

// Reads up to `n` bytes as the driver's time-outs allow.
int ReadFromDriver(HANDLE handle, uint8_t* data, int n) {
    DWORD got = 0;
    if (!ReadFile(handle, data, DWORD(n), &got, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_OPERATION_ABORTED)
            return 0;
        ThrowLost();
    }
    return int(got);
}

// A read under the ComBusy guard: a second, overlapping read is turned away.
class TReadGuard {
public:
    TReadGuard() : Acquired(!ComBusy.exchange(true)) {
        if (!Acquired)
            Host().MessageBox("Port busy", TMsgKind::Warning, TMsgButtons::Ok);
    }
    ~TReadGuard() {
        if (Acquired)
            ComBusy = false;
    }
    TReadGuard(const TReadGuard&) = delete;
    TReadGuard& operator=(const TReadGuard&) = delete;

    const bool Acquired;
};

} // namespace

bool OpenPort(bool ShowErrors) {
    ClosePort();
    const int number = ComNumber;
    const std::string device = ComDevicePath(number);
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (;;) {
        std::string error = PortLabel(number) + ": no such port";
        if (!device.empty()) {
            // No sharing: a second program (or a second open here) gets ERROR_ACCESS_DENIED.
            handle = CreateFileW(WidenUtf8(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                error = OpenErrorText(PortLabel(number), GetLastError());
            } else if (GetFileType(handle) != FILE_TYPE_CHAR) {
                // A file opens too, but is no line. (GetCommState cannot tell: Wine's fails on a
                // pseudo-terminal that carries the line well.)
                CloseHandle(handle);
                handle = INVALID_HANDLE_VALUE;
                error = PortLabel(number) + ": not a serial device";
            }
        }
        if (handle != INVALID_HANDLE_VALUE)
            break;
        {
            std::lock_guard guard(stateLock);
            lastError = error;
        }
        if (!ShowErrors)
            return false;
        Host().AddLog(error);
        if (Host().MessageBox("Error opening " + PortLabel(number), TMsgKind::Warning,
                              TMsgButtons::AbortRetry) != TMsgResult::Retry)
            return false;
    }

    {
        std::lock_guard guard(stateLock);
        savedDcb = {};
        savedDcb.DCBlength = sizeof savedDcb;
        savedKnown = GetCommState(handle, &savedDcb);
        currentDcb = savedDcb;
        // Unknown until set: the first ApplySettings sets everything.
        currentDcb.BaudRate = 0;
        comDevice = device;
        lastError.clear();
    }
    COMMTIMEOUTS system = ToSystem(OpenTimeouts);
    SetCommTimeouts(handle, &system);
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    comHandle = handle;
    if (DWORD failed = ApplySettings(handle, ComBaud, ParityNone, OneStopBit)) {
        std::string where = number >= FirstDevicePathNumber ? device : std::to_string(number);
        Host().MessageBox("OpenPort(" + where + ")->SetCommState() LastError=" + std::to_string(failed),
                          TMsgKind::Error, TMsgButtons::Ok);
        DCB actual{};
        actual.DCBlength = sizeof actual;
        if (GetCommState(handle, &actual) && actual.BaudRate > 0)
            ComBaud = int32_t(actual.BaudRate);
    }
    return true;
}

bool SetNewPortParams(int Baud, uint8_t Parity, uint8_t StopBits) {
    HANDLE handle = comHandle;
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    if (DWORD failed = ApplySettings(handle, Baud, Parity, StopBits)) {
        Host().MessageBox("SetNewPortParams->SetCommState() LastError=" + std::to_string(failed),
                          TMsgKind::Error, TMsgButtons::Ok);
        return false;
    }
    ComBaud = Baud;
    return true;
}

void ClosePort() {
    HANDLE handle = comHandle.exchange(INVALID_HANDLE_VALUE);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    std::lock_guard guard(stateLock);
    ClearCommBreak(handle);
    if (savedKnown)
        SetCommState(handle, &savedDcb);
    CloseHandle(handle);
    comDevice.clear();
}

bool ComIsOpen() {
    return comHandle != INVALID_HANDLE_VALUE;
}

std::string ComDevice() {
    std::lock_guard guard(stateLock);
    return comDevice;
}

std::string ComLastError() {
    std::lock_guard guard(stateLock);
    return lastError;
}

int ComInQueue() {
    return InQueueOf(comHandle);
}

bool ComReadByte(uint8_t& Value) {
    TReadGuard guard;
    if (!guard.Acquired)
        return false;
    HANDLE handle = comHandle;
    return InQueueOf(handle) >= 1 && ReadFromDriver(handle, &Value, 1) == 1;
}

int ComReadBuf(TPortBuffer& Buffer) {
    TReadGuard guard;
    if (!guard.Acquired)
        return 0;
    HANDLE handle = comHandle;
    // No more than is queued, so that the driver's time-outs never make this read wait.
    const int n = std::min(InQueueOf(handle), Buffer.Size);
    Buffer.Count = n > 0 && Buffer.Data ? ReadFromDriver(handle, Buffer.Data, n) : 0;
    return Buffer.Count;
}

bool ComWaitInput(uint32_t ms) {
    HANDLE handle = comHandle;
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // Without overlapped I/O the driver offers no wait with a limit: the queue is looked at every
    // millisecond, about one byte at 9600 baud.
    const uint32_t start = Clock().TickCount();
    for (;;) {
        if (InQueueOf(handle) > 0)
            return true;
        if (TicksSince(start, Clock().TickCount()) >= ms)
            return false;
        Clock().Sleep(1);
    }
}

int ComReadBufEx(TPortBuffer& Buffer, int Count) {
    TReadGuard guard;
    if (!guard.Acquired)
        return 0;
    HANDLE handle = comHandle;
    const int n = std::min(Count, Buffer.Size);
    Buffer.Count =
        handle != INVALID_HANDLE_VALUE && n > 0 && Buffer.Data ? ReadFromDriver(handle, Buffer.Data, n) : 0;
    return Buffer.Count;
}

bool ComWrite(const uint8_t* Data, int Length) {
    HANDLE handle = comHandle;
    if (handle == INVALID_HANDLE_VALUE || Length < 0 || (Length > 0 && !Data))
        return false;
    if (Length == 0)
        return true;
    DWORD written = 0;
    if (!WriteFile(handle, Data, DWORD(Length), &written, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BAD_COMMAND || code == ERROR_DEVICE_REMOVED || code == ERROR_GEN_FAILURE ||
            code == ERROR_INVALID_HANDLE)
            ThrowLost();
        return false;
    }
    // Fewer bytes than asked: the write time-out ended it.
    return written == DWORD(Length);
}

void ComBreak(bool On) {
    if (HANDLE handle = comHandle; handle != INVALID_HANDLE_VALUE) {
        if (On)
            SetCommBreak(handle);
        else
            ClearCommBreak(handle);
    }
}

bool ComSetTimeouts(const TCommTimeouts& newTimeouts) {
    HANDLE handle = comHandle;
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    std::lock_guard guard(stateLock);
    COMMTIMEOUTS system = ToSystem(newTimeouts);
    return SetCommTimeouts(handle, &system);
}

} // namespace velmora
