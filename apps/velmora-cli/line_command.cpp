#include "line_command.h"

#include <csignal>
#include <iostream>

#include "commands.h"
#include "connection/com_reader.h"
#include "session.h"

namespace velmora {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnLineInterrupt(int) {
    interrupted.store(true);
    std::signal(SIGINT, SIG_DFL);
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
    std::signal(SIGINT, OnLineInterrupt);
}

TInterruptStop::~TInterruptStop() {
    std::signal(SIGINT, SIG_DFL);
}

const std::atomic<bool>& TInterruptStop::Flag() const {
    return interrupted;
}

} // namespace velmora
