#include "engine_link/ident_session.h"

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "engine_link/link_shared.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

// What a connection that ends on an exception logs: the idle time, then where and why it failed.
std::string StopOnError(const TEngineLink& link, const std::string& reason) {
    const uint32_t idleMs = TicksSince(link.LastRxTick, Clock().TickCount());
    return TranslateFormat("Связь прервана!!! Время простоя %d мс", int(idleMs)) + ", StopOnError: " + reason;
}

} // namespace

TIdentOutcome RunIdentSession(TEngineLink& link, TExchangeLog& log, const TIdentOptions& options) {
    TIdentOutcome outcome;
    // As the connect command does: the log starts as "tmp001.bin" until the unit is named.
    log.ClearLogName();
    log.EnableLog();
    link.Reset();
    link.PortName = options.PortName;
    link.UseElm = options.Adapter == 'E';
    link.UseElmTables = link.UseElm && !options.ElmAsKkl;
    try {
        if (!link.OpenLinkPort() || !link.WakeUp()) {
            outcome.Reason = link.FailureText;
        } else {
            switch (StartIdentified(link, log)) {
            case TStartResult::Unrecognised:
                outcome.Reason = Translate("STOP!!! Блок не опознан как HFM, диагностика невозможна!");
                break;
            case TStartResult::Ready:
            case TStartResult::EzRead:
                outcome.Identified = true;
                break;
            }
        }
    } catch (const std::exception& error) {
        outcome.Reason = FailureReason(error);
        AddLog(StopOnError(link, outcome.Reason));
    }
    try {
        link.CloseLinkPort();
    } catch (const std::exception& error) {
        AddLog(error.what()); // a port that vanished may fail its close; the object is gone all the same
    }
    Host().PostMessage(WM_USER + 17, 0x80, 0);
    log.FlushLog();
    return outcome;
}

} // namespace velmora
