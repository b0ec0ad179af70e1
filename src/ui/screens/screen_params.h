// TScreenParams: the view list of one parameter screen, the list the worker polls while the screen is
// shown (NextToPoll and the polling controls of TListPrm), with the window's operations on it: a new
// value, stale values greyed, a reset before the screen is shown again. Window thread, except what
// TListPrm gives the worker. The list keeps the parameter set its views show alive, so the worker may
// hold it past the end of a connection.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <unordered_map>

#include "params/list_prm.h"

namespace velmora {

class TListParams;

class TScreenParams : public TListPrm {
public:
    explicit TScreenParams(std::shared_ptr<const TListParams> params, QWidget* page = nullptr);

    // The view of `number` redraws; when there is none, the combined view whose third part it is.
    void UpdateParam(int number) override;
    // Greys the views whose value was not refreshed within the period it is read in (plus a grace of a
    // few seconds) and restores the others; only views whose state changed are touched.
    void RefreshStale() override;
    // Empties every value and indicator and starts a first cycle.
    void ResetDisplay() override;
    void Restart() override;

    // Whether a view shows record `number`, alone or as a part of a combined view.
    bool Shows(int number) const;
    // The unmarked screen view at `index`, or nullptr.
    TVisualParam* View(size_t index) const;
    // Whether the view is shown grey now.
    bool IsStale(const TBaseParam& view) const;

    // Called when the stale state of a view changes (the page greys its labels).
    std::function<void(const TVisualParam& view, bool stale)> OnStaleChange;

    // The tab page that shows the screen.
    QPointer<QWidget> Page;
    std::atomic<uint32_t> Reserved{0}; // cleared by Restart on the worker thread

private:
    std::shared_ptr<const TListParams> Set;
    std::unordered_map<const TBaseParam*, bool> Stale;
};

} // namespace velmora
