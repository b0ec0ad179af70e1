// velmora-cli slow-codes: reads the blink codes of an older unit through a plain K-line cable on the chosen
// port; --erase erases each code after it is shown, --adapt erases them and then resets the adaptation (as
// the window's button does), --bosch93 uses the hold times of Bosch units built before 08/93. The log
// lines are printed; Ctrl+C stops the run with the line released. A refusal, no code on the line or a
// stop exits 1.
#include "commands.h"
#include "line_command.h"
#include "slow_codes/slow_codes.h"

namespace velmora {

int RunSlowCodes(std::span<char* const> args) {
    constexpr std::string_view usage = "slow-codes [--erase] [--adapt] [--bosch93]";
    const std::optional<TLineArgs> parsed = ParseLineArgs(args, "slow-codes", usage);
    if (!parsed)
        return ExitUsage;
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
    const TSlowCodeResult result = SlowCodes(parsed->Request, options, stop.Flag());
    return result.Outcome == TSlowCodeOutcome::Read ? ExitOk : ExitFailed;
}

} // namespace velmora
