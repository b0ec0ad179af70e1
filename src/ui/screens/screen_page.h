// One parameter screen: a page of the tab "Параметры" with its zones (top, left, main) and a row per
// view. The page shares the screen's view list (TScreenParams) with the worker, which polls it while
// the page is shown. Window thread only.
#pragma once

#include <QWidget>
#include <memory>
#include <unordered_map>

#include "ui/common/frame_pacer.h"
#include "ui/screens/param_row.h"
#include "ui/screens/screen_definition.h"
#include "ui/screens/screen_params.h"

class QFrame;
class QSplitter;
class QVBoxLayout;

namespace velmora {

class TListParams;

class TScreenPage : public QWidget {
    Q_OBJECT
public:
    TScreenPage(const TScreenDefinition& definition, std::shared_ptr<const TListParams> params,
                const TRowFonts& fonts, QWidget* parent = nullptr);
    // The worker may hold the list a while longer: it forgets the rows.
    ~TScreenPage() override;

    TScreenParams& Views() const { return *ViewList; }
    const std::shared_ptr<TScreenParams>& List() const { return ViewList; }
    const TScreenDefinition& Definition() const { return Screen; }
    TParamRow* Row(size_t index) const { return Rows[index]; }
    QFrame* TopZone() const { return Top; }
    QFrame* LeftZone() const { return Left; }
    QFrame* MainZone() const { return Main; }
    // Values arrive faster than the display refreshes: the rows draw at most once per frame. True while
    // changes wait for the end of the frame.
    bool RepaintPending() const { return Pacer.Pending(); }

    // Columns the main zone's rows stand in: 2 when the page is too short to show them in one and wide
    // enough for two (a small screen at 2× scale), else 1.
    int MainColumns() const { return Columns; }

    // Narrowest column of main rows (logical pixels) worth splitting the zone for.
    static constexpr int MinColumnWidth = 300;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QFrame* MakeZone(const char* name);
    void AddView(std::unique_ptr<TVisualParam> view, TZone zone, const TRowFonts& fonts);
    void PlaceMainRows(int columns);
    void FitMainColumns();

    TScreenDefinition Screen;
    std::shared_ptr<TScreenParams> ViewList;
    std::vector<TParamRow*> Rows;
    TFramePacer Pacer; // draws the rows' waiting changes
    std::unordered_map<const TBaseParam*, TParamRow*> RowOf;
    QFrame* Top = nullptr;
    QFrame* Left = nullptr;
    QFrame* Main = nullptr;
    QSplitter* Splitter = nullptr;
    bool LeftPlaced = false; // the left zone got its first width (half the page)
    std::vector<TParamRow*> MainRows;
    int Columns = 0; // as placed; 0 before the first placing
};

} // namespace velmora
