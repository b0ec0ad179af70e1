#include "ui/screens/screen_params.h"

#include <algorithm>
#include <vector>

#include "params/param_list.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int64_t PollLevelUnitMs = 1024;
constexpr uint8_t RarelyLevel = 255; // the poll level of values read only once in a while
// Beyond the period a value is due in, a polling cycle of the screen and a lost answer or two, ms.
constexpr int64_t StaleGraceMs = 3000;

// The period in which the view's value is read again when polling goes as planned, ms: every cycle in the
// main zone, every PollLevel × 1024 ms in the top and left zones, or the interval a function set.
int64_t ExpectedPeriodMs(const TVisualParam& view) {
    const TECUparam& param = view.Param;
    int64_t period = view.PollEveryCycle.load() ? 0 : int64_t(param.PollLevel.load()) * PollLevelUnitMs;
    return std::max<int64_t>(period, param.PollInterval.load());
}

// A view whose records are all read rarely (poll level 255) and were read in this connection.
bool ReadOnce(const TVisualParam& view) {
    auto once = [](const TECUparam& param) {
        return param.PollLevel.load() == RarelyLevel && param.LastTick.load() != 0;
    };
    if (auto* combined = dynamic_cast<const TVisualParamEx*>(&view))
        return std::all_of(combined->Parts.begin(), combined->Parts.end(),
                           [&](const TECUparam* part) { return once(*part); });
    return once(view.Param);
}

} // namespace

TScreenParams::TScreenParams(std::shared_ptr<const TListParams> params, QWidget* page)
    : Page(page), Set(std::move(params)) {}

void TScreenParams::UpdateParam(int number) {
    // Only the window thread marks views, so a view found here stays until this call returns.
    if (auto* view = dynamic_cast<TVisualParam*>(FindByNumber(number))) {
        view->UpdateView();
        return;
    }
    TVisualParamEx* owner = nullptr;
    ForEachView([&](TBaseParam& view) {
        auto* combined = dynamic_cast<TVisualParamEx*>(&view);
        if (!owner && combined && combined->Parts[2]->Number == number)
            owner = combined;
    });
    if (owner)
        owner->UpdateView();
}

void TScreenParams::RefreshStale() {
    const uint32_t now = Clock().TickCount();
    std::vector<std::pair<const TVisualParam*, bool>> changes;
    ForEachView([&](TBaseParam& view) {
        auto* visual = dynamic_cast<TVisualParam*>(&view);
        if (!visual)
            return;
        // Grey means the value is old: not refreshed within the period it is read in. A pause of the
        // records (an engine mode) does not make a value read every cycle old.
        uint32_t lastTick = view.Param.LastTick.load();
        bool stale =
            lastTick != 0 && int64_t(TicksSince(lastTick, now)) > ExpectedPeriodMs(*visual) + StaleGraceMs;
        bool& shown = Stale[&view];
        if (stale != shown) {
            shown = stale;
            changes.emplace_back(visual, stale);
        }
    });
    // Outside the list's lock: the callback repaints.
    if (OnStaleChange)
        for (auto [view, stale] : changes)
            OnStaleChange(*view, stale);
}

void TScreenParams::ResetDisplay() {
    TListPrm::ResetDisplay();
    std::vector<TVisualParam*> views;
    ForEachView([&](TBaseParam& view) {
        if (auto* visual = dynamic_cast<TVisualParam*>(&view))
            views.push_back(visual);
    });
    for (TVisualParam* view : views) {
        view->ClearView();
        // Values the unit never changes during a connection (code and coding numbers, identifiers) are
        // read once and then only every few minutes: they keep what was read instead of standing blank.
        if (ReadOnce(*view))
            view->UpdateView();
    }
}

void TScreenParams::Restart() {
    TListPrm::Restart();
    Reserved = 0;
}

TVisualParam* TScreenParams::View(size_t index) const {
    TVisualParam* found = nullptr;
    size_t at = 0;
    ForEachView([&](TBaseParam& view) {
        if (at++ == index)
            found = dynamic_cast<TVisualParam*>(&view);
    });
    return found;
}

bool TScreenParams::Shows(int number) const {
    bool shown = false;
    ForEachView([&](TBaseParam& view) {
        if (auto* combined = dynamic_cast<TVisualParamEx*>(&view)) {
            for (const TECUparam* part : combined->Parts)
                shown = shown || part->Number == number;
        } else {
            shown = shown || view.Param.Number == number;
        }
    });
    return shown;
}

bool TScreenParams::IsStale(const TBaseParam& view) const {
    auto found = Stale.find(&view);
    return found != Stale.end() && found->second;
}

} // namespace velmora
