// velmora-cli: the command-line entry to the diagnostic core. `velmora-cli [--home DIR] COMMAND ...`
#include <iostream>

#include "commands.h"
#include "console_host.h"
#include "platform/program_folders.h"

namespace {

using velmora::TCommand;

constexpr TCommand Commands[] = {
    {"calc",
     "calc --type T --calc TEXT [--name N] [--mask M] [--izm U] B0 [B1 B2 B3]\n"
     "    converts raw bytes (decimal or 0x-hex) as a parameter description would and prints the\n"
     "    display text, the value at full precision and the exchange-log text",
     velmora::RunCalc},
};

void PrintUsage(std::ostream& out) {
    out << "usage: velmora-cli [--home DIR] COMMAND [ARGS]\n\ncommands:\n";
    for (const TCommand& command : Commands)
        out << "  " << command.Usage << "\n";
}

} // namespace

int main(int argc, char** argv) {
    velmora::InitProgramFolder(argc, argv);
    velmora::TConsoleHost host;
    velmora::SetHost(&host);

    int exitCode = velmora::ExitUsage;
    std::string_view name = argc > 1 ? argv[1] : "";
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(std::cout);
        exitCode = velmora::ExitOk;
    } else {
        bool found = false;
        for (const TCommand& command : Commands) {
            if (command.Name == name) {
                found = true;
                exitCode = command.Run(std::span<char* const>(argv + 2, size_t(argc - 2)));
            }
        }
        if (!found) {
            if (!name.empty())
                std::cerr << "velmora-cli: unknown command \"" << name << "\"\n";
            PrintUsage(std::cerr);
        }
    }
    velmora::SetHost(nullptr);
    return exitCode;
}
