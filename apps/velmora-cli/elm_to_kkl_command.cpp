// velmora-cli elm-to-kkl: switches the ELM327 on the FTDI port into plain K-line mode; a refusal or an
// adapter that does not confirm exits 1.
#include "commands.h"
#include "line_command.h"
#include "line_tests/elm_to_kkl.h"

namespace velmora {

int RunElmToKkl(std::span<char* const> args) {
    constexpr std::string_view usage = "elm-to-kkl";
    const std::optional<TLineArgs> parsed = ParseLineArgs(args, "elm-to-kkl", usage);
    if (!parsed)
        return ExitUsage;
    if (!parsed->Rest.empty())
        return LineUsageError("elm-to-kkl", usage, "cannot use " + std::string(parsed->Rest.front()));
    TInterruptStop stop;
    return ElmToKklCommand(parsed->Request, stop.Flag()) ? ExitOk : ExitFailed;
}

} // namespace velmora
