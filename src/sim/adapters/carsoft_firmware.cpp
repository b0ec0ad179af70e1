#include "sim/adapters/carsoft_firmware.h"

#include <algorithm>

namespace velmora {

// The interface's command bytes. The microcontroller needs about 2 ms per command; a reset restarts it
// and it stays silent.
const TCarSoftFirmware::TCommand TCarSoftFirmware::Commands[] = {
    {0xFF, "", 0},            // reset of the command interpreter
    {0x00, "", 0},            // no operation: synchronises the byte stream after a reset
    {0x63, "V9.9  16/99", 2}, // 'c': the firmware version and date
    {0xFE, "R", 2},           // status: 'R' ready
    {0x04, "K4", 2},          // select the engine K-line (pin set 4); acknowledged
};

void TCarSoftFirmware::HostLine(int baud, uint8_t parity, uint8_t stopBits, double atMs) {
    HostBaud = baud;
    HostParity = parity;
    HostStopBits = stopBits;
    Cable.HostLine(baud, parity, stopBits, atMs);
}

void TCarSoftFirmware::HostRts(bool on, double atMs) {
    Rts = on;
    // Leaving command mode hands the line back to the PC at its settings.
    Cable.HostLine(HostBaud, HostParity, HostStopBits, atMs);
}

void TCarSoftFirmware::HostBreak(bool on, double atMs) {
    // In command mode the K-line is not connected to the PC's transmit line.
    if (!CommandMode() || !on)
        Cable.HostBreak(on, atMs);
}

void TCarSoftFirmware::HostByte(uint8_t value, double atMs) {
    if (!CommandMode()) {
        Cable.HostByte(value, atMs);
        return;
    }
    InputFree = std::max(atMs, InputFree) + CharMs(HostBaud);
    const TCommand* command = std::find_if(std::begin(Commands), std::end(Commands),
                                           [&](const TCommand& row) { return row.Byte == value; });
    if (command == std::end(Commands)) {
        Uart.Put('?', InputFree + 2);
        return;
    }
    for (char c : command->Answer)
        Uart.Put(uint8_t(c), InputFree + command->DelayMs);
}

std::vector<TRxByte> TCarSoftFirmware::Output(double nowMs) {
    std::vector<TRxByte> out = Uart.Take(nowMs);
    std::vector<TRxByte> line = Cable.Output(nowMs);
    // In command mode the K-line is not connected to the PC's receive line.
    if (!CommandMode())
        out.insert(out.end(), line.begin(), line.end());
    std::stable_sort(out.begin(), out.end(),
                     [](const TRxByte& a, const TRxByte& b) { return a.TimeMs < b.TimeMs; });
    return out;
}

double TCarSoftFirmware::NextOutputMs() const {
    return std::min(Uart.NextMs(), Cable.NextOutputMs());
}

} // namespace velmora
