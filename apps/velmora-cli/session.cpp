#include "session.h"

#include <charconv>
#include <csignal>
#include <iostream>

#include "commands.h"
#include "lang/dictionary.h"
#include "links/port_factory.h"
#include "links/wifi_port.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"
#include "settings/program_settings.h"

namespace velmora {

namespace {

// Raised by the first Ctrl+C: the session stops its connection as the user's "Stop" would.
volatile std::sig_atomic_t Interrupted = 0;

// The first Ctrl+C asks the link to stop; a second one ends the tool at once.
extern "C" void OnSessionInterrupt(int) {
    Interrupted = 1;
    UserStop().store(true);
    std::signal(SIGINT, SIG_DFL);
}

// "HOST:PORT" over `settings`; false when it is not of that form.
bool ParseWiFi(std::string_view text, TWiFiSettings& settings) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const std::optional<int> port = ParseNumber(text.substr(colon + 1), 65535);
    if (!port || *port == 0)
        return false;
    settings.WiFiAddress = std::string(text.substr(0, colon));
    settings.WiFiPortNumber = *port;
    return true;
}

// The options every session command takes, and whether each wants a value.
enum class TOption { Port, Adapter, WiFi, ElmAsKkl, Client };
struct TOptionRow {
    std::string_view Name;
    TOption Option;
    bool HasValue;
};
constexpr TOptionRow OptionRows[] = {
    {"--port", TOption::Port, true},     {"--adapter", TOption::Adapter, true},
    {"--wifi", TOption::WiFi, true},     {"--elm-as-kkl", TOption::ElmAsKkl, false},
    {"--client", TOption::Client, true},
};

} // namespace

std::optional<int> ParseNumber(std::string_view text, int max) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

std::string ParseSessionOptions(std::span<char* const> args, TConnectSettings& settings,
                                std::vector<std::string_view>& rest) {
    const TIniFile ini(SettingsFile());
    const TProgramSettings program = ReadProgramSettings(ini);
    settings.PortName = program.Port;
    settings.Adapter = program.Adapter;
    settings.Client = program.Client;
    TWiFiSettings wifi = WiFiSettings();
    wifi.WiFiAddress = ini.ReadString(SettingsSection, "WIFI_IP", wifi.WiFiAddress);
    wifi.WiFiPortNumber = ini.ReadInteger(SettingsSection, "WIFI_PORT", wifi.WiFiPortNumber);

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const TOptionRow* row = nullptr;
        for (const TOptionRow& known : OptionRows)
            row = known.Name == arg ? &known : row;
        if (!row) {
            rest.push_back(arg);
            continue;
        }
        if (row->HasValue && i + 1 >= args.size())
            return std::string(arg) + " needs a value";
        const std::string_view value = row->HasValue ? std::string_view(args[++i]) : std::string_view();
        switch (row->Option) {
        case TOption::Port:
            settings.PortName = value;
            break;
        case TOption::Adapter:
            if (value.size() != 1 || std::string_view("KCES").find(value[0]) == std::string_view::npos)
                return "the adapter is K (KKL cable), C (CarSoft 7.4) or E (ELM327)";
            settings.Adapter = value[0];
            break;
        case TOption::WiFi:
            if (!ParseWiFi(value, wifi))
                return "--wifi wants HOST:PORT";
            break;
        case TOption::ElmAsKkl:
            settings.ElmAsKkl = true;
            break;
        case TOption::Client:
            settings.Client = value;
            break;
        }
    }
    if (settings.PortName.empty() || settings.PortName == NoPortName)
        return "no port given (--port) and none in the settings";
    SetWiFiSettings(wifi);
    return {};
}

void TCliSession::THostTap::AddLog(std::string_view line) {
    Lines.emplace_back(line);
    std::cerr << line << '\n' << std::flush;
}

TMsgResult TCliSession::THostTap::MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) {
    return Console->MessageBox(text, kind, buttons);
}

void TCliSession::THostTap::PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    Posted.push_back({msg, wParam, lParam});
}

TCliSession::TCliSession(std::string_view command) : Command(command) {
    Tap.Console = &Host();
    SetHost(&Tap);
    Interrupted = 0;
    std::signal(SIGINT, OnSessionInterrupt);
}

TCliSession::~TCliSession() {
    EndConnection();
    std::signal(SIGINT, SIG_DFL);
    SetHost(Tap.Console);
}

bool TCliSession::Connect(const TConnectSettings& settings) {
    Reader.PrepareConnect(settings);
    return Reader.Step() && Reader.State() == ReaderState::Polling;
}

bool TCliSession::StepUntil(const std::function<bool(const TSessionMessage&)>& seen, uint32_t ms) {
    const uint32_t start = Clock().TickCount();
    // The messages of the step that ended the connection count too.
    for (bool running = true;; running = Reader.Step()) {
        for (; PostedSeen < Tap.Posted.size(); ++PostedSeen)
            if (seen(Tap.Posted[PostedSeen]))
                return true;
        if (!running || Interrupted || TicksSince(start, Clock().TickCount()) >= ms)
            return false;
    }
}

bool TCliSession::Logged(std::string_view text) const {
    const std::string wanted = Translate(text);
    for (const std::string& line : Tap.Lines)
        if (line.find(wanted) != std::string::npos)
            return true;
    return false;
}

void TCliSession::EndConnection() {
    if (Reader.RequestStop()) {
        while (Reader.Step()) {
        }
    }
    // A connection whose link is lost ends at its next step; one that has ended already has no port.
    if (Port() && Reader.State() != ReaderState::Terminate)
        Reader.Step();
}

int TCliSession::Finish() {
    EndConnection();
    return ExitOk;
}

int TCliSession::Fail(std::string_view why) {
    EndConnection();
    std::cerr << "velmora-cli " << Command << ": " << why;
    // The wake-up's own verdict, when that is where the connection failed.
    if (const std::string failure = Reader.FailureText(); !failure.empty())
        std::cerr << ": " << failure;
    if (const std::string stop = Reader.StopText(); !stop.empty())
        std::cerr << " (" << stop << ")";
    std::cerr << "\n";
    return ExitFailed;
}

} // namespace velmora
