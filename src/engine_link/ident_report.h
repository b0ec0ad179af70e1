// The identification report printed into the log memo after a connection is made: the HFM/PMS table
// of seven lines, the LH report and the EZ report, as lines of text. Pure functions of the record;
// any thread.
#pragma once

#include <string>
#include <vector>

#include "engine_link/ecu_ident.h"

namespace velmora {

// Line n (0-6) of the HFM/PMS report. Line 0 begins with "System: HFM\r\n" or "System: PMS\r\n"; line 6
// (the VIN) is empty when the unit has none to show.
std::string IdentLine(const TEcuIdent& ident, int n);

// The report of the unit's family, one log line per element (line 0's two parts are two lines);
// nothing for an unidentified unit. Without `codingPending` the HFM/PMS report includes the VIN.
std::vector<std::string> PrintInfo(const TEcuIdent& ident, bool codingPending);

// The unit in one line for the headings of results: family, supplier and its number ("HFM Bosch,
// Ident 12 34567 890"; "LH Bosch, MB 012 545 32 32"); empty for an unidentified unit.
std::string UnitSummary(const TEcuIdent& ident);
// The car of a result: the client's name and the VIN where the unit gave one; either may be missing.
std::string CarSummary(const std::string& client, const TEcuIdent& ident);

} // namespace velmora
