// velmora-cli impulse MS: holds the K-line low for MS milliseconds on the chosen port, as the menu's
// "Down k-line" commands do; a refusal or a port that does not open exits 1.
#include <iostream>
#include <optional>

#include "commands.h"
#include "json_output.h"
#include "line_command.h"
#include "line_tests/kline_impulse.h"
#include "session.h"

namespace velmora {

namespace {

// The longest hold the command takes (ms); the menu offers 4 to 8 s.
constexpr int LongestImpulseMs = 60000;

} // namespace

int RunImpulse(std::span<char* const> args) {
    constexpr std::string_view usage = "impulse MS [--json]   (MS 1-60000)";
    std::optional<TLineArgs> parsed = ParseLineArgs(args, "impulse", usage);
    if (!parsed)
        return ExitUsage;
    const bool json = TakeJsonOption(parsed->Rest);
    if (parsed->Rest.size() != 1)
        return LineUsageError("impulse", usage, "give the length in milliseconds");
    const std::optional<int> ms = ParseNumber(parsed->Rest.front(), LongestImpulseMs);
    if (!ms || *ms == 0)
        return LineUsageError("impulse", usage, "not a length: " + std::string(parsed->Rest.front()));
    TInterruptStop stop;
    const auto sayWhy = [&] {
        if (const std::string reason = stop.Reason(); !reason.empty())
            std::cerr << "velmora-cli impulse: " << reason << "\n";
    };
    if (!json) {
        const bool done = KLineImpulse(parsed->Request, uint32_t(*ms), stop.Flag());
        sayWhy();
        return done ? ExitOk : ExitFailed;
    }
    std::optional<TJsonLogHost> log(std::in_place);
    const bool done = KLineImpulse(parsed->Request, uint32_t(*ms), stop.Flag());
    sayWhy();
    const std::vector<std::string> lines = std::move(log->Lines);
    log.reset();
    TJson document = PortJson(parsed->Request.PortName, parsed->Request.Adapter);
    document["ms"] = *ms;
    document["done"] = done;
    document["log"] = lines;
    PrintJsonDocument(std::cout, document);
    return done ? ExitOk : ExitFailed;
}

} // namespace velmora
