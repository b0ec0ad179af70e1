#include "sim/adapters/elm_firmware.h"

#include <algorithm>
#include <cctype>

#include "sim/sim_profile.h"

namespace velmora {

namespace {

// The longest command line the firmware keeps, characters; the rest of a longer line is dropped.
constexpr size_t LineCapacity = 128;

} // namespace

TElmFirmware::TElmFirmware(TSimCar& car)
    : Car(car), Bus(car.Bus()), Tester(car.Bus()), Cable(car.Bus()), Cells(LiveCells(car.Profile().LiveMap)),
      ModuleLine(car.Bus()) {}

void TElmFirmware::HostLine(int baud, uint8_t parity, uint8_t stopBits, double atMs) {
    HostBaud = baud;
    HostParity = parity;
    HostStopBits = stopBits;
    if (KklMode)
        Cable.HostLine(baud, parity, stopBits, atMs);
}

void TElmFirmware::HostBreak(bool on, double atMs) {
    // In command mode a break on the adapter's receive line is a framing error the firmware ignores.
    if (KklMode)
        Cable.HostBreak(on, atMs);
}

void TElmFirmware::HostByte(uint8_t value, double atMs) {
    if (KklMode) {
        Cable.HostByte(value, atMs);
        return;
    }
    InputFree = std::max(atMs, InputFree) + CharMs(HostBaud);
    // Sent at another baud rate the character arrives as garbage, which the firmware cannot read.
    if (!BaudMatches(HostBaud, ElmBaud))
        return;
    double at = std::max(InputFree, BusyUntil);
    if (Current.Echo) {
        Uart.Put(value, at);
        if (value == '\r' && Current.Linefeeds)
            Uart.Put('\n', at);
    }
    if (value == '\r') {
        std::string line;
        line.swap(Line);
        Execute(std::move(line), at);
        BusyUntil = Uart.FreeMs();
        return;
    }
    // Spaces and control characters (the LF of a CR LF) carry nothing.
    if (value > ' ' && value < 0x7F && Line.size() < LineCapacity)
        Line += char(std::toupper(value));
}

std::vector<TRxByte> TElmFirmware::Output(double nowMs) {
    std::vector<TRxByte> out = Uart.Take(nowMs);
    if (KklMode) {
        std::vector<TRxByte> line = Cable.Output(nowMs);
        out.insert(out.end(), line.begin(), line.end());
        std::stable_sort(out.begin(), out.end(),
                         [](const TRxByte& a, const TRxByte& b) { return a.TimeMs < b.TimeMs; });
    }
    return out;
}

double TElmFirmware::NextOutputMs() const {
    return std::min(Uart.NextMs(), KklMode ? Cable.NextOutputMs() : NeverMs);
}

void TElmFirmware::Execute(std::string line, double atMs) {
    // A lone CR repeats the last command, as on the original chip.
    if (line.empty())
        line = LastLine;
    if (line.empty()) {
        Prompt(atMs);
        return;
    }
    LastLine = line;
    std::string_view text = line;
    if (text.starts_with("AT"))
        RunAt(text.substr(2), atMs);
    else if (text == "HFMCONNECT")
        HfmConnect(atMs);
    else if (text.starts_with("HFMDATA"))
        HfmData(text.substr(7), atMs);
    else if (text == "USBKKL")
        UsbKkl(atMs);
    else if (text.starts_with("ISOSET"))
        IsoSet(text.substr(6), atMs);
    else if (text == "ISOCONNECT")
        IsoConnect(atMs);
    else if (text.starts_with("ISOMSG"))
        IsoMsg(text.substr(6), atMs);
    else
        RunHex(text, atMs);
}

void TElmFirmware::Put(std::string_view text, double atMs) {
    for (char c : text)
        Uart.Put(uint8_t(c), atMs);
}

void TElmFirmware::PutLine(std::string_view text, double atMs) {
    Put(text, atMs);
    Put(Current.Linefeeds ? "\r\n" : "\r", atMs);
}

void TElmFirmware::Prompt(double atMs) {
    PutLine("", atMs);
    Put(">", atMs);
}

} // namespace velmora
