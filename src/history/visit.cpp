#include "history/visit.h"

#include <algorithm>
#include <ctime>

#include "faults/fault_report.h"
#include "lang/translated_format.h"
#include "params/unit_codes.h"

namespace velmora {

std::string VinText(const TEcuIdent& ident) {
    std::string vin;
    for (uint8_t byte : ident.VinBuf) {
        if (byte == 0)
            break;
        vin += byte >= 0x20 && byte < 0x7F ? char(byte) : '?';
    }
    // A unit without the number answers blanks.
    while (!vin.empty() && vin.back() == ' ')
        vin.pop_back();
    return vin;
}

std::string CarKey(const TEcuIdent& ident) {
    const std::string vin = VinText(ident);
    if (!vin.empty())
        return vin;
    std::string ident10 = ident.IdentText;
    while (!ident10.empty() && ident10.back() == ' ')
        ident10.pop_back();
    return FormatText("ID %s/%d", ident10.c_str(), int(ident.DiagIndex));
}

std::string UnitText(const TEcuIdent& ident) {
    static constexpr const char* Families[] = {"?", "HFM", "PMS", "LH", "EZ"};
    static constexpr const char* Suppliers[] = {"?", "Bosch", "VDO", "Siemens"};
    const char* family = ident.UnitType < std::size(Families) ? Families[ident.UnitType] : "?";
    const char* supplier = ident.Supplier < std::size(Suppliers) ? Suppliers[ident.Supplier] : "?";
    return FormatText("%s %s %d", family, supplier, int(ident.DiagIndex));
}

std::string HistoryTimeNow() {
    const std::tm local = LocalTimeNow();
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::vector<TSeenBefore> SeenBefore(const std::vector<TVisit>& earlier, int code) {
    std::vector<const TVisit*> sorted;
    for (const TVisit& visit : earlier)
        sorted.push_back(&visit);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TVisit* a, const TVisit* b) { return a->When < b->When; });
    std::vector<TSeenBefore> seen;
    for (const TVisit* visit : sorted) {
        for (const TVisitFault& fault : visit->Faults) {
            if (fault.Code == code && !fault.Unknown) {
                seen.push_back({visit->When, fault.Erased, fault.Remained});
                break;
            }
        }
    }
    return seen;
}

bool IsRecurring(const std::vector<TSeenBefore>& seen) {
    return std::any_of(seen.begin(), seen.end(), [](const TSeenBefore& s) { return s.Erased; });
}

} // namespace velmora
