// The one description of velmora-cli's command line: the commands' table (main.cpp) and the options
// table here, printed as --help and as the COMMANDS and OPTIONS sections of the man page, which the
// build generates from this output. Main thread only.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "commands.h"

namespace velmora {

struct TOptionHelp {
    std::string_view Synopsis; // "--port PORT"
    std::string_view Text;
};

// The options every session command takes, and those of the tool itself.
std::span<const TOptionHelp> CliOptions();

// --help: usage line, commands, options, exit codes.
void PrintHelp(std::ostream& out, std::span<const TCommand> commands);
// The man page's sections COMMANDS and OPTIONS in troff.
void PrintManSections(std::ostream& out, std::span<const TCommand> commands);
// Text for troff: backslashes and hyphens escaped, a leading dot or quote made harmless.
std::string TroffText(std::string_view text);

} // namespace velmora
