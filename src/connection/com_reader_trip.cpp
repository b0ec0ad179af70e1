// TComReader, state 10 and the value handler's trip accounting: while the trip computer's tab is shown
// the worker reads the three values the trip is computed from in turn (injection time, engine speed,
// road speed) and then gives one cycle to the normal polling, so the fault re-read and the other values
// go on. Every value it reads, in any state, goes to the trip computer. Worker thread.
#include <iterator>

#include "connection/com_reader.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "platform/host.h"

namespace velmora {

namespace {

// The injection time first, so that the engine-speed interval after it is priced with a fresh value.
constexpr uint8_t MeasureOrder[] = {ParamId::InjectionTime, ParamId::EngineSpeed, ParamId::RoadSpeed};

} // namespace

void TComReader::ResetTrip() {
    const TEcuIdent& ident = Link.Ident;
    Trip.TripReset(Set.get(), InjectionsPerRev(ident.UnitType, ident.IdentBuf[4], ident.IdentBuf[5]));
    MeasureTurn = 0;
}

void TComReader::TripValue(const TECUparam& param) {
    const uint32_t changes = Trip.TripStep(&param);
    if (changes != 0 && CurrentState == ReaderState::Measure)
        Post(21, intptr_t(changes));
}

bool TComReader::MeasureStep() {
    if (!Trip.Ready() || !Set || FaultReadDue())
        return false;
    if (MeasureTurn >= std::size(MeasureOrder)) {
        MeasureTurn = 0;
        return false;
    }
    TECUparam* param = Set->FindById(MeasureOrder[MeasureTurn++]);
    if (!param)
        return false; // a unit without road speed: the polling step reads something else
    if (Link.ReadParameter(*param))
        ValueHandler(*param);
    return true;
}

} // namespace velmora
