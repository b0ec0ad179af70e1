// What happened in one connection, told to an observer (the car's history): the unit identified, each
// complete read of the fault memory, an erase, an actuator command, adaptation or coding, and the end.
// The worker calls these on its own thread, in that order; the observer keeps its own lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine_link/ecu_ident.h"
#include "faults/fault_context.h"
#include "faults/fault_memory.h"

namespace velmora {

class TSessionEvents {
public:
    virtual ~TSessionEvents() = default;
    // The unit woke and was identified; `client` is the chosen client (empty for none), `logPath` the
    // connection's exchange log.
    virtual void SessionStarted(const TEcuIdent& ident, std::string_view client, std::string_view port,
                                std::string_view logPath) = 0;
    // A complete read of the fault memory. `beforeErase` marks the read an erase makes of what it erases.
    virtual void FaultsRead(const TFaultBuf& buffer, const TFaultContext& context, bool beforeErase) = 0;
    // The erase commands were sent (what remains comes with the next read).
    virtual void FaultsErased() = 0;
    // A service function ran: "actuator", "adaptation", "coding", with what it did.
    virtual void FunctionRun(std::string_view kind, std::string_view detail, bool ok) = 0;
    // The connection ended and its exchange log was written.
    virtual void SessionEnded(std::string_view stopText) = 0;
};

} // namespace velmora
