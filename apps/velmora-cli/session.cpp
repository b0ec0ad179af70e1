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

// Raised by the first Ctrl+C, SIGTERM or SIGHUP: the session stops its connection as the user's "Stop"
// would, so the exchange log is written out.
volatile std::sig_atomic_t InterruptSeen = 0;

// The signals that end the tool in an orderly way.
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The first signal asks the link to stop; a second one of the same kind ends the tool at once.
extern "C" void OnSessionInterrupt(int signal) {
    InterruptSeen = 1;
    UserStop().store(true);
    std::signal(signal, SIG_DFL);
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
    for (const std::string& mark : TroubleMarks) {
        if (line.find(mark) != std::string_view::npos) {
            ++Troubles;
            break;
        }
    }
    Lines.emplace_back(line);
    if (Lines.size() > KeptLines)
        Lines.pop_front();
    std::cerr << line << '\n' << std::flush;
}

TMsgResult TCliSession::THostTap::MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) {
    return Console->MessageBox(text, kind, buttons);
}

void TCliSession::THostTap::PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    Posted.push_back({msg, wParam, lParam});
}

TCliSession::TCliSession(std::string_view command) : Command(command) {
    // The worker's words for a bad line; a format counts up to its first field.
    for (const char* russian :
         {"Нет ответа!", "ЭХО не получено!", "Связь восстановлена.", "Ошибка ответа на команду %d",
          "Ошибка ответа ELM327: %s", "Связь прервана!!! Время простоя %d мс"}) {
        std::string mark = Translate(russian);
        mark = mark.substr(0, mark.find('%'));
        if (!mark.empty())
            Tap.TroubleMarks.push_back(std::move(mark));
    }
    Tap.Console = &Host();
    SetHost(&Tap);
    InterruptSeen = 0;
    for (int signal : EndingSignals)
        std::signal(signal, OnSessionInterrupt);
}

TCliSession::~TCliSession() {
    if (const std::string failure = EndConnection(); !failure.empty())
        std::cerr << "velmora-cli " << Command << ": " << failure << "\n";
    for (int signal : EndingSignals)
        std::signal(signal, SIG_DFL);
    SetHost(Tap.Console);
}

bool TCliSession::Connect(const TConnectSettings& settings) {
    if (!History)
        History = MakeHistoryRecorder();
    Reader.Events = History.get();
    Reader.PrepareConnect(settings);
    Running = true;
    return Step() && Reader.State() == ReaderState::Polling;
}

bool TCliSession::Step() {
    Running = Running && Reader.Step();
    return Running;
}

bool TCliSession::StepUntil(const std::function<bool(const TSessionMessage&)>& seen, uint32_t ms) {
    const uint32_t start = Clock().TickCount();
    // The messages of the step that ended the connection count too.
    for (bool running = Running;; running = Step()) {
        while (!Tap.Posted.empty()) {
            const TSessionMessage message = Tap.Posted.front();
            Tap.Posted.pop_front();
            if (seen(message))
                return true;
        }
        if (!running || InterruptSeen || TicksSince(start, Clock().TickCount()) >= ms)
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

bool TCliSession::Interrupted() const {
    return InterruptSeen != 0;
}

std::string TCliSession::EndConnection() {
    // Only a connection still running is stopped as the user would stop it. One that has ended (a lost
    // link, a failed start) keeps its own stop text, and its port is closed already: no stop request, no
    // ATPC to a dead adapter.
    if (!Running)
        return {};
    // The worker refuses a stop while its link looks dead (no answer within the lost-link time, e.g.
    // after the command was busy between steps) and then polls on as soon as the unit answers again:
    // the stop is asked again every cycle until it is taken. A connection that still does not end
    // within StopWaitMs is cut off as the program's end would cut it (port closed, log written).
    const uint32_t start = Clock().TickCount();
    for (bool accepted = Reader.RequestStop(); Step(); accepted = accepted || Reader.RequestStop()) {
        if (TicksSince(start, Clock().TickCount()) >= StopWaitMs) {
            Reader.Terminate();
            Running = false;
            return "the connection did not stop within " + std::to_string(StopWaitMs) +
                   " ms; its port was closed";
        }
    }
    return {};
}

std::string TCliSession::LogFailure() const {
    if (!Reader.LogWriteFailed())
        return {};
    return "the exchange log " + Reader.LogPath() + " could not be written completely";
}

std::string TCliSession::LineNoiseText() const {
    return Reader.LineNoise().DroppedPairs == 0 ? std::string() : Reader.LineDisturbedText();
}

int TCliSession::Finish(bool expectEnd) {
    // A connection that ended by itself did not do what the command asked to its end.
    if (!Running && !expectEnd)
        return Fail("the connection ended");
    if (const std::string failure = EndConnection(); !failure.empty()) {
        std::cerr << "velmora-cli " << Command << ": " << failure << "\n";
        return ExitFailed;
    }
    // The result holds only sound readings; what the line did is said beside it.
    if (const std::string noise = LineNoiseText(); !noise.empty())
        std::cerr << "velmora-cli " << Command << ": " << noise << "\n";
    if (const std::string failure = LogFailure(); !failure.empty()) {
        std::cerr << "velmora-cli " << Command << ": " << failure << "\n";
        return ExitFailed;
    }
    return ExitOk;
}

int TCliSession::Fail(std::string_view why) {
    // A connection the command ends here stops as the user would stop it: its stop text ("Обмен
    // остановлен.") would read as the cause, while the cause is `why`.
    const bool endedByItself = !Running;
    const std::string stopFailure = EndConnection();
    // On a noisy line the line is the cause, not the unit: it is named on a line of its own first.
    if (const std::string noise = LineNoiseText();
        !noise.empty() && !Interrupted() && why.find(noise) == std::string_view::npos)
        std::cerr << "velmora-cli " << Command << ": " << noise << "\n";
    std::cerr << "velmora-cli " << Command << ": " << (Interrupted() ? std::string_view("interrupted") : why);
    // The start's own verdict (the port, the adapter, the unit), when that is where the connection failed;
    // the stop text only when it adds to it.
    const std::string failure = Reader.FailureText();
    const std::string stop = Reader.StopText();
    if (!failure.empty())
        std::cerr << ": " << failure;
    if (endedByItself && !stop.empty() && (failure.empty() || stop.find(failure) == std::string::npos))
        std::cerr << " (" << stop << ")";
    if (Tap.Troubles > 0)
        std::cerr << "; the line is bad: " << Tap.Troubles << " lost or wrong answers in the log";
    std::cerr << "\n";
    if (!stopFailure.empty())
        std::cerr << "velmora-cli " << Command << ": " << stopFailure << "\n";
    if (const std::string logFailure = LogFailure(); !logFailure.empty())
        std::cerr << "velmora-cli " << Command << ": " << logFailure << "\n";
    return ExitFailed;
}

} // namespace velmora
