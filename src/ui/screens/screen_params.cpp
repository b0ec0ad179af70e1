#include "ui/screens/screen_params.h"

#include <vector>

#include "params/param_list.h"

namespace velmora {

namespace {

constexpr int32_t PollLevelUnitMs = 1024;
constexpr int32_t PausedBelow = -1000;

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
    std::vector<std::pair<const TVisualParam*, bool>> changes;
    ForEachView([&](TBaseParam& view) {
        auto* visual = dynamic_cast<TVisualParam*>(&view);
        if (!visual)
            return;
        int32_t interval = view.Param.PollInterval.load();
        bool stale = view.Param.PollLevel.load() < interval / PollLevelUnitMs || interval < PausedBelow;
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
    for (TVisualParam* view : views)
        view->ClearView();
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
