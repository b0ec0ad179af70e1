// The history window's reading of the stored visits: the cars and clients to choose from, a chosen
// car's or client's visits newest first, and each visit's lines (faults with their texts and the mark of
// a fault that is back after an erase, erases, functions, files and whether they still exist). Plain
// data, no Qt; window thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "history/visit.h"

namespace velmora {

// What the window lists visits by.
enum class THistoryKey { Car, Client };

// The cars (or clients) of `visits` that `search` finds (case-insensitive, in the key, the VIN, the
// identification or the client), each once, the most recently seen first.
std::vector<std::string> HistoryKeys(const std::vector<TVisit>& visits, THistoryKey by,
                                     const std::string& search);

// The visits of one car or client, newest first (indexes into `visits`, which is oldest first).
std::vector<size_t> VisitsOf(const std::vector<TVisit>& visits, THistoryKey by, const std::string& key);

// The mileage typed for the visit's report ("" when none was).
std::string VisitMileage(const TVisit& visit);

enum class TVisitLineKind { Fault, Erase, Function, File };

struct TVisitLine {
    TVisitLineKind Kind = TVisitLineKind::Fault;
    std::string Text; // translated
    bool Recurring = false;
    bool Failed = false;  // an erase or function that did not succeed
    std::string Path;     // files
    std::string FileKind; // "report", "exchange_log", ...
    bool Missing = false; // the file no longer exists
};

// The fault text of `code` for a unit ("HFM Bosch 52"); "" when there is none.
using TFaultTextLookup = std::function<std::string(const std::string& unit, int code)>;

// The lines of `visits[index]`; a fault is recurring when an earlier visit of the same car erased it.
std::vector<TVisitLine> VisitLines(const std::vector<TVisit>& visits, size_t index,
                                   const TFaultTextLookup& text);

// The unit family code (1 HFM ... 4 EZ) of a unit text such as "HFM Bosch 52"; 0 when unknown.
uint8_t UnitTypeOfText(const std::string& unit);

} // namespace velmora
