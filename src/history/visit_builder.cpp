#include "history/visit_builder.h"

#include <ranges>

namespace velmora {

void TVisitBuilder::Start(const TEcuIdent& ident, std::string_view client, std::string_view port,
                          std::string when) {
    Current = TVisit{};
    EraseSent = false;
    Current.When = std::move(when);
    Current.Client = std::string(client);
    Current.Vin = VinText(ident);
    Current.Car = CarKey(ident);
    Current.Ident = ident.IdentText;
    while (!Current.Ident.empty() && Current.Ident.back() == ' ')
        Current.Ident.pop_back();
    Current.Unit = UnitText(ident);
    Current.Port = std::string(port);
}

void TVisitBuilder::FaultsRead(const std::vector<TFault>& faults, bool beforeErase) {
    for (const TFault& fault : faults) {
        auto known = std::ranges::find_if(Current.Faults, [&](const TVisitFault& f) {
            return f.Code == fault.Code && f.Unknown == fault.Unknown;
        });
        if (known == Current.Faults.end()) {
            Current.Faults.push_back({fault.Code, fault.Stored, fault.Current, fault.Unknown, false, false});
            continue;
        }
        known->Stored = known->Stored || fault.Stored;
        known->Current = known->Current || fault.Current;
        if (known->Erased && !beforeErase) {
            known->Erased = false;
            known->Remained = true;
        }
    }
    if (EraseSent && !beforeErase) {
        EraseSent = false;
        for (TVisitEvent& event : Current.Events | std::views::reverse) {
            if (event.Kind == "erase") {
                event.Detail = "remaining " + std::to_string(faults.size());
                break;
            }
        }
    }
}

void TVisitBuilder::Erased(std::string when) {
    for (TVisitFault& fault : Current.Faults)
        fault.Erased = true;
    EraseSent = true;
    Current.Events.push_back({std::move(when), "erase", "sent", true});
}

void TVisitBuilder::FunctionRun(std::string_view kind, std::string_view detail, bool ok, std::string when) {
    Current.Events.push_back({std::move(when), std::string(kind), std::string(detail), ok});
}

void TVisitBuilder::AddFile(std::string_view kind, std::string_view path) {
    Current.Files.push_back({std::string(kind), std::string(path)});
}

} // namespace velmora
