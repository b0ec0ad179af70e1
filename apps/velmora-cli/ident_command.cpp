// velmora-cli ident: wakes the engine unit on the chosen port, identifies it and prints the link's log
// lines and the identification report, as a connection of the window would start.
#include <charconv>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "connection/engine_link.h"
#include "connection/exchange_log.h"
#include "connection/ident_session.h"
#include "links/wifi_port.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "settings/program_settings.h"

namespace velmora {

namespace {

int UsageError(std::string_view problem) {
    std::cerr << "velmora-cli ident: " << problem << "\n"
              << "usage: velmora-cli [--home DIR] --port PORT [--adapter K|C|E] [--elm-as-kkl] "
                 "[--wifi HOST:PORT] ident\n";
    return ExitUsage;
}

std::optional<int> ParseTcpPort(std::string_view text) {
    int port = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port <= 0 || port > 65535)
        return std::nullopt;
    return port;
}

// "HOST:PORT" over `settings`; false when it is not of that form.
bool ParseWiFi(std::string_view text, TWiFiSettings& settings) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const std::optional<int> port = ParseTcpPort(text.substr(colon + 1));
    if (!port)
        return false;
    settings.WiFiAddress = std::string(text.substr(0, colon));
    settings.WiFiPortNumber = *port;
    return true;
}

// The first Ctrl+C asks the link to stop; a second one ends the tool at once.
extern "C" void OnInterrupt(int) {
    UserStop().store(true);
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

int RunIdent(std::span<char* const> args) {
    const TIniFile ini(SettingsFile());
    const TProgramSettings settings = ReadProgramSettings(ini);
    TIdentOptions options{settings.Port, settings.Adapter, false};
    TWiFiSettings wifi = WiFiSettings();
    wifi.WiFiAddress = ini.ReadString(SettingsSection, "WIFI_IP", wifi.WiFiAddress);
    wifi.WiFiPortNumber = ini.ReadInteger(SettingsSection, "WIFI_PORT", wifi.WiFiPortNumber);

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--elm-as-kkl") {
            options.ElmAsKkl = true;
        } else if ((arg == "--port" || arg == "--adapter" || arg == "--wifi") && !hasValue) {
            return UsageError(std::string(arg) + " needs a value");
        } else if (arg == "--port") {
            options.PortName = args[++i];
        } else if (arg == "--adapter") {
            const std::string_view kind = args[++i];
            if (kind.size() != 1 || std::string_view("KCES").find(kind[0]) == std::string_view::npos)
                return UsageError("the adapter is K (KKL cable), C (CarSoft 7.4) or E (ELM327)");
            options.Adapter = kind[0];
        } else if (arg == "--wifi") {
            if (!ParseWiFi(args[++i], wifi))
                return UsageError("--wifi wants HOST:PORT");
        } else {
            return UsageError("cannot use " + std::string(arg));
        }
    }
    if (options.PortName.empty() || options.PortName == NoPortName)
        return UsageError("no port given (--port) and none in the settings");
    SetWiFiSettings(wifi);

    TExchangeLog log;
    TEngineLink link(log);
    std::signal(SIGINT, OnInterrupt);
    const TIdentOutcome outcome = RunIdentSession(link, log, options);
    std::signal(SIGINT, SIG_DFL);
    if (!outcome.Identified) {
        std::cerr << "velmora-cli ident: " << outcome.Reason << "\n";
        return ExitFailed;
    }
    std::cout << "Exchange log: " << log.LogPath() << "\n";
    return ExitOk;
}

} // namespace velmora
