// The simulated ELM327's firmware: AT commands, OBD-style table reads and the extended commands that run
// the engine protocol on the K-line (HFMCONNECT, HFMDATA, USBKKL) and the framed module protocol
// (ISOSET, ISOCONNECT, ISOMSG); texts in docs/velmora-sim.md.
// One thread at a time, like the bus it drives.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/adapters/kkl_cable.h"
#include "sim/adapters/sim_adapter.h"
#include "sim/kline_shortcut.h"
#include "sim/live_map.h"
#include "sim/modules/module_line.h"
#include "sim/sim_car.h"

namespace velmora {

constexpr int ElmBaud = 38400;
// From the CR of a command to the start of its work (the first character of its answer or the K-line
// exchange behind it), ms.
constexpr double ElmAnswerDelayMs = 1;

// Commands end with CR and are answered with the '>' prompt at the adapter's serial rate; the K-line
// exchanges behind them take the bus's own time.
class TElmFirmware : public TSimAdapter {
public:
    // The adapter plugged into `car`: it drives the car's K-line and measures its battery (ATRV). Its
    // table of whole parameters (which addresses a table read answers with two bytes) is the one for
    // the car's unit family.
    explicit TElmFirmware(TSimCar& car);

    void HostLine(int baud, uint8_t parity, uint8_t stopBits, double atMs) override;
    void HostRts(bool, double) override {}
    void HostBreak(bool on, double atMs) override;
    void HostByte(uint8_t value, double atMs) override;
    std::vector<TRxByte> Output(double nowMs) override;
    double NextOutputMs() const override;
    bool PassThrough() const override { return KklMode; }

    // The settings that ATZ restores (docs/velmora-sim.md has the defaults).
    struct TSettings {
        bool Echo = true;
        bool Linefeeds = false;
        bool Spaces = true;
        bool Headers = false;
    };
    // Whether the engine unit was woken and answers (the firmware's bus session).
    bool Connected() const { return BusUp; }

private:
    enum class TAtAction : uint8_t {
        Attention,
        Reset,
        WarmStart,
        Defaults,
        Identify,
        Voltage,
        ProtocolClose,
        Flag
    };
    struct TAtCommand {
        std::string_view Name;
        TAtAction Action;
        bool TSettings::*Setting = nullptr;
        bool Value = false;
    };
    static const TAtCommand AtCommands[];

    void Execute(std::string line, double atMs);
    void RunAt(std::string_view name, double atMs);
    void RunHex(std::string_view hex, double atMs);
    void HfmConnect(double atMs);
    void HfmData(std::string_view args, double atMs);
    void TableRead(uint8_t command, uint8_t address, double atMs);
    void ObdRequest(std::span<const uint8_t> request, double atMs);
    void UsbKkl(double atMs);
    // The module protocol (elm_module_commands.cpp).
    void IsoSet(std::string_view args, double atMs);
    void IsoConnect(double atMs);
    void IsoMsg(std::string_view hex, double atMs);

    // Wakes the unit unless the session is up; writes the BUS INIT line. False when it stayed asleep.
    bool EnsureBus(double& atMs);
    // One request pair on the K-line; ends the session when the unit does not answer.
    std::optional<uint8_t> Pair(uint8_t command, uint8_t param, double& atMs);
    // Bytes as hex, with spaces and the ISO 9141 header and checksum as the settings ask.
    std::string DataText(std::span<const uint8_t> bytes) const;

    void Put(std::string_view text, double atMs);
    // One answer line: the text and CR (LF with ATL1).
    void PutLine(std::string_view text, double atMs);
    // The empty line and the prompt that end every answer.
    void Prompt(double atMs);

    TSimCar& Car;
    TKLineBus& Bus;
    TKLineTester Tester;
    TKklCable Cable;
    std::span<const TLiveCell> Cells;
    TUartOutput Uart{ElmBaud};
    TSettings Current;
    int HostBaud = ElmBaud;
    uint8_t HostParity = 0;
    uint8_t HostStopBits = 0;
    double InputFree = 0; // the moment the last character from the PC arrived
    double BusyUntil = 0; // characters that arrive earlier wait for the command being run
    std::string Line;
    std::string LastLine;
    bool BusUp = false;
    bool KklMode = false;
    TModuleLine ModuleLine;
    std::optional<TModuleLineSettings> ModuleSettings; // set by ISOSET
    bool ModuleUp = false;                             // ISOCONNECT woke the module
};

} // namespace velmora
