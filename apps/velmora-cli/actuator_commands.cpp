// velmora-cli act, adapt and code: the actuator test mode with one command, the adaptation functions and
// the coding run, each requested through the worker's actuator fields as the window's menus request
// them, and run by the worker at connection start.
#include <iostream>

#include "actuators/actuator_tests.h"
#include "actuators/adaptation.h"
#include "actuators/coding.h"
#include "commands.h"
#include "json_output.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "session.h"

namespace velmora {

namespace {

// Longest wait for the queued actuator command to go out (ms).
constexpr uint32_t ActTimeoutMs = 5000;

int UsageError(std::string_view command, std::string_view usage, std::string_view problem) {
    std::cerr << "velmora-cli " << command << ": " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [--lang ru|en|de] [--port PORT] [--adapter K|C|E] "
                 "[--elm-as-kkl] [--wifi HOST:PORT] "
              << usage << "\n";
    return ExitUsage;
}

// The adaptation functions by name, with the log line that says the unit did it.
struct TAdaptRow {
    std::string_view Name;
    uint8_t Mode;
    const char* DoneText;
    const char* Then; // what the user does next, or nullptr
};
constexpr TAdaptRow AdaptRows[] = {
    {"reset", AdaptResetPhase1, "Сброс адаптации: ВЫПОЛНЕНО 50%!",
     "phase 1 done: switch the ignition off for more than 10 s, on again, then run \"adapt reset2\""},
    {"reset2", AdaptResetPhase2, "Сброс адаптации: ВЫПОЛНЕНО!", nullptr},
    {"throttle", AdaptThrottleBosch, "Адаптация дросселя ЭБУ Bosch: ВЫПОЛНЕНО!", nullptr},
};

// Where a HFM unit keeps its coding: the three coding parameters of the built-in set.
uint32_t HfmCodingLoc() {
    TListParams set;
    set.LoadBuiltinSet(UnitHfm, 0);
    const char* names[] = {"CODING UNIT NUMBER, HIGH", "CODING UNIT NUMBER, MID", "CODING UNIT NUMBER, LOW"};
    const TECUparam* found[3] = {};
    for (const auto& param : set)
        for (int i = 0; i < 3; ++i)
            if (param->Name == names[i])
                found[i] = param.get();
    return found[0] && found[1] && found[2] ? CodingLocOf(*found[0], *found[1], *found[2]) : 0;
}

} // namespace

int RunAct(std::span<char* const> args) {
    constexpr std::string_view usage = "act CMD VALUE [--json]";
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError("act", usage, problem);
    const bool json = TakeJsonOption(rest);
    const std::optional<int> cmd = rest.size() == 2 ? ParseNumber(rest[0], 255) : std::nullopt;
    const std::optional<int> value = rest.size() == 2 ? ParseNumber(rest[1], 255) : std::nullopt;
    if (!cmd || !value)
        return UsageError("act", usage,
                          "wants the channel's command byte and its value (0-255 or 0x00-0xFF)");
    // Any other command byte would do something else entirely (0xF3 erases the fault memory).
    if (!IsActuatorChannel(uint8_t(*cmd)))
        return UsageError("act", usage, "the command byte of an actuator channel is 0xD0-0xDC");
    settings.ActivationOn = true;
    TCliSession session("act");
    if (!session.Connect(settings))
        return session.Fail("no connection to the engine unit");
    // A unit that refuses the test mode (or has none) clears the request with its reason in the log.
    if (!session.Reader.Actuators.ActivationOn)
        return session.Fail("the unit did not enter the actuator test mode");
    QueueAct(session.Reader.Actuators, uint8_t(*cmd), uint8_t(*value));
    const intptr_t word = *cmd * 256 + *value;
    std::vector<std::string> words; // every command word the unit was sent meanwhile
    const bool sent = session.StepUntil(
        [&](const TSessionMessage& m) {
            if (m.Msg == WM_USER + 13) {
                words.push_back(FormatText("%.4X", unsigned(m.WParam)));
                if (!json)
                    std::cout << words.back() << "\n";
            }
            return m.Msg == WM_USER + 13 && m.WParam == word;
        },
        ActTimeoutMs);
    if (!sent)
        return session.Fail("the command was not sent");
    if (json) {
        TJson document = PortJson(settings.PortName, settings.Adapter);
        document["command"] = *cmd;
        document["value"] = *value;
        document["sent"] = words;
        PrintJsonDocument(std::cout, document);
    }
    return session.Finish();
}

int RunAdapt(std::span<char* const> args) {
    constexpr std::string_view usage = "adapt reset|reset2|throttle [--json]";
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError("adapt", usage, problem);
    const bool json = TakeJsonOption(rest);
    const TAdaptRow* row = nullptr;
    for (const TAdaptRow& known : AdaptRows)
        row = rest.size() == 1 && known.Name == rest[0] ? &known : row;
    if (!row)
        return UsageError("adapt", usage, "which function?");
    TCliSession session("adapt");
    session.Reader.Actuators.AdaptMode = row->Mode;
    // The function runs in the start-up and ends the connection.
    session.Connect(settings);
    if (session.Logged(BoschThrottleOnlyText))
        return session.Fail(Translate(BoschThrottleOnlyText));
    if (!session.Logged(row->DoneText))
        return session.Fail("the function was not carried out");
    if (json) {
        TJson document = PortJson(settings.PortName, settings.Adapter);
        document["function"] = row->Name;
        document["then"] = row->Then ? TJson(row->Then) : TJson(nullptr);
        PrintJsonDocument(std::cout, document);
    } else if (row->Then) {
        std::cout << row->Then << "\n";
    }
    return session.Finish(true);
}

int RunCode(std::span<char* const> args) {
    constexpr std::string_view usage = "code HHH MMM LLL [--json]";
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError("code", usage, problem);
    const bool json = TakeJsonOption(rest);
    std::string text;
    for (std::string_view part : rest)
        text += std::string(text.empty() ? "" : " ") + std::string(part);
    const std::optional<uint32_t> parsed = rest.size() == 3 ? ParseCodingText(text) : std::nullopt;
    if (!parsed)
        return UsageError("code", usage, "wants three numbers 0-255, not all 0");
    const uint32_t coding = *parsed;
    const uint32_t location = HfmCodingLoc();
    if (location == 0) {
        std::cerr << "velmora-cli code: the parameter set names no coding parameters\n";
        return ExitFailed;
    }
    TCliSession session("code");
    session.Reader.Actuators.CodingLoc = location;
    session.Reader.Actuators.CodingPending = coding;
    // The coding run happens in the start-up and ends the connection.
    session.Connect(settings);
    if (!session.Logged("CODING COMPLEAT!"))
        return session.Fail("the coding was not written");
    if (json) {
        TJson document = PortJson(settings.PortName, settings.Adapter);
        document["coding"] = {(coding >> 16) & 0xFF, (coding >> 8) & 0xFF, coding & 0xFF};
        PrintJsonDocument(std::cout, document);
    }
    return session.Finish(true);
}

} // namespace velmora
