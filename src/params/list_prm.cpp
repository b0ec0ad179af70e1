#include "params/list_prm.h"

#include <array>
#include <span>

#include "params/poll_controls.h"
#include "platform/clock.h"

namespace velmora {

namespace {

// The records a view shows: the three parts of a combined view, else its one parameter.
std::span<TECUparam* const> RecordsOf(const TBaseParam& view, std::array<TECUparam*, 1>& single) {
    if (auto* combined = dynamic_cast<const TVisualParamEx*>(&view))
        return combined->Parts;
    single[0] = &view.Param;
    return single;
}

} // namespace

TListPrm::TListPrm() : CycleStartTick(Clock().TickCount()) {}

TBaseParam& TListPrm::Add(std::unique_ptr<TBaseParam> view) {
    std::lock_guard guard(Lock);
    Items.push_back(std::move(view));
    return *Items.back();
}

size_t TListPrm::Count() const {
    size_t count = 0;
    ForEachView([&](const TBaseParam&) { ++count; });
    return count;
}

void TListPrm::UpdateParam(int) {}

void TListPrm::RefreshStale() {}

void TListPrm::ResetDisplay() {
    FirstCycle = true;
}

void TListPrm::Restart() {
    std::lock_guard guard(Lock);
    CursorIndex = RestartCursor;
    CycleStartTick = Clock().TickCount();
}

TECUparam* TListPrm::NextToPoll() {
    std::lock_guard guard(Lock);
    // One pass and one view more: a combined view whose parts ran out in this pass starts again.
    size_t visits = 0;
    while (!Items.empty() && visits <= Items.size()) {
        if (CursorIndex >= Items.size()) {
            CursorIndex = 0;
            CycleStartTick = Clock().TickCount();
        }
        TBaseParam& view = *Items[CursorIndex];
        if (view.Marked) {
            // Deferred removal: the view goes without moving the cursor.
            Items.erase(Items.begin() + std::ptrdiff_t(CursorIndex));
            continue;
        }
        ++CursorIndex;
        ++visits;
        if (TECUparam* param = Visit(view))
            return param;
    }
    return nullptr;
}

TECUparam* TListPrm::Visit(TBaseParam& view) {
    auto* screenView = dynamic_cast<TVisualParam*>(&view);
    bool skip = screenView && !screenView->PollEveryCycle && !FirstCycle && !view.Param.IsPollDue();
    if (FirstCycle && CursorIndex >= Items.size())
        FirstCycle = false;
    if (skip)
        return nullptr;
    if (auto* combined = dynamic_cast<TVisualParamEx*>(&view)) {
        TECUparam* part = combined->NextPart();
        if (part)
            --CursorIndex; // the next call returns to this view for its next part
        return part;
    }
    return &view.Param;
}

bool TListPrm::IsPollEveryCycle(int number) const {
    std::lock_guard guard(Lock);
    if (auto* view = dynamic_cast<TVisualParam*>(FindByNumberLocked(number)))
        return view->PollEveryCycle;
    for (const auto& item : Items) {
        auto* combined = dynamic_cast<const TVisualParamEx*>(item.get());
        if (!combined || combined->Marked)
            continue;
        for (const TECUparam* part : combined->Parts)
            if (part->Number == number)
                return !combined->PollEveryCycle;
    }
    return false;
}

TBaseParam* TListPrm::FindByNumber(int number) const {
    std::lock_guard guard(Lock);
    return FindByNumberLocked(number);
}

TBaseParam* TListPrm::FindByNumberLocked(int number) const {
    for (const auto& view : Items)
        if (!view->Marked && view->ParamNo == number)
            return view.get();
    return nullptr;
}

TECUparam* TListPrm::FindById(uint8_t id) const {
    // Identifier 0 is what every record without identifiers carries: it names nothing.
    if (id == 0)
        return nullptr;
    return FindRecord([](const TECUparam& record, int key) { return record.HasId(uint8_t(key)); }, id);
}

TECUparam* TListPrm::FindRecord(bool (*matches)(const TECUparam&, int), int key) const {
    TECUparam* found = nullptr;
    std::array<TECUparam*, 1> single;
    ForEachView([&](const TBaseParam& view) {
        for (TECUparam* record : RecordsOf(view, single))
            if (!found && matches(*record, key))
                found = record;
    });
    return found;
}

bool TListPrm::RemoveByNumber(int number) {
    std::lock_guard guard(Lock);
    for (size_t i = Items.size(); i-- > 0;) {
        if (Items[i]->Marked || Items[i]->ParamNo != number)
            continue;
        Items.erase(Items.begin() + std::ptrdiff_t(i));
        if (CursorIndex != RestartCursor && i < CursorIndex)
            --CursorIndex; // keep the cursor on the view it was going to visit
        return true;
    }
    return false;
}

void TListPrm::ClearAll() {
    std::lock_guard guard(Lock);
    Items.clear();
}

void TListPrm::PausePolling(int seconds) {
    int32_t interval = PauseInterval(seconds);
    std::array<TECUparam*, 1> single;
    ForEachView([&](const TBaseParam& view) {
        for (TECUparam* record : RecordsOf(view, single))
            record->PollInterval = interval;
    });
}

bool TListPrm::SetPollByNumber(int number, int32_t interval, int64_t lastTick) {
    TECUparam* param = FindRecord([](const TECUparam& record, int n) { return record.Number == n; }, number);
    if (param)
        SetPoll(*param, interval, lastTick);
    return param != nullptr;
}

bool TListPrm::SetPollById(uint8_t id, int32_t interval, int64_t lastTick) {
    TECUparam* param = FindById(id);
    if (param)
        SetPoll(*param, interval, lastTick);
    return param != nullptr;
}

void TListPrm::ResetPolls() {
    std::array<TECUparam*, 1> single;
    ForEachView([&](const TBaseParam& view) {
        for (TECUparam* record : RecordsOf(view, single))
            ClearPoll(*record);
    });
}

size_t TListPrm::Cursor() const {
    std::lock_guard guard(Lock);
    return CursorIndex;
}

} // namespace velmora
