// What the customer report holds, gathered from the connection: the workshop, the date, the client and
// the car (VIN and identification from the unit, mileage and notes from the mechanic), the faults with
// their state, text and earlier visits, what the erase of this visit removed and what remained, and a
// snapshot of values. Plain data, no Qt; the window thread or the tool's thread builds it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine_link/ecu_ident.h"
#include "faults/fault_list.h"
#include "faults/fault_texts.h"
#include "history/visit.h"

namespace velmora {

class TECUparam;

struct TWorkshop {
    std::string Name;
    std::string Address;
    std::string Phone;
};

// Settings keys of the workshop, section OPTIONS.
inline constexpr const char* WorkshopNameKey = "WORKSHOP_NAME";
inline constexpr const char* WorkshopAddressKey = "WORKSHOP_ADDRESS";
inline constexpr const char* WorkshopPhoneKey = "WORKSHOP_PHONE";

// Read from / written to the settings file beside the program. Write: false when it cannot be written.
TWorkshop ReadWorkshop();
bool SaveWorkshop(const TWorkshop& workshop);

struct TReportFault {
    std::string Code;  // "007", or "? 12" for a bit without code
    std::string State; // "Сохраненный" / "АКТУАЛЬНЫЙ" (translated), both joined when both
    std::string Text;
    // The earlier visits that read it, as one line ("" for none), and whether it recurs.
    std::string SeenBefore;
    bool Recurring = false;
};

struct TReportValue {
    std::string Name;
    std::string Value; // as the screen shows it
    std::string Unit;
    bool Marked = false; // outside its colour rule's normal range
};

struct TCustomerReportData {
    TWorkshop Workshop;
    std::string When; // "dd.mm.yyyy hh:mm"
    std::string Client;
    std::string Vin;
    std::vector<std::string> Identification; // the unit's identification report lines
    std::string Mileage;
    std::string Notes;
    std::vector<TReportFault> Faults; // found in this visit
    bool EraseDone = false;
    std::vector<TReportFault> Erased;    // removed by this visit's erase
    std::vector<TReportFault> Remaining; // still there after it
    std::vector<TReportValue> Values;
    std::string ValuesTitle; // the screen they come from
};

// What the faults of the unit give for the report. `visit` (this visit as the history recorded it, may
// be absent) tells what was found and erased; without it the faults of `buffer` are those found.
// `seenBefore(code)` gives the car's earlier visits that read a code.
struct TReportFaultSource {
    const TFaultBuf& Buffer;
    const TFaultContext& Context;
    const TFaultTexts& Texts;
    const std::optional<TVisit>& Visit;
    std::function<std::vector<TSeenBefore>(int)> SeenBefore;
};
void FillReportFaults(TCustomerReportData& data, const TReportFaultSource& source);

// One value of a record read: its display text, unit and whether its colour rule marks it.
TReportValue ReportValue(const TECUparam& param, bool marked);
// Whether a background colour of a value field marks a value outside the normal range.
bool IsWarningColour(uint32_t colour);

// "dd.mm.yyyy hh:mm" of the local time now.
std::string ReportTimeNow();

} // namespace velmora
