// velmora-cli faults, erase and report: the fault memory through the worker's fault view and erase
// states, listed as the fault tab lists it.
#include <iostream>

#include "commands.h"
#include "faults/fault_display.h"
#include "faults/fault_report.h"
#include "faults/fault_texts.h"
#include "json_output.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "report_pdf.h"
#include "session.h"

namespace velmora {

namespace {

// Longest wait for one complete fault read or an erase (ms).
constexpr uint32_t FaultReadTimeoutMs = 30000;
constexpr uint32_t EraseTimeoutMs = 60000;

struct TFaultOptions {
    bool StoredOnly = false;
    bool Json = false;
    // report: the customer report as PDF (--pdf [FILE], --mileage, --notes, --seconds).
    bool Pdf = false;
    TPdfReportOptions PdfOptions;
};

int UsageError(std::string_view command, std::string_view problem) {
    std::cerr << "velmora-cli " << command << ": " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [--lang ru|en|de] [--port PORT] [--adapter K|C|E] "
                 "[--elm-as-kkl] [--wifi HOST:PORT] [--client NAME] "
              << command
              << (command == "erase" ? " [--json]"
                  : command == "report"
                      ? " [--stored-only] [--pdf [FILE] [--mileage KM] [--notes TEXT] [--seconds S]] [--json]"
                      : " [--stored-only] [--json]")
              << "\n";
    return ExitUsage;
}

// The command's own options; an error text for anything else.
std::string ParseFaultOptions(std::string_view command, const std::vector<std::string_view>& args,
                              TFaultOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--stored-only") {
            options.StoredOnly = true;
        } else if (command != "report") {
            return "cannot use " + std::string(arg);
        } else if (arg == "--pdf") {
            options.Pdf = true;
            if (hasValue && !args[i + 1].starts_with("--"))
                options.PdfOptions.File = args[++i];
        } else if ((arg == "--mileage" || arg == "--notes") && hasValue) {
            (arg == "--mileage" ? options.PdfOptions.Mileage : options.PdfOptions.Notes) = args[++i];
        } else if (arg == "--seconds" && hasValue) {
            const std::optional<int> seconds = ParseNumber(args[++i], 600);
            if (!seconds)
                return "--seconds wants 0 to 600";
            options.PdfOptions.Seconds = *seconds;
        } else {
            return "cannot use " + std::string(arg);
        }
    }
    if (!options.Pdf && (!options.PdfOptions.Mileage.empty() || !options.PdfOptions.Notes.empty()))
        return "--mileage and --notes belong to --pdf";
    return {};
}

// A fault read is over: it agreed (the list is shown), or its reads never agreed (no list).
bool FaultReadOver(const TCliSession& session, const TSessionMessage& m) {
    return m.Msg == WM_USER + 10 && (m.WParam == 0 || !session.Reader.FaultReadDisturbed().empty());
}

// Reads the fault memory through the fault view; false when no read that agreed with another came.
bool ReadFaults(TCliSession& session) {
    if (!session.Reader.RequestFaultView())
        return false;
    return session.StepUntil([&](const TSessionMessage& m) { return FaultReadOver(session, m); },
                             FaultReadTimeoutMs) &&
           session.Reader.FaultReadDisturbed().empty();
}

TFaultTexts Texts(const TComReader& reader) {
    const char language = Language();
    return LoadFaultTexts(reader.FaultContext().UnitType, language == 'R', language);
}

void PrintFaultLines(const TComReader& reader, bool storedOnly) {
    for (const std::string& line :
         FaultDisplayLines(reader.FaultBuffer(), reader.FaultContext(), Texts(reader), storedOnly))
        std::cout << line << "\n";
}

TJson FaultListJson(const TCliSession& session, const TConnectSettings& settings, bool storedOnly) {
    const TComReader& reader = session.Reader;
    const std::vector<TFault> faults =
        CollectFaults(reader.FaultBuffer(), reader.FaultContext(), MaxDisplayedFaults);
    return FaultsJson(reader.Ident(), settings.PortName, settings.Adapter, faults, Texts(reader), storedOnly,
                      session.History.get());
}

// Faults and report: connect, read the memory, then `use` the reader.
int RunWithFaults(
    std::string_view command, std::span<char* const> args,
    const std::function<int(TCliSession&, const TConnectSettings&, const TFaultOptions&)>& use) {
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    TFaultOptions options;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError(command, problem);
    options.Json = TakeJsonOption(rest);
    if (std::string problem = ParseFaultOptions(command, rest, options); !problem.empty())
        return UsageError(command, problem);
    TCliSession session(command);
    if (!session.Connect(settings)) {
        // An EZ ignition unit ends the connection after its identification, which logged its fault
        // counts: it has no fault memory of codes to list.
        if (session.Reader.Ident().UnitType == UnitEz)
            return session.Fail(
                "the EZ ignition unit reports only its fault counts (logged above), no fault codes");
        return session.Fail("no connection to the engine unit");
    }
    if (!ReadFaults(session)) {
        const std::string disturbed = session.Reader.FaultReadDisturbed();
        return session.Fail(disturbed.empty() ? "the fault memory could not be read" : disturbed);
    }
    return use(session, settings, options);
}

} // namespace

int RunFaults(std::span<char* const> args) {
    return RunWithFaults(
        "faults", args,
        [](TCliSession& session, const TConnectSettings& settings, const TFaultOptions& options) {
            if (options.Json)
                PrintJsonDocument(std::cout, FaultListJson(session, settings, options.StoredOnly));
            else
                PrintFaultLines(session.Reader, options.StoredOnly);
            return session.Finish();
        });
}

int RunReport(std::span<char* const> args) {
    return RunWithFaults(
        "report", args,
        [](TCliSession& session, const TConnectSettings& settings, const TFaultOptions& options) {
            const bool storedOnly = options.StoredOnly;
            const TComReader& reader = session.Reader;
            if (options.Pdf) {
                if (!PdfReportAvailable())
                    return session.Fail("PDF reports are not available in this build (built without Qt)");
                const std::shared_ptr<TPdfReport> report =
                    CollectCustomerReport(session, settings, options.PdfOptions);
                TJson document = UnitJson(reader.Ident(), settings.PortName, settings.Adapter);
                // The connection ends first: the visit is written, and the link needs no keeping awake
                // while the document is laid out.
                const int ended = session.Finish();
                std::string error;
                const std::string pdf =
                    WriteCustomerPdf(*report, settings, options.PdfOptions, session.History.get(), error);
                if (pdf.empty()) {
                    std::cerr << "velmora-cli report: the customer report could not be written: " << error
                              << "\n";
                    return ExitFailed;
                }
                if (!options.Json) {
                    std::cout << pdf << "\n";
                    return ended;
                }
                document["stored_only"] = storedOnly;
                document["report"] = pdf;
                PrintJsonDocument(std::cout, document);
                return ended;
            }
            const TFaultReportHead head{LocalTimeNow(), settings.Client, reader.Ident()};
            const std::vector<std::string> lines =
                FaultReport(reader.FaultBuffer(), reader.FaultContext(), Texts(reader), storedOnly, head);
            const std::optional<std::filesystem::path> file = SaveFaultReport(lines, head.Client, head.When);
            if (!file)
                return session.Fail("the report could not be written");
            if (!options.Json) {
                std::cout << file->string() << "\n";
                return session.Finish();
            }
            TJson document = UnitJson(reader.Ident(), settings.PortName, settings.Adapter);
            document["stored_only"] = storedOnly;
            document["report"] = file->string();
            PrintJsonDocument(std::cout, document);
            return session.Finish();
        });
}

int RunErase(std::span<char* const> args) {
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError("erase", problem);
    const bool json = TakeJsonOption(rest);
    if (!rest.empty())
        return UsageError("erase", "cannot use " + std::string(rest.front()));
    TCliSession session("erase");
    if (!session.Connect(settings))
        return session.Fail("no connection to the engine unit");
    // A unit without the erase command would only show its faults again.
    const TEcuIdent ident = session.Reader.Ident();
    if (!CanEraseFaults(ident.UnitType, ident.DiagIndex))
        return session.Fail(Translate(CannotEraseText));
    if (!session.Reader.RequestErase())
        return session.Fail("the erase could not be started");
    // HFM and PMS units show what remains; an LH unit ends the connection and wants an ignition cycle.
    bool lhDone = false;
    const bool shown = session.StepUntil(
        [&](const TSessionMessage& m) {
            lhDone = lhDone || (m.Msg == WM_USER + 17 && m.WParam == 1);
            return FaultReadOver(session, m);
        },
        EraseTimeoutMs);
    if (const std::string disturbed = session.Reader.FaultReadDisturbed(); !disturbed.empty())
        return session.Fail(disturbed);
    if (!shown && !lhDone)
        return session.Fail("the erase did not finish");
    if (json) {
        TJson document = shown ? FaultListJson(session, settings, false)
                               : UnitJson(ident, settings.PortName, settings.Adapter);
        if (!shown) {
            document["stored_only"] = false;
            document["texts_notice"] = nullptr;
            document["faults"] = nullptr;
        }
        document["ignition_cycle"] = !shown;
        PrintJsonDocument(std::cout, document);
    } else if (shown) {
        PrintFaultLines(session.Reader, false);
    } else {
        std::cout << Translate("Необходимо выключить зажигание и выждать >10 секунд!") << "\n"
                  << Translate("После включить зажигание и нажать кнопку [Connect]!") << "\n";
    }
    return session.Finish(lhDone); // an LH unit's erase ends the connection
}

} // namespace velmora
