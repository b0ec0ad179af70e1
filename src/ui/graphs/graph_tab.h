// The tab "Графики": the graph's picture, the list of its parameters and the commands "+", "-",
// "Сохранить рисунок", "Обновить", "Экран N сек." and min/max, with the value scale of the selected
// curve, a time scale and each name in its curve's colour. Window thread only.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "ui/common/frame_pacer.h"
#include "ui/graphs/graph.h"
#include "ui/graphs/graph_view.h"

class QLabel;
class QListWidget;
class QPainter;
class QPushButton;

namespace velmora {

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
    int ScreenSeconds = 10; // the tag of Button3
    TFramePacer Pacer{[this] { Image->ShowChange(GraphList->TakeChanged()); }, this};
};

} // namespace velmora
