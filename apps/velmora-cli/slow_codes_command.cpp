// velmora-cli slow-codes: reads the blink codes of an older unit through a plain K-line cable on the chosen
// port; --erase erases each code after it is shown, --adapt erases them and then resets the adaptation (as
// the window's button does), --bosch93 uses the hold times of Bosch units built before 08/93. The log
// lines are printed; Ctrl+C, SIGTERM or SIGHUP stop the run with the line released. A refusal, no code on
// the line, an erase that left codes behind or a stop exits 1.
#include <iostream>
#include <iterator>
#include <optional>

#include "commands.h"
#include "json_output.h"
#include "line_command.h"
#include "slow_codes/slow_codes.h"

namespace velmora {

namespace {

// TSlowCodeOutcome's values in order, as --json names them.
constexpr const char* OutcomeNames[] = {"refused", "no_code", "read", "stopped", "port_failed", "not_erased"};
static_assert(std::size(OutcomeNames) == size_t(TSlowCodeOutcome::NotErased) + 1);

} // namespace

int RunSlowCodes(std::span<char* const> args) {
    constexpr std::string_view usage = "slow-codes [--erase] [--adapt] [--bosch93] [--json]";
    std::optional<TLineArgs> parsed = ParseLineArgs(args, "slow-codes", usage);
    if (!parsed)
        return ExitUsage;
    const bool json = TakeJsonOption(parsed->Rest);
    TSlowCodeOptions options;
    for (std::string_view arg : parsed->Rest) {
        bool* flag = arg == "--erase"     ? &options.Erase
                     : arg == "--adapt"   ? &options.Adaptation
                     : arg == "--bosch93" ? &options.Bosch93
                                          : nullptr;
        if (!flag || *flag)
            return LineUsageError("slow-codes", usage, "cannot use " + std::string(arg));
        *flag = true;
    }
    options.Erase = options.Erase || options.Adaptation;
    TInterruptStop stop;
    std::optional<TJsonLogHost> log;
    if (json)
        log.emplace();
    const TSlowCodeResult result = SlowCodes(parsed->Request, options, stop.Flag());
    const int exitCode = result.Outcome == TSlowCodeOutcome::Read ? ExitOk : ExitFailed;
    // The log says how the run ended; a signal that ended it is named as well.
    if (const std::string reason = stop.Reason(); !reason.empty())
        std::cerr << "velmora-cli slow-codes: " << reason << "\n";
    if (!json)
        return exitCode;
    const std::vector<std::string> lines = std::move(log->Lines);
    log.reset();
    TJson document = PortJson(parsed->Request.PortName, parsed->Request.Adapter);
    document["outcome"] = OutcomeNames[size_t(result.Outcome)];
    document["codes"] = result.Codes;
    document["remaining"] = result.Remaining;
    document["erase"] = options.Erase;
    document["adaptation_reset"] = result.AdaptationReset;
    document["log"] = lines;
    PrintJsonDocument(std::cout, document);
    return exitCode;
}

} // namespace velmora
