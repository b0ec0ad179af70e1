// TComReader: normal polling (stalest first), view polling of a handed-over screen or graph, the value
// handler, the background timers and their deferral, and the range read. Worker thread.
//
// The 15000-ms background timer: while a view list holds the line, one parameter of the connection's own
// set is read stalest-first each time it falls due, so that the values the engine-mode observer watches
// do not go stale behind a graph. A graph defers it (and the fault re-read) for 300 × 1024 ms.
#include <algorithm>
#include <optional>
#include <vector>

#include "connection/com_reader.h"
#include "engine_link/agreed_read.h"
#include "params/engine_mode.h"
#include "params/list_prm.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int MaxDeferSeconds = 600;
constexpr uint32_t DeferUnitMs = 1024;
constexpr int GraphDeferSeconds = 300;

// The states a range read returns to; from any other (an erase, the start) it goes on with polling.
bool ReturnsAfterRange(uint8_t state) {
    return state == ReaderState::Polling || state == ReaderState::FaultView ||
           state == ReaderState::ViewPolling || state == ReaderState::Smoothness ||
           state == ReaderState::Measure;
}

bool PollsParameters(uint8_t unitType) {
    return unitType == UnitHfm || unitType == UnitPms || unitType == UnitLh;
}

} // namespace

void TComReader::ReadPriorityParam() {
    const uint16_t index = PriorityParam.exchange(NoPriority);
    if (index == NoPriority || !Set || index >= Set->Count())
        return;
    TECUparam& param = (*Set)[index];
    if (Link.ReadParameter(param))
        ValueHandler(param);
}

void TComReader::PollingStep() {
    ReadPriorityParam();
    if (FaultReadDue()) {
        ReadFaultByte();
        return;
    }
    if (!PollsParameters(Link.Ident.UnitType) || !PollOneParameter())
        Link.KeepAlive(false, true);
}

bool TComReader::PollOneParameter() {
    if (!Set || Set->Count() == 0) {
        // Nothing to poll yet: build the family's list and start over; the next step reads.
        LoadParams();
        ReloadParamList();
        return false;
    }
    TECUparam* param = Cursor.NextStalest(*Set);
    if (!param)
        return false;
    // A read that brought no value still used the line: the step is done, the old value is not handled
    // again as if it were new.
    if (Link.ReadParameter(*param))
        ValueHandler(*param);
    return true;
}

void TComReader::ValueHandler(TECUparam& param) {
    if (ModeObserver)
        ModeObserver->OnValue(param);
    TripValue(param);
    if (ValueHook)
        ValueHook(param);
}

bool TComReader::BackgroundReadDue() {
    const uint32_t now = Clock().TickCount();
    if (ShortTick != 0 && int32_t(now - ShortTick) <= int32_t(ShortPeriodMs))
        return false;
    ShortTick = TimerStart(now);
    return true;
}

void TComReader::ViewPollingStep() {
    bool taken = false;
    {
        std::lock_guard lock(ViewLock);
        if (ViewHandedOver) {
            CurrentView = std::move(PendingView);
            CurrentKind = PendingKind;
            ViewHandedOver = false;
            taken = true;
        }
    }
    if (taken && CurrentView) {
        CurrentView->Restart();
        ApplyDeferral(CurrentKind == TViewKind::Screen ? -1 : GraphDeferSeconds, false);
    }
    if (!CurrentView || !CurrentView->HasItems() || !Set || Set->Count() == 0) {
        PollingStep();
        return;
    }
    if (FaultReadDue()) {
        ReadFaultByte();
        return;
    }
    if (BackgroundReadDue() && PollOneParameter())
        return;
    TECUparam* param = CurrentKind == TViewKind::Graph ? CurrentView->NextToPoll()
                                                       : Cursor.NextForScreen(*Set, *CurrentView);
    if (!param) {
        Link.KeepAlive(false, true);
        return;
    }
    // Only a value that came is posted: the record's old bytes after a read without an answer would be
    // shown as a reading of now.
    if (!Link.ReadParameter(*param))
        return;
    Post(8, param->Number);
    if (CurrentKind == TViewKind::Screen)
        ValueHandler(*param);
}

void TComReader::ApplyDeferral(int seconds, bool keepShortTimer) {
    const uint32_t now = Clock().TickCount();
    if (seconds < 0) {
        ShortTick = 0;
        if (FaultTick > 1 && int32_t(FaultTick - now) > 0)
            FaultTick = TimerStart(now);
        return;
    }
    const uint32_t until = now + uint32_t(std::min(seconds, MaxDeferSeconds)) * DeferUnitMs;
    // A timer is moved so that it falls due at `until` when it would fall due earlier.
    auto defer = [&](uint32_t& start, uint32_t period) {
        const uint32_t due = start <= 1 ? now : start + period;
        if (int32_t(until - due) > 0)
            start = TimerStart(until - period);
    };
    if (FaultTick != 0)
        defer(FaultTick, FaultPeriodMs);
    if (!keepShortTimer)
        defer(ShortTick, ShortPeriodMs);
}

void TComReader::RangeStep() {
    // Two reads in a row take the second from the range state itself: keep returning to where the first
    // was asked from.
    if (PrevState != ReaderState::RangeRead)
        RangeReturnState = ReturnsAfterRange(PrevState) ? PrevState : ReaderState::Polling;
    if (RangeDone == 255) {
        SetOwnNextState(ReaderState::RangeRead, RangeReturnState);
        return;
    }
    RangeBuf.fill(0);
    const uint8_t cmd = RangeCmd, from = RangeFrom, to = RangeTo;
    // Read until two reads agree, so that a stray byte on the line never stands in the result.
    std::vector<std::vector<uint8_t>> reads;
    std::optional<std::vector<uint8_t>> agreed;
    while (!agreed && reads.size() < size_t(AgreedReadAttempts)) {
        std::vector<uint8_t> read;
        for (unsigned address = from; address <= to; ++address) {
            // A stop or another request ends the read at once.
            if (NextState != ReaderState::RangeRead)
                return;
            read.push_back(Link.Request(cmd, uint8_t(address)));
            ++RangeProgress;
        }
        reads.push_back(std::move(read));
        agreed = AgreedRead(reads);
    }
    std::string disagreement;
    if (agreed) {
        std::copy(agreed->begin(), agreed->end(), RangeBuf.begin() + from);
    } else {
        std::vector<size_t> addresses;
        for (unsigned address = from; address <= to; ++address)
            addresses.push_back(address);
        disagreement = DisagreedReadsText("чтения диапазона памяти", "адреса", reads, addresses);
        AddLog(disagreement);
    }
    {
        std::lock_guard lock(SharedLock);
        RangeDisagreement = disagreement;
    }
    // The state goes back before the result is published: the window may ask for the next read as soon
    // as it sees this one done.
    SetOwnNextState(ReaderState::RangeRead, RangeReturnState);
    RangeDone = 255;
}

} // namespace velmora
