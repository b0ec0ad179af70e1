// velmora-cli history: the visits the history holds, of one car (--vin, which also takes the
// identification key of a car without VIN) or one client, as text or JSON; --rebuild makes the history
// anew from the exchange logs.
#include <iostream>

#include "commands.h"
#include "history/history_rebuild.h"
#include "history/history_store.h"
#include "history/visit_json.h"
#include "json_output.h"
#include "platform/program_folders.h"

namespace velmora {

namespace {

constexpr std::string_view Usage = "history [--vin VIN | --client NAME] [--json] | history --rebuild";

int HistoryUsage(std::string_view problem) {
    std::cerr << "velmora-cli history: " << problem << "\nusage: velmora-cli [--home DIR] " << Usage << "\n";
    return ExitUsage;
}

void PrintVisit(const TVisit& visit) {
    std::cout << visit.When << "  " << visit.Car << "  " << visit.Unit;
    if (!visit.Client.empty())
        std::cout << "  " << visit.Client;
    std::cout << "\n";
    for (const TVisitFault& fault : visit.Faults) {
        std::cout << "  fault " << (fault.Unknown ? "?" : "") << fault.Code << (fault.Stored ? " stored" : "")
                  << (fault.Current ? " current" : "") << (fault.Erased ? " erased" : "")
                  << (fault.Remained ? " remained" : "") << "\n";
    }
    for (const TVisitEvent& event : visit.Events)
        std::cout << "  " << event.Kind << " " << event.Detail << (event.Ok ? "" : " (failed)") << "\n";
    for (const TVisitFile& file : visit.Files)
        std::cout << "  " << file.Kind << " " << file.Path << "\n";
}

} // namespace

int RunHistory(std::span<char* const> args) {
    THistoryQuery query;
    bool json = false;
    bool rebuild = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json")
            json = true;
        else if (arg == "--rebuild")
            rebuild = true;
        else if (arg == "--vin" && hasValue)
            query.Car = args[++i];
        else if (arg == "--client" && hasValue)
            query.Client = args[++i];
        else
            return HistoryUsage("cannot use " + std::string(arg));
    }
    if (rebuild && (json || !query.Car.empty() || !query.Client.empty()))
        return HistoryUsage("--rebuild takes no other option");

    std::string problem;
    const std::unique_ptr<THistoryStore> store = MakeHistoryStore(ReadHistorySettings(), problem);
    if (!store) {
        std::cerr << "velmora-cli history: "
                  << (problem.empty() ? "the history is switched off (HISTORY_BACKEND=OFF)" : problem)
                  << "\n";
        return ExitFailed;
    }
    std::string error;
    if (!store->Open(error)) {
        std::cerr << "velmora-cli history: " << store->Where() << ": " << error << "\n";
        return ExitFailed;
    }
    if (rebuild) {
        const TRebuildResult result = RebuildHistory(*store, ProgramFolder() / "LOGS", error);
        if (result.Failed) {
            std::cerr << "velmora-cli history: " << store->Where() << ": " << error << "\n";
            return ExitFailed;
        }
        std::cout << result.Visits << " visits from " << result.Logs << " exchange logs (" << result.Skipped
                  << " without an identified unit)\n";
        return ExitOk;
    }
    const std::vector<TVisit> visits = store->Visits(query, error);
    if (!error.empty()) {
        std::cerr << "velmora-cli history: " << store->Where() << ": " << error << "\n";
        return ExitFailed;
    }
    if (json) {
        TJson document;
        document["vin"] = query.Car.empty() ? TJson(nullptr) : TJson(query.Car);
        document["client"] = query.Client.empty() ? TJson(nullptr) : TJson(query.Client);
        TJson list = TJson::array();
        for (const TVisit& visit : visits)
            list.push_back(VisitToJson(visit));
        document["visits"] = std::move(list);
        PrintJsonDocument(std::cout, document);
        return ExitOk;
    }
    if (visits.empty())
        std::cout << "no visits recorded\n";
    for (const TVisit& visit : visits)
        PrintVisit(visit);
    return ExitOk;
}

} // namespace velmora
