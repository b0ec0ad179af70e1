// The fault report: date and time, then per fault a rule of 61 underscores, its code and state and the
// full description block from the fault text file; and its file ERR<yyyymmdd><A..Z>.txt in LOGS (the
// client's sub-folder when a client is chosen). Window thread (any thread may call it).
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "faults/fault_list.h"
#include "faults/fault_texts.h"

namespace velmora {

// Faults written into a report at most.
constexpr size_t MaxReportedFaults = 60;
// Title of the window that shows the report (translated by the window).
constexpr const char* FaultReportTitle = "Отчет по ошибкам системы";

// The report's lines for the first 60 faults, dated `when` (local time, "dd.mm.yyyy hh:mm:ss"). A fault
// that is current is reported "АКТУАЛЬНЫЙ", otherwise "Сохраненный"; with `storedOnly` only stored
// faults are reported, as the list shows them.
std::vector<std::string> FaultReport(const TFaultBuf& buffer, const TFaultContext& context,
                                     const TFaultTexts& texts, bool storedOnly, const std::tm& when);

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
