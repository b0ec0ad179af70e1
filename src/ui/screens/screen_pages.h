// The page control of the tab "Параметры": builds one page per applicable screen of DATA/options.ini
// for the connection's parameter set, keeps the chosen page across rebuilds and offers the screens'
// pop-up menu. Window thread only.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "ui/screens/param_row.h"

class QTabWidget;

namespace velmora {

class TListParams;
class TScreenPage;
class TScreenParams;

class TScreenPages : public QWidget {
    Q_OBJECT
public:
    explicit TScreenPages(QWidget* parent = nullptr);

    // Reads DATA/options.ini and creates the pages (a missing file, once until it is found again, or an
    // unreadable list is reported in a box). Replaces the pages built before.
    void BuildScreens(const std::shared_ptr<const TListParams>& params, const TRowFonts& fonts);
    // Frees the pages and their views.
    void Clear();
    bool Built() const;
    int Count() const;
    TScreenPage* Screen(int index) const;
    // The shown screen's view list, or nullptr.
    std::shared_ptr<TScreenParams> CurrentViews() const;
    QTabWidget* Pages() const { return pgScreens; }

    // Called with the shown screen's view list when the user selects another page (after its
    // ResetDisplay).
    std::function<void(std::shared_ptr<TScreenParams>)> OnScreenChange;

private:
    void pgScreensChange();
    void ShowPopup(const QPoint& at);

    QTabWidget* pgScreens = nullptr;
    int RememberedIndex = 0; // the page shown last, chosen again after a rebuild
    bool Building = false;
    bool MissingReported = false; // the missing options.ini was reported since it was last found
};

} // namespace velmora
