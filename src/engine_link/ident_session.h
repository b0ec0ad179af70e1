// One identification of the engine unit from start to end, as the command-line tool runs it: open the
// port, wake and identify the unit, name the exchange log and print the report; then, whatever
// happened, free the port and write out the exchange log. The thread that owns the link.
#pragma once

#include <string>

#include "engine_link/connection_start.h"

namespace velmora {

class TEngineLink;
class TExchangeLog;

struct TIdentOptions {
    std::string PortName;  // any name the port factory takes
    char Adapter = 'K';    // 'K' (or the settings' 'S') KKL cable, 'C' CarSoft 7.4, 'E' ELM327
    bool ElmAsKkl = false; // an ELM327 that reads parameters pair by pair, not through its tables
};

struct TIdentOutcome {
    bool Identified = false; // the unit woke and was identified as HFM, PMS, LH or EZ
    std::string Reason;      // why not, as the log shows it
};

TIdentOutcome RunIdentSession(TEngineLink& link, TExchangeLog& log, const TIdentOptions& options);

} // namespace velmora
