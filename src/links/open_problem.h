// Why a serial device did not open, in words that name the cause and the fix: no permission (the group
// that owns the device, the udev rule), held by another program (its name; brltty, the braille display
// service known to take USB serial adapters), no such device. Any thread.
#pragma once

#include <string>
#include <vector>

namespace velmora {

enum class TOpenFault { Missing, NoPermission, Busy, NotSerial, Other };

struct TOpenProblem {
    TOpenFault Fault = TOpenFault::Other;
    std::string Path;
    int Error = 0;                    // errno of the failed call
    std::string Group;                // the group that owns the device ("dialout"), when known
    std::vector<std::string> Holders; // programs that have the device open, as far as /proc shows them
    bool BrlttyRunning = false;       // the braille display service runs
};

// Classifies the errno of the failed open (or of the exclusive lock, with `lockFailed`) and looks up
// what the text needs: the device's group, the programs holding it, whether brltty runs.
TOpenProblem DiagnoseOpenFailure(const std::string& path, int error, bool lockFailed);
// The text for the user: the device, the cause and the fix (translated).
std::string OpenProblemText(const TOpenProblem& problem);

// Names (/proc/<pid>/comm) of the processes, this one included, that have `path` (or the device a
// symbolic link such as /dev/serial/by-id/... leads to) open; those of other users stay hidden from a
// user without rights.
std::vector<std::string> ProgramsHolding(const std::string& path);
// Whether a process of that name runs (/proc/<pid>/comm is readable by everyone).
bool ProgramRunning(const std::string& name);

} // namespace velmora
