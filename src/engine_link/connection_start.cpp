#include "engine_link/connection_start.h"

#include <string>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "engine_link/ident_report.h"
#include "lang/dictionary.h"
#include "params/unit_codes.h"
#include "platform/host.h"

namespace velmora {

namespace {

// WM_USER+14 carries these when the start-up begins and ends.
constexpr intptr_t StartUpBegins = 8;
constexpr intptr_t StartUpEnds = -8;
// Pauses around the first write of the named log, with the unit kept awake (ms).
constexpr uint32_t StartPauseMs = 300;

TStartResult Stop(TStartResult result, const char* text) {
    AddLog(Translate(text));
    Host().PostMessage(WM_USER + 14, StartUpEnds, 0);
    return result;
}

} // namespace

TStartResult StartIdentified(TEngineLink& link, TExchangeLog& log) {
    SetProgressMark(MarkConnectionStart);
    Host().PostMessage(WM_USER + 14, StartUpBegins, 0);
    const TEcuIdent& ident = link.Ident;
    log.NewLogName(ident.UnitType, ident.Supplier, ident.DiagIndex);
    link.PauseAlive(StartPauseMs);
    log.FlushLog();
    link.PauseAlive(StartPauseMs);
    if (ident.UnitType == UnitUnknown)
        return Stop(TStartResult::Unrecognised, "STOP!!! Блок не опознан как HFM, диагностика невозможна!");
    for (const std::string& line : PrintInfo(ident, link.CodingPending))
        AddLog(line);
    if (ident.UnitType == UnitEz)
        // A plain line: the identification is all an EZ unit gives, and nothing went wrong.
        return Stop(
            TStartResult::EzRead,
            "Блок зажигания EZ прочитан: данные выше. Других функций у этого блока нет, связь завершена.");
    return TStartResult::Ready;
}

} // namespace velmora
