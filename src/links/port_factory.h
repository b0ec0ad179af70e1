// The process-wide port object and the vocabulary of port names: "COMn", a device path, "FTDI",
// "WIFI", and the kinds other layers register (the simulated car's "SIM"). Window thread and worker,
// one at a time: the worker owns the port while a connection runs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "links/base_port.h"

namespace velmora {

constexpr int FtdiPortNumber = 99;
constexpr int WiFiPortNumber = 98;
constexpr int SimPortNumber = 97;

// "FTDI" 99, "WIFI" 98, "COMn" n (up to three digits), a registered kind its number, a device path a
// positive number of its own; anything else 0.
int PortNameToNumber(std::string_view name);
// 99 "FTDI", 98 "WIFI", a registered number its kind's name, COM numbers "COMn" (or the device path they
// stand for), 0 "".
std::string PortNumberToName(int number);

// The port in use, or nullptr.
TBasePort* Port();
// Frees the current port, creates the one the name asks for and opens it at `baud`. An empty name keeps
// the current port number. Result: whether a port object exists (an open one).
bool CreatePort(int baud, std::string_view name = {});
void FreePort();
// Why the last CreatePort made no port, for the user (a serial device or an FTDI cable: no permission,
// held by another program, absent, with the fix); "" when it opened or the kind of port gives no reason.
std::string LastOpenProblem();
// "Не могу открыть порт <name>" (translated) and, where the port tells it, the cause and its fix from
// LastOpenProblem, the device named once: what the user reads when CreatePort(name) has failed.
std::string OpenFailureText(std::string_view name);
int CurrentPortNumber();
std::string CurrentPortName();

struct TPortInfo {
    std::string Name;        // what CreatePort takes: a stable /dev/serial/by-id/ name where there is one
    std::string Description; // for the user: USB maker and product, VID:PID, device path
    std::string Problem;     // why the device does not open now (no permission, busy); "" when it opens
};
// The ports that open now: FTDI, serial devices, registered kinds. With `withUnusable`, also the
// serial devices that are there but cannot be opened for lack of permission or because another
// program holds them, each with its Problem, so that the user learns the cause and the fix.
void EnumPorts(std::vector<std::string>& list);
std::vector<TPortInfo> EnumPortInfos(bool withUnusable = false);

// decimal baud, parity letter, stop-bit code: 10400N1, 9600S0
std::string FormatPortSettings(int baud, int parity, int stopBits);

// A kind of port that another layer provides (the simulated car). Names equal to `prefix` or starting
// with `prefix` + ":" create it; the full name reaches the creator.
using TPortCreator = std::function<std::unique_ptr<TBasePort>(std::string_view name)>;
void RegisterPortKind(std::string prefix, int number, std::string description, TPortCreator creator);

} // namespace velmora
