// velmora-cli elm-to-kkl: switches the ELM327 on the FTDI port into plain K-line mode; a refusal or an
// adapter that does not confirm exits 1.
#include <iostream>
#include <optional>

#include "commands.h"
#include "json_output.h"
#include "line_command.h"
#include "line_tests/elm_to_kkl.h"

namespace velmora {

int RunElmToKkl(std::span<char* const> args) {
    constexpr std::string_view usage = "elm-to-kkl [--json]";
    std::optional<TLineArgs> parsed = ParseLineArgs(args, "elm-to-kkl", usage);
    if (!parsed)
        return ExitUsage;
    const bool json = TakeJsonOption(parsed->Rest);
    if (!parsed->Rest.empty())
        return LineUsageError("elm-to-kkl", usage, "cannot use " + std::string(parsed->Rest.front()));
    TInterruptStop stop;
    if (!json)
        return ElmToKklCommand(parsed->Request, stop.Flag()) ? ExitOk : ExitFailed;
    std::optional<TJsonLogHost> log(std::in_place);
    const bool done = ElmToKklCommand(parsed->Request, stop.Flag());
    const std::vector<std::string> lines = std::move(log->Lines);
    log.reset();
    TJson document = PortJson(parsed->Request.PortName, parsed->Request.Adapter);
    document["done"] = done;
    document["log"] = lines;
    PrintJsonDocument(std::cout, document);
    return done ? ExitOk : ExitFailed;
}

} // namespace velmora
