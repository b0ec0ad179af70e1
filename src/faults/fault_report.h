// The fault report: date and time, the client, the unit's identification, then per fault a rule of 61
// underscores, its code and state and the full description block from the fault text file; and its file
// ERR<yyyymmdd><A..Z>.txt in LOGS (the client's sub-folder when a client is chosen). Window thread (any
// thread may call it).
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine_link/ecu_ident.h"
#include "faults/fault_list.h"
#include "faults/fault_texts.h"

namespace velmora {

// Faults written into a report at most.
constexpr size_t MaxReportedFaults = 60;
// Title of the window that shows the report (translated by the window).
constexpr const char* FaultReportTitle = "Отчет по ошибкам системы";

// What heads a report above its faults.
struct TFaultReportHead {
    std::tm When{};     // local time, written "dd.mm.yyyy hh:mm:ss"
    std::string Client; // empty when no client is chosen
    TEcuIdent Ident;    // the unit's identification; none is written for an unidentified unit
};

// The report's lines: the date and time, "Клиент: " and the client's name when one is chosen, the unit's
// identification as the connection logged it (family, supplier, part number, dates, diagnosis index, the
// VIN where it was read), the line saying that the codes come without texts when their file could not
// be read, an empty line, then the first 60 faults. A fault that is current is reported "АКТУАЛЬНЫЙ",
// otherwise "Сохраненный"; with `storedOnly` only stored faults are reported, as the list shows them.
std::vector<std::string> FaultReport(const TFaultBuf& buffer, const TFaultContext& context,
                                     const TFaultTexts& texts, bool storedOnly, const TFaultReportHead& head);

// "ERR" + yyyymmdd + `letter` + ".txt"
std::string FaultReportFileName(const std::tm& day, char letter);

// Writes the report as UTF-8 text with LF line ends (what text editors on Linux open as they are) into
// LOGS[/<client>]/, under the first name of the day with a letter 'A'...'Z' that does not exist yet.
// When all 26 exist the report is appended to the 'Z' file, so no earlier report is lost. Returns the
// file written, or nullopt with a log line when it could not be written.
std::optional<std::filesystem::path> SaveFaultReport(const std::vector<std::string>& lines,
                                                     std::string_view client, const std::tm& when);

// The local time now, for dating a report.
std::tm LocalTimeNow();

} // namespace velmora
