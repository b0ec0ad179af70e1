// The graph's picture on the tab "Графики": painted straight from the graph's image with the tab's
// scales over it, and only where it changed, so a frame of a running graph costs a few columns of
// pixels rather than a copy of the whole picture. Window thread only.
#pragma once

#include <QWidget>
#include <functional>

class QPainter;

namespace velmora {

class TGraph;

class TGraphView : public QWidget {
public:
    // Draws the scales over the picture: painter in device pixels, the picture's width and height, the
    // part being painted (device pixels; what lies outside it may be skipped).
    using TScaleDrawer = std::function<void(QPainter& painter, int width, int height, const QRect& area)>;

    TGraphView(const TGraph& graph, TScaleDrawer drawScales, QWidget* parent = nullptr);

    // Repaints the part of the picture `changed` covers (device pixels).
    void ShowChange(const QRect& changed);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TGraph& Graph;
    TScaleDrawer DrawScales;
};

} // namespace velmora
