// The start of a connection once the unit is identified: the exchange log gets the unit's name and is
// written out, the unit is kept awake meanwhile, and the family's identification report is printed.
// Worker thread (the thread that owns the link).
#pragma once

namespace velmora {

class TEngineLink;
class TExchangeLog;

enum class TStartResult {
    Ready,        // HFM, PMS or LH: polling may begin
    Unrecognised, // no family: diagnosis impossible, the connection stops
    EzRead,       // EZ: the identification was all there is to read, the connection stops
};

// Runs the start-up up to the report. Posts WM_USER+14 with 8; the stop results also post it with -8
// and log their "STOP!!!" line, while for Ready the caller posts -8 when its own start-up is done.
TStartResult StartIdentified(TEngineLink& link, TExchangeLog& log);

} // namespace velmora
