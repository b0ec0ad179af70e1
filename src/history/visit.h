// One visit of a car as the history keeps it: when, the client, the car (its VIN, or the unit's
// identification when it has none), the unit, the faults read with what the erase did to them, the
// service functions run and the files the visit made. Plain data; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine_link/ecu_ident.h"

namespace velmora {

struct TVisitFault {
    int Code = 0; // the maker's code, or the bit number when Unknown
    bool Stored = false;
    bool Current = false;
    bool Unknown = false;
    // An erase of this visit removed it (it was not read again afterwards).
    bool Erased = false;
    // It was still there when the memory was read after an erase.
    bool Remained = false;
};

struct TVisitEvent {
    std::string When;   // "yyyy-mm-dd hh:mm:ss", local time
    std::string Kind;   // "erase", "actuator", "adaptation", "coding"
    std::string Detail; // what was done ("7E 1", "reset", "12 34 56", "remaining 1")
    bool Ok = true;
};

struct TVisitFile {
    std::string Kind; // "exchange_log", "report", "fault_report", "recording", "log"
    std::string Path;
};

struct TVisit {
    int64_t Id = 0;     // given by the store
    std::string When;   // start, "yyyy-mm-dd hh:mm:ss", local time
    std::string Client; // empty for none
    std::string Car;    // the VIN, or the unit's identification when it has none: what visits match on
    std::string Vin;    // empty when the unit gave none
    std::string Ident;  // the identification characters (part number)
    std::string Unit;   // "HFM Bosch 52"
    std::string Port;
    std::vector<TVisitFault> Faults;
    std::vector<TVisitEvent> Events;
    std::vector<TVisitFile> Files;
};

// An earlier visit on which a fault was seen, and whether it was erased then.
struct TSeenBefore {
    std::string Date;
    bool Erased = false;   // the erase of that visit removed it
    bool Remained = false; // it was erased then but was still there afterwards
};

// The VIN's characters up to the first zero byte (non-printable ones as '?'); empty when none was read.
std::string VinText(const TEcuIdent& ident);
// The VIN, or "ID " + the identification characters and the diagnosis index when there is no VIN.
std::string CarKey(const TEcuIdent& ident);
// "HFM Bosch 52": family, supplier and diagnosis index.
std::string UnitText(const TEcuIdent& ident);
// The local time now as "yyyy-mm-dd hh:mm:ss".
std::string HistoryTimeNow();

// The earlier visits (`earlier`, any order) of the same car on which `code` was read, oldest first.
std::vector<TSeenBefore> SeenBefore(const std::vector<TVisit>& earlier, int code);
// Whether one of those visits erased it: the fault is back.
bool IsRecurring(const std::vector<TSeenBefore>& seen);

} // namespace velmora
