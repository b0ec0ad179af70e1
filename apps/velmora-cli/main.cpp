// velmora-cli: the command-line entry to the diagnostic core.
// `velmora-cli [--home DIR] [--lang ru|en|de] [OPTIONS] COMMAND [ARGS]`: options before the command are
// handed to it with its arguments; --lang (anywhere) and the settings file's language apply to every
// command.
#include <cstdio>
#include <iostream>
#include <vector>

#include "commands.h"
#include "common_options.h"
#include "console_host.h"
#include "platform/program_folders.h"
#include "platform/velmora_version.h"
#include "sim/sim_port.h"
#include "usage_text.h"

namespace {

using velmora::TCommand;

constexpr TCommand Commands[] = {
    {"calc",
     "calc --type T --calc TEXT [--name N] [--mask M] [--izm U] [--json] B0 [B1 B2 B3]\n"
     "    converts raw bytes (decimal or 0x-hex) as a parameter description would and prints the\n"
     "    display text, the value at full precision and the exchange-log text",
     velmora::RunCalc},
    {"ident",
     "--port PORT [--adapter K|C|E] [--elm-as-kkl] [--wifi HOST:PORT] ident [--json]\n"
     "    wakes the engine unit, identifies it and prints the log and the identification report;\n"
     "    PORT is COMn, a device path, FTDI, WIFI, SIM, SIM:<unit or profile>, SIMELM[:<unit>] ...;\n"
     "    port and adapter default to the settings file, the WiFi address to its WIFI_IP/WIFI_PORT",
     velmora::RunIdent},
    {"faults",
     "[OPTIONS] faults [--stored-only] [--lang ru|en|de] [--json]\n"
     "    connects, reads the fault memory and prints the fault list as the fault tab shows it",
     velmora::RunFaults},
    {"erase",
     "[OPTIONS] erase [--json]\n"
     "    erases the fault memory and prints what remains (an LH unit wants an ignition cycle first)",
     velmora::RunErase},
    {"report",
     "[OPTIONS] report [--stored-only] [--pdf [FILE] [--mileage KM] [--notes TEXT] [--seconds S]] [--lang "
     "ru|en|de] [--json]\n"
     "    writes the fault report into LOGS (the client's folder with --client) and prints its path; --pdf\n"
     "    writes the customer report (A4 PDF: workshop, car, faults, erases, values read for S seconds (3))\n"
     "    to FILE or into CLIENTS/<client> (LOGS without a client) under a new name",
     velmora::RunReport},
    {"watch",
     "[OPTIONS] watch N[,N...] [--seconds S] [--csv FILE] [--json]\n"
     "    polls the listed parameters for S seconds (5) and prints each new value: ms, number, value;\n"
     "    --csv also writes them to FILE (time_ms,number,name,value,unit)",
     velmora::RunWatch},
    {"range",
     "[OPTIONS] range CMD FROM TO [--json]\n"
     "    reads the request pairs (CMD, FROM) ... (CMD, TO) and prints the bytes in hexadecimal",
     velmora::RunRange},
    {"act",
     "[OPTIONS] act CMD VALUE [--json]\n"
     "    enters the actuator test mode and sends one actuator command (channel 0xD0-0xDC, value)",
     velmora::RunAct},
    {"adapt",
     "[OPTIONS] adapt reset|reset2|throttle [--json]\n"
     "    adaptation reset (phase 1, and phase 2 after an ignition cycle) or throttle adaptation",
     velmora::RunAdapt},
    {"trip",
     "[OPTIONS] trip --seconds S [--json]\n"
     "    runs the trip computer for S seconds: prints each trip log line as it is written\n"
     "    (LOGS/bc<yymmdd>.txt) and the nine figures at the end",
     velmora::RunTrip},
    {"smooth",
     "[OPTIONS] smooth [--seconds S] [--json]\n"
     "    runs the cylinder smoothness test for S seconds (10) at idle and prints a line per round: each\n"
     "    cylinder's deviation (%) from the one before it, in firing order, then the engine speed",
     velmora::RunSmooth},
    {"code",
     "[OPTIONS] code HHH MMM LLL [--json]\n"
     "    writes a new coding (three numbers 0-255) into a HFM unit of the late generation",
     velmora::RunCode},
    {"adapter-test",
     "[--port PORT] [--adapter K|C|E] adapter-test [--carsoft] [--json]\n    echo test of a K-line cable "
     "(CarSoft 7.4 "
     "check with --carsoft); exits 1 when faulty",
     velmora::RunAdapterTest},
    {"impulse",
     "[--port PORT] [--adapter K|C|E] impulse MS [--json]\n    holds the K-line low for MS milliseconds",
     velmora::RunImpulse},
    {"elm-to-kkl",
     "[--port FTDI] elm-to-kkl [--json]\n    switches an ELM327 into plain K-line mode until its power is "
     "cut",
     velmora::RunElmToKkl},
    {"slow-codes",
     "[--port PORT] [--adapter K|C] slow-codes [--erase] [--adapt] [--bosch93] [--json]\n    reads the blink "
     "codes of "
     "an older unit; --erase erases each, --adapt erases them and resets the\n    adaptation, --bosch93 for "
     "Bosch units built before 08/93; exits 1 when no code came",
     velmora::RunSlowCodes},
    {"module",
     "[OPTIONS] module egas|srs|egs [--erase] [--lang ru|en|de] [--json]\n"
     "    wakes the E-GAS or SRS module, prints its identification and faults, erases them with --erase\n"
     "    and writes the protocol log into LOGS; exits 1 with the dialogue's text when it fails",
     velmora::RunModule},
    {"history",
     "history [--vin VIN | --client NAME] [--json] | history --rebuild\n"
     "    lists the recorded visits (of one car or client) with their faults, erases, functions and files;\n"
     "    --rebuild makes the history anew from the exchange logs in LOGS",
     velmora::RunHistory},
    {"convert",
     "convert FILE.bin|FOLDER [--only-new] [--csv] [--ecu-ini FILE] [--json]\n"
     "    converts exchange logs to text (.txt beside each .bin) and, with --csv, their values to CSV",
     velmora::RunConvert},
    {"replay",
     "replay FILE.bin [--speed X | --fast] [--from S] [--to S] [--csv OUT] [--json]\n"
     "    plays a recorded session (an exchange log and its .times beside it) back as watch printed it:\n"
     "    ms since polling began, number, value; in real time, X times as fast or, with --fast, at once;\n"
     "    --from/--to in seconds of that clock; --csv also writes OUT (time_ms,number,name,value,unit).\n"
     "    Without its times a log plays with times estimated at the line's rate, and says so",
     velmora::RunReplay},
};

// Options that may stand before the command name, and whether each takes a value.
struct TGlobalOption {
    std::string_view Name;
    bool HasValue;
};
constexpr TGlobalOption GlobalOptions[] = {{"--port", true},        {"--adapter", true}, {"--wifi", true},
                                           {"--elm-as-kkl", false}, {"--client", true},  {"--lang", true},
                                           {"--json", false}};

void PrintUsage(std::ostream& out) {
    velmora::PrintHelp(out, Commands);
}

} // namespace

int main(int argc, char** argv) {
    // Answered before the program folder is set up, which these leave untouched.
    const std::string_view firstArg = argc > 1 ? argv[1] : "";
    if (firstArg == "--version") {
        std::cout << "velmora-cli " << velmora::PackageVersion << "\n";
        return velmora::ExitOk;
    }
    if (firstArg == "--help-man") { // the build's source of the man page
        velmora::PrintManSections(std::cout, Commands);
        return velmora::ExitOk;
    }
    if (const std::string problem = velmora::InitProgramFolder(argc, argv); !problem.empty()) {
        std::fprintf(stderr, "velmora-cli: %s\n", problem.c_str());
        return velmora::ExitUsage;
    }
    velmora::TConsoleHost host;
    velmora::SetHost(&host);
    velmora::RegisterSimPorts();

    // The options in front of the command go to it together with the arguments after its name.
    std::vector<char*> args;
    int first = 1;
    while (first < argc) {
        const std::string_view arg = argv[first];
        const TGlobalOption* option = nullptr;
        for (const TGlobalOption& known : GlobalOptions)
            option = known.Name == arg ? &known : option;
        if (!option)
            break;
        const int taken = option->HasValue && first + 1 < argc ? 2 : 1;
        args.insert(args.end(), argv + first, argv + first + taken);
        first += taken;
    }
    std::string_view name = first < argc ? argv[first] : "";
    if (first < argc)
        args.insert(args.end(), argv + first + 1, argv + argc);

    int exitCode = velmora::ExitUsage;
    if (const std::string problem = velmora::ApplyCommonOptions(args); !problem.empty()) {
        std::cerr << "velmora-cli: " << problem << "\n";
    } else if (name == "--version") {
        std::cout << "velmora-cli " << velmora::PackageVersion << "\n";
        exitCode = velmora::ExitOk;
    } else if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(std::cout);
        exitCode = velmora::ExitOk;
    } else {
        bool found = false;
        for (const TCommand& command : Commands) {
            if (command.Name == name) {
                found = true;
                exitCode = command.Run(std::span<char* const>(args.data(), args.size()));
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
