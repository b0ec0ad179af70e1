// velmora-cli ident: wakes the engine unit on the chosen port, identifies it and prints the link's log
// lines and the identification report, as a connection of the window would start.
#include <csignal>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "engine_link/ident_session.h"
#include "json_output.h"
#include "session.h"

namespace velmora {

namespace {

int UsageError(std::string_view problem) {
    std::cerr << "velmora-cli ident: " << problem << "\n"
              << "usage: velmora-cli [--home DIR] --port PORT [--adapter K|C|E] [--elm-as-kkl] "
                 "[--wifi HOST:PORT] ident [--json]\n";
    return ExitUsage;
}

// The signals that end the tool in an orderly way, so that the exchange log is written out.
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The first signal asks the link to stop; a second one of the same kind ends the tool at once.
extern "C" void OnInterrupt(int signal) {
    UserStop().store(true);
    std::signal(signal, SIG_DFL);
}

} // namespace

int RunIdent(std::span<char* const> args) {
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError(problem);
    const bool json = TakeJsonOption(rest);
    if (!rest.empty())
        return UsageError("cannot use " + std::string(rest.front()));
    const TIdentOptions options{settings.PortName, settings.Adapter, settings.ElmAsKkl};

    TExchangeLog log;
    TEngineLink link(log);
    std::optional<TJsonLogHost> jsonLog;
    if (json)
        jsonLog.emplace();
    for (int signal : EndingSignals)
        std::signal(signal, OnInterrupt);
    const TIdentOutcome outcome = RunIdentSession(link, log, options);
    for (int signal : EndingSignals)
        std::signal(signal, SIG_DFL);
    jsonLog.reset();
    // On a noisy line the line is named, with what it did, beside the result or the failure.
    const std::string noise = link.Noise.DroppedPairs > 0 ? link.LineDisturbedText() : std::string();
    if (!outcome.Identified) {
        if (!noise.empty() && outcome.Reason.find(noise) == std::string::npos)
            std::cerr << "velmora-cli ident: " << noise << "\n";
        std::cerr << "velmora-cli ident: " << outcome.Reason << "\n";
        return ExitFailed;
    }
    if (!noise.empty())
        std::cerr << "velmora-cli ident: " << noise << "\n";
    // The session's own record must be whole: a log that could not be written is no success.
    if (log.WriteFailed()) {
        std::cerr << "velmora-cli ident: the exchange log " << log.LogPath()
                  << " could not be written completely\n";
        return ExitFailed;
    }
    if (!json) {
        std::cout << "Exchange log: " << log.LogPath() << "\n";
        return ExitOk;
    }
    TJson document = IdentJson(link.Ident, options.PortName, options.Adapter);
    document["exchange_log"] = log.LogPath();
    PrintJsonDocument(std::cout, document);
    return ExitOk;
}

} // namespace velmora
