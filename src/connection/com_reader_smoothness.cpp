// TComReader, state 9: the smoothness test's measurement over the connection's set, with its results
// posted as WM_USER+19; a missing prerequisite sends the worker back to normal polling. Also the period
// parameters the test reads, added to the HFM/PMS set at the start of a connection. Worker thread.
#include "connection/com_reader.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/host.h"
#include "smoothness/smooth_cylinders.h"
#include "smoothness/smooth_display.h"

namespace velmora {

void TComReader::AddPeriodParams(TListParams& set) {
    // The built-in HFM/PMS set does not describe the cylinder periods; a unit that keeps them keeps
    // them in its parameter channel at 90-95. Six cylinders where the identification names a 2.8 or
    // 3.2 litre engine (the trip computer's three openings per revolution), else four. The test does
    // not run through an ELM327, so its parameters are not added there.
    const TEcuIdent& ident = Link.Ident;
    if (Link.UseElm || (ident.UnitType != UnitHfm && ident.UnitType != UnitPms))
        return;
    AppendPeriodParams(set,
                       InjectionsPerRev(ident.UnitType, ident.IdentBuf[4], ident.IdentBuf[5]) == 3 ? 6 : 4);
}

bool TComReader::SmoothnessStep() {
    if (PrevState != ReaderState::Smoothness)
        Smoothness.Restart(); // every request starts with the prerequisite check
    const TSmoothLink link{[this](TECUparam& param) { Link.ReadParameter(param); },
                           [](int slot, int16_t deviation, uint16_t rpm) {
                               Host().PostMessage(WM_USER + 19, intptr_t(PackSmoothResult(deviation, rpm)),
                                                  slot);
                           }};
    switch (Smoothness.Step(Set.get(), link)) {
    case TSmoothStep::Busy:
        return true;
    case TSmoothStep::Idle:
        return false;
    case TSmoothStep::Failed:
        break;
    }
    // Only this state goes back: a request the window wrote meanwhile wins.
    uint8_t requested = ReaderState::Smoothness;
    NextState.compare_exchange_strong(requested, ReaderState::Polling);
    return false;
}

} // namespace velmora
