// velmora-sim: serves a simulated car behind a simulated adapter on a pseudo-terminal or as a WiFi
// ELM327 on a TCP port, until SIGINT or SIGTERM. The first line on stdout says where it listens.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"
#include "platform/velmora_version.h"
#include "sim/adapters/sim_server.h"
#include "sim/sim_profile.h"

namespace {

using namespace velmora;

const char* const Usage =
    R"(Usage: velmora-sim [--unit UNIT] [--kkl | --elm | --carsoft] [--pty [--strict] | --tcp ADDRESS:PORT]
                   [--home DIR]

Serves a simulated engine unit behind a simulated K-line adapter until stopped (Ctrl+C, SIGTERM).

  --unit UNIT     the unit: a built-in one or a profile file (also looked up in the program
                  folder); default hfm. Built-in: %s
  --kkl           a plain KKL cable (default on a pseudo-terminal)
  --elm           an ELM327 adapter at 38400 baud
  --carsoft       a CarSoft 7.4 interface
  --pty           serve on a pseudo-terminal (default); its device path is printed first
  --strict        pseudo-terminal: take the ninth bit of each byte only from the line settings
                  (space or mark parity); a byte with the wrong one gets no answer
  --tcp A:PORT    serve as a WiFi ELM327 on TCP (PORT 0 picks a free one); "address:port" is printed
                  first; one client at a time
  --home DIR      the program folder
  --help          this text
  --version       the version
)";

// Log lines go to stderr; stdout carries only where the server listens.
class TStderrHost : public THost {
public:
    void AddLog(std::string_view line) override { std::cerr << line << '\n'; }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons) override {
        std::cerr << text << '\n';
        return TMsgResult::Ok;
    }
    void PostMessage(uint32_t, intptr_t, intptr_t) override {}
};

TSimServer* running = nullptr;

extern "C" void OnSignal(int) {
    if (running)
        running->Stop();
}

void PrintUsage(FILE* to) {
    std::string units;
    for (const std::string& unit : BuiltinSimUnits())
        units += (units.empty() ? "" : ", ") + unit;
    std::fprintf(to, Usage, units.c_str());
}

// "A:PORT" into the options; false when it is not of that form.
bool ParseTcp(std::string_view text, TSimServerOptions& options) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size())
        return false;
    std::string port(text.substr(colon + 1));
    if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5)
        return false;
    options.Address = std::string(text.substr(0, colon));
    options.TcpPort = std::stoi(port);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--version") {
        std::printf("velmora-sim %s\n", PackageVersion);
        return 0;
    }
    if (const std::string problem = InitProgramFolder(argc, argv); !problem.empty()) {
        std::fprintf(stderr, "velmora-sim: %s\n", problem.c_str());
        return 2;
    }
    TStderrHost host;
    SetHost(&host);

    TSimServerOptions options;
    bool adapterGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--unit" && hasValue) {
            options.Unit = argv[++i];
        } else if (arg == "--kkl" || arg == "--elm" || arg == "--carsoft") {
            options.Adapter = arg == "--elm"       ? TSimAdapterKind::Elm
                              : arg == "--carsoft" ? TSimAdapterKind::CarSoft
                                                   : TSimAdapterKind::Kkl;
            adapterGiven = true;
        } else if (arg == "--pty") {
            options.Tcp = false;
        } else if (arg == "--strict") {
            options.Strict = true;
        } else if (arg == "--tcp" && hasValue && ParseTcp(argv[i + 1], options)) {
            options.Tcp = true;
            ++i;
        } else {
            bool needsValue = arg == "--unit" || arg == "--tcp";
            if (needsValue && hasValue)
                std::fprintf(stderr, "velmora-sim: cannot use %s %s\n\n", argv[i], argv[i + 1]);
            else
                std::fprintf(stderr, "velmora-sim: cannot use %s%s\n\n", argv[i],
                             needsValue ? " without its value" : "");
            PrintUsage(stderr);
            return 2;
        }
    }
    // A WiFi adapter is an ELM327.
    if (options.Tcp && !adapterGiven)
        options.Adapter = TSimAdapterKind::Elm;
    std::filesystem::path inHome = ProgramFolder() / Utf8Path(options.Unit);
    std::error_code ignored;
    if (!std::filesystem::exists(Utf8Path(options.Unit), ignored) &&
        std::filesystem::is_regular_file(inHome, ignored))
        options.Unit = inHome.string();

    TSimServer server;
    std::string error;
    if (!server.Start(options, error)) {
        std::fprintf(stderr, "velmora-sim: %s\n", error.c_str());
        return 1;
    }
    running = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", server.Where().c_str());
    std::fflush(stdout);
    server.Run();
    running = nullptr;
    SetHost(nullptr);
    return 0;
}
