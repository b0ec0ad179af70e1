// The views of one parameter screen, without widgets: the list the worker will poll and the window's
// operations on it (a new value, stale values greyed, a reset before the screen is shown again). The
// screen's page owns it; views are created on the window thread and only marked, never freed, while the
// worker may hold them.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "params/visual_param.h"
#include "ui/view_list.h"

namespace velmora {

class TScreenViews : public TViewList {
public:
    void Add(std::unique_ptr<TVisualParam> view) { Views.push_back(std::move(view)); }
    size_t Count() const { return Views.size(); }
    TVisualParam& operator[](size_t index) const { return *Views[index]; }

    // The view of `number` redraws; when there is none, the combined view whose third part it is.
    void UpdateParam(int number) override;
    // Greys the views whose parameter is read slowly (poll level below its interval / 1024 s, or polling
    // paused) and restores the others; only views whose state changed are touched.
    void RefreshStale();
    // Empties every value and indicator before the screen is shown again.
    void ResetDisplay();
    // PollEveryCycle of the view of `number`; for a part of a combined view the negation of its flag.
    bool IsPollEveryCycle(int number) const;
    // Whether the view is shown grey now.
    bool IsStale(size_t index) const { return Stale[index]; }

    // Called when the stale state of view `index` changes (the page greys its labels).
    std::function<void(size_t index, bool stale)> OnStaleChange;

private:
    std::vector<std::unique_ptr<TVisualParam>> Views;
    std::vector<bool> Stale;
};

} // namespace velmora
