#include "line_command.h"

#include <csignal>
#include <iostream>

#include "commands.h"
#include "connection/com_reader.h"
#include "session.h"

namespace velmora {

namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> signalSeen{0};

// The signals that end a run in order: the run stops at its next wait and writes what it writes.
#ifdef SIGHUP
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int EndingSignals[] = {SIGINT, SIGTERM};
#endif

// The first signal asks the run to stop; a second one of the same kind ends the tool at once.
extern "C" void OnLineInterrupt(int signal) {
    signalSeen.store(signal);
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
    signalSeen = 0;
    for (int signal : EndingSignals)
        std::signal(signal, OnLineInterrupt);
}

TInterruptStop::~TInterruptStop() {
    for (int signal : EndingSignals)
        std::signal(signal, SIG_DFL);
}

std::string TInterruptStop::Reason() const {
    switch (signalSeen.load()) {
    case SIGINT:
        return "stopped by Ctrl+C (SIGINT)";
    case SIGTERM:
        return "stopped by SIGTERM";
#ifdef SIGHUP
    case SIGHUP:
        return "stopped by SIGHUP";
#endif
    default:
        return {};
    }
}

const std::atomic<bool>& TInterruptStop::Flag() const {
    return interrupted;
}

} // namespace velmora
