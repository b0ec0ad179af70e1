// The tab "Графики": the graph's picture, the list of its parameters and the commands "+", "-",
// "Сохранить рисунок", "Обновить", "Экран N сек." and min/max, with the value scale of the selected
// curve (of every lane when the curves are drawn in lanes), labels on the value lines, a time scale
// below the curves and each name in its curve's colour. "Пауза" freezes the picture while values are
// still taken; the wheel zooms and a drag pans over the time kept, a click places a cursor that shows
// every curve's value at its time. A curve's scale, colour and lane are set from the list's context
// menu or the button beside it. Window thread only.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "ui/common/frame_pacer.h"
#include "ui/graphs/graph.h"
#include "ui/graphs/graph_view.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QMenu;
class QPainter;
class QPushButton;

namespace velmora {

// A curve's value as text with its decimals and unit.
QString GraphValueText(const TGraphParam& view, float value);

class TGraphTab : public QWidget {
    Q_OBJECT
public:
    TGraphTab(std::shared_ptr<const TListParams> params, QWidget* parent = nullptr);
    ~TGraphTab() override;

    TGraph& Graph() { return *GraphList; }
    // The graph as the list the worker polls.
    const std::shared_ptr<TGraph>& List() const { return GraphList; }
    // Adds parameter `number` to the graph and selects it (the first one restarts the picture).
    bool AddGraph(int number);
    // "-": takes the selected (or the first) parameter off the graph.
    void btnDelGraphClick();
    // "Refresh": the graph as the settings file has it.
    void Button1Click();
    // "Экран N сек.": asks for the screen time in seconds (1..9999).
    void Button3Click();
    void btnSavePicClick();
    void btnClearMinMaxClick();
    // Shows the picture as drawn now.
    void Redraw();
    // Shows what the graph drew since, at the display's pace: at once when no frame was shown within the
    // last frame interval, else once at its end, however many values were drawn in between.
    void RequestRedraw() { Pacer.Request(); }
    bool RedrawPending() const { return Pacer.Pending(); }

    // Lanes on or off (written to the graph's settings).
    void SetLanes(bool lanes);
    // Freezes the picture (values are still taken) or shows the running picture again.
    void SetPaused(bool paused);
    bool Paused() const { return GraphList->Frozen(); }
    // The cursor at column `x` of the picture (device pixels); a negative x takes it away.
    void SetCursorAt(int x);
    // The cursor's time and every curve's value there, one line each; empty without a cursor.
    QStringList CursorLines() const;
    // The menu of the curve in row `row`: properties, autoscale, colour and lane. The caller owns it.
    QMenu* CurveMenu(int row);

    // The time of a tick as the time scale and the cursor show it, instead of the time before the newest
    // value (a replay shows its recording's clock); none: the time before the newest value.
    std::function<QString(uint32_t tick)> ClockText;

    // Called after "Refresh" reloaded the graph, so the worker takes the list over again.
    std::function<void()> OnReload;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void AddListItem(const TGraphParam& view);
    // The colour swatches again, after the properties dialog may have changed a colour.
    void RefreshSwatches();
    void ShowMinMax();
    // Margins and line width for the screen's pixel ratio.
    void ApplyMetrics();
    // Writes `key` of the graph's settings section.
    void WriteSetting(const std::string& key, int value) const;
    // The picture changed from the user's side (zoom, pan, a new range): shown whole.
    void ShowAll();
    // Text of a time `ms` before the newest value.
    QString AgoText(int64_t ms, double spanSeconds) const;
    // Over the shown copy of the picture (`width` × `height` device pixels): the selected curve's value
    // scale at the left edge and the time scale along the bottom.
    // Labels outside `area` (device pixels) are skipped.
    void DrawScales(QPainter& painter, int width, int height, const QRect& area) const;

    std::shared_ptr<const TListParams> Params;
    std::shared_ptr<TGraph> GraphList;
    TGraphView* Image = nullptr;
    QListWidget* lbGraphs = nullptr;
    QLabel* lbMinMax = nullptr;
    QLabel* WaitPanel = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* btnPause = nullptr;
    QCheckBox* cbLanes = nullptr;
    int ScreenSeconds = 10; // the tag of Button3
    std::optional<uint32_t> CursorTick;
    mutable QRect CursorBox; // where the cursor's values were drawn (device pixels)
    QPoint PressAt, DragAt;
    bool Dragging = false;
    TFramePacer Pacer{[this] {
                          Image->ShowChange(GraphList->TakeChanged());
                          if (CursorTick) // its values may have come meanwhile
                              Image->ShowChange(CursorBox);
                      },
                      this};
};

} // namespace velmora
