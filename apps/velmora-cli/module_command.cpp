// velmora-cli module: the E-GAS or SRS dialogue on the chosen port, as the window's module panels run
// it: wake-up, identification, fault list with texts, erase on request, the protocol log in LOGS.
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "json_output.h"
#include "lang/dictionary.h"
#include "line_command.h"
#include "links/line_lease.h"
#include "links/port_factory.h"
#include "modules/module_dialogue.h"
#include "session.h"

namespace velmora {

namespace {

int UsageError(std::string_view problem) {
    std::cerr << "velmora-cli module: " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [OPTIONS] module egas|srs|egs [--erase] [--lang ru|en|de] "
                 "[--json]\n";
    return ExitUsage;
}

int Failed(std::string_view text) {
    std::cerr << "velmora-cli module: " << text << "\n";
    return ExitFailed;
}

struct TLanguageRow {
    std::string_view Name;
    char Letter;
};
constexpr TLanguageRow Languages[] = {{"ru", 'R'}, {"en", 'E'}, {"de", 'D'}};

struct TModuleRow {
    std::string_view Name;
    uint8_t Address;
};
constexpr TModuleRow Modules[] = {{"egas", EGasAddress}, {"srs", SrsAddress}, {"egs", EgsAddress}};

} // namespace

int RunModule(std::span<char* const> args) {
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError(problem);
    const bool json = TakeJsonOption(rest);
    const TModuleRow* module = nullptr;
    bool erase = false;
    char language = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--erase") {
            erase = true;
        } else if (rest[i] == "--lang") {
            const std::string_view name = i + 1 < rest.size() ? rest[++i] : "";
            for (const TLanguageRow& row : Languages)
                language = row.Name == name ? row.Letter : language;
            if (language == 0)
                return UsageError("--lang needs ru, en or de");
        } else if (!module) {
            for (const TModuleRow& row : Modules)
                module = row.Name == rest[i] ? &row : module;
            if (!module)
                return UsageError("no module \"" + std::string(rest[i]) + "\" (egas, srs or egs)");
        } else {
            return UsageError("cannot use " + std::string(rest[i]));
        }
    }
    if (!module)
        return UsageError("which module: egas, srs or egs");
    if (language != 0)
        SetLanguage(language);
    if (module->Address == EgsAddress)
        return Failed(Translate(EgsInDevelopmentText));
    if (const std::vector<std::string> refusal = AdapterRefusal(settings.Adapter, module->Address);
        !refusal.empty()) {
        std::string text;
        for (const std::string& line : refusal)
            text += (text.empty() ? "" : " ") + Translate(line);
        return Failed(text);
    }
    const TLineLease line =
        TLineLease::Take(module->Address == SrsAddress ? SrsDialogueJob : EGasDialogueJob);
    if (!line)
        return Failed(LineBusyText());
    if (!CreatePort(9600, settings.PortName) || !Port() || !Port()->IsOpen())
        return Failed(OpenFailureText(settings.PortName)); // with the cause: no permission, held by another
    std::optional<TJsonLogHost> jsonLog;
    if (json)
        jsonLog.emplace();

    // Ctrl+C, SIGTERM and SIGHUP end the dialogue after its current wait; it still saves its protocol log.
    TInterruptStop stop;
    TModuleDialogue dialogue(*Port(), settings.Adapter, settings.PortName);
    dialogue.Client = settings.Client;
    dialogue.Abort = &stop.Flag();
    // However the dialogue ends (a port that fails under it included) it has saved its log and says why.
    const bool done = module->Address == SrsAddress ? dialogue.DiagnoseSRS(erase)
                                                    : dialogue.DiagnoseEGas(module->Address, erase);
    try {
        FreePort();
    } catch (const std::exception& error) {
        std::cerr << "velmora-cli module: " << error.what() << "\n"; // a vanished port may fail its close
    }
    jsonLog.reset();
    if (!dialogue.ProtocolLogPath().empty() && !json)
        std::cout << "Protocol log: " << dialogue.ProtocolLogPath() << "\n";
    if (!done) {
        std::string why = Translate(dialogue.FailureText());
        if (const std::string reason = stop.Reason(); !reason.empty())
            why += " (" + reason + ")";
        if (!dialogue.ProtocolLogPath().empty() && json)
            why += "; protocol log: " + dialogue.ProtocolLogPath();
        return Failed(why);
    }
    // The dialogue said it could not write the protocol log: the session's own record is lost.
    if (dialogue.ProtocolLogPath().empty())
        return Failed("the protocol log could not be written");
    if (json) {
        PrintJsonDocument(std::cout, ModuleJson(dialogue, settings.PortName, settings.Adapter, module->Name,
                                                module->Address, erase));
    }
    return ExitOk;
}

} // namespace velmora
