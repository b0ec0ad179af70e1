#include "line_command.h"

#include <csignal>
#include <iostream>

#include "commands.h"
#include "connection/com_reader.h"
#include "session.h"

namespace velmora {

namespace {

std::atomic<bool> interrupted{false};

// Ctrl+C, SIGTERM and SIGHUP: the first one of a kind raises the flag, a second one ends the tool.
#ifdef SIGHUP
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int StopSignals[] = {SIGINT, SIGTERM};
#endif

extern "C" void OnLineInterrupt(int signal) {
    interrupted.store(true);
    std::signal(signal, SIG_DFL);
}

} // namespace

int LineUsageError(std::string_view command, std::string_view usage, std::string_view problem) {
    std::cerr << "velmora-cli " << command << ": " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [--port PORT] [--adapter K|C|E] " << usage << "\n";
    return ExitUsage;
}

std::optional<TLineArgs> ParseLineArgs(std::span<char* const> args, std::string_view command,
                                       std::string_view usage) {
    TConnectSettings settings;
    TLineArgs parsed;
    if (std::string problem = ParseSessionOptions(args, settings, parsed.Rest); !problem.empty()) {
        LineUsageError(command, usage, problem);
        return std::nullopt;
    }
    parsed.Request.PortName = settings.PortName;
    parsed.Request.Adapter = settings.Adapter;
    return parsed;
}

TInterruptStop::TInterruptStop() {
    interrupted = false;
    for (int signal : StopSignals)
        std::signal(signal, OnLineInterrupt);
}

TInterruptStop::~TInterruptStop() {
    for (int signal : StopSignals)
        std::signal(signal, SIG_DFL);
}

const std::atomic<bool>& TInterruptStop::Flag() const {
    return interrupted;
}

} // namespace velmora
