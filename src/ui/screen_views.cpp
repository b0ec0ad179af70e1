#include "ui/screen_views.h"

namespace velmora {

namespace {

constexpr int32_t PollLevelUnitMs = 1024;
constexpr int32_t PausedBelow = -1000;

TVisualParamEx* Combined(TVisualParam& view) {
    return dynamic_cast<TVisualParamEx*>(&view);
}

} // namespace

void TScreenViews::UpdateParam(int number) {
    for (auto& view : Views) {
        if (view->ParamNo == number) {
            view->UpdateView();
            return;
        }
    }
    for (auto& view : Views) {
        if (TVisualParamEx* ex = Combined(*view); ex && ex->Parts[2]->Number == number) {
            ex->UpdateView();
            return;
        }
    }
}

void TScreenViews::RefreshStale() {
    Stale.resize(Views.size(), false);
    for (size_t i = 0; i < Views.size(); ++i) {
        const TECUparam& param = Views[i]->Param;
        int32_t interval = param.PollInterval.load();
        bool stale = param.PollLevel.load() < interval / PollLevelUnitMs || interval < PausedBelow;
        if (stale == Stale[i])
            continue;
        Stale[i] = stale;
        if (OnStaleChange)
            OnStaleChange(i, stale);
    }
}

void TScreenViews::ResetDisplay() {
    for (auto& view : Views)
        view->ClearView();
}

bool TScreenViews::IsPollEveryCycle(int number) const {
    for (const auto& view : Views) {
        if (view->ParamNo == number)
            return view->PollEveryCycle;
    }
    for (const auto& view : Views) {
        if (TVisualParamEx* ex = Combined(*view)) {
            for (TECUparam* part : ex->Parts) {
                if (part->Number == number)
                    return !ex->PollEveryCycle;
            }
        }
    }
    return false;
}

} // namespace velmora
