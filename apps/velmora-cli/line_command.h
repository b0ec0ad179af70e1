// What the line commands of velmora-cli (adapter-test, impulse, elm-to-kkl, slow-codes) share: the
// chosen port and adapter from the common options over the settings file, and a stop flag that the
// first Ctrl+C raises, so that a run releases the line and frees the port before the tool ends.
// Main thread only.
#pragma once

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "line_tests/line_port.h"

namespace velmora {

struct TLineArgs {
    TLineRequest Request;
    std::vector<std::string_view> Rest; // the command's own arguments
};

// The request, or nothing after printing "velmora-cli <command>: <problem>" and the usage line.
std::optional<TLineArgs> ParseLineArgs(std::span<char* const> args, std::string_view command,
                                       std::string_view usage);
// Prints the problem and the usage line; returns ExitUsage.
int LineUsageError(std::string_view command, std::string_view usage, std::string_view problem);

// While it lives, the first Ctrl+C (SIGTERM, SIGHUP) raises Flag; a second one ends the tool at once.
class TInterruptStop {
public:
    TInterruptStop();
    ~TInterruptStop();
    TInterruptStop(const TInterruptStop&) = delete;
    TInterruptStop& operator=(const TInterruptStop&) = delete;
    const std::atomic<bool>& Flag() const;
};

} // namespace velmora
