// TListPrm: an ordered list of parameter views (the base of screens and graphs) with the polling
// cursor through which the worker asks what to read next. Threads: the window adds, marks and updates
// views; the worker calls Restart, NextToPoll and the polling controls. One lock guards the views, so
// a view is never freed while the other thread walks the list; marked views are freed by the worker
// when its cursor reaches them (a display of a view must therefore tolerate being destroyed there).
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "params/visual_param.h"

namespace velmora {

class TListPrm {
public:
    // Cursor after Restart: past any end, so that the next NextToPoll starts a cycle at 0.
    static constexpr size_t RestartCursor = std::numeric_limits<size_t>::max();

    TListPrm();
    virtual ~TListPrm() = default;
    TListPrm(const TListPrm&) = delete;
    TListPrm& operator=(const TListPrm&) = delete;

    // Appends a view; the list owns it. Window thread.
    TBaseParam& Add(std::unique_ptr<TBaseParam> view);
    // Views not marked for removal.
    size_t Count() const;
    bool HasItems() const { return Count() > 0; }

    // The worker's notice that parameter `number` has a new value (nothing in the base).
    virtual void UpdateParam(int number);
    // Recolours views whose parameter is polled slowly (nothing in the base).
    virtual void RefreshStale();
    // Starts a first cycle: every view is polled regardless of its schedule until the cursor has passed
    // the end once.
    virtual void ResetDisplay();
    // Cursor = RestartCursor, CycleStartTick = now. The worker calls it when it takes the list over.
    virtual void Restart();
    // The next parameter to read, or nullptr when the list is empty or nothing in one pass is due.
    // Screen views (TVisualParam) outside the main zone are read only when due (IsPollDue) or in a
    // first cycle; graph views are read every time. Worker thread.
    virtual TECUparam* NextToPoll();
    // PollEveryCycle of the screen view with this number; for a part of a combined view the negation
    // of that view's flag; false when not found (a graph has no such views).
    virtual bool IsPollEveryCycle(int number) const;

    // The first unmarked view with this number, or nullptr.
    TBaseParam* FindByNumber(int number) const;
    // The first record shown by an unmarked view that carries `id` (TECUparam::HasId), or nullptr.
    TECUparam* FindById(uint8_t id) const;
    // Frees and removes the last view with this number; false when there is none.
    bool RemoveByNumber(int number);
    // Frees every view.
    void ClearAll();

    // Polling controls over the records the views show (poll_controls.h).
    void PausePolling(int seconds);
    bool SetPollByNumber(int number, int32_t interval, int64_t lastTick);
    bool SetPollById(uint8_t id, int32_t interval, int64_t lastTick);
    void ResetPolls();

    size_t Cursor() const;
    // Runs `visit` on every view shown (window thread: a snapshot of the values, the customer report).
    template <class F> void VisitViews(F&& visit) const { ForEachView(std::forward<F>(visit)); }
    std::atomic<bool> FirstCycle{true};
    std::atomic<uint32_t> CycleStartTick{0};

protected:
    // Runs `visit` on every unmarked view, under the list's lock; `visit` must not call back into the
    // list.
    template <class F> void ForEachView(F&& visit) const {
        std::lock_guard guard(Lock);
        for (const auto& view : Items)
            if (!view->Marked)
                visit(*view);
    }

private:
    // A view that should be read now: its record, or nullptr to skip it. Lock held.
    TECUparam* Visit(TBaseParam& view);
    TBaseParam* FindByNumberLocked(int number) const;
    // The first record shown by an unmarked view (the parts of a combined view included) that
    // matches `key`.
    TECUparam* FindRecord(bool (*matches)(const TECUparam&, int), int key) const;

    mutable std::mutex Lock;
    std::vector<std::unique_ptr<TBaseParam>> Items;
    size_t CursorIndex = RestartCursor;
};

} // namespace velmora
