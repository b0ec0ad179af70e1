#include "ui/graphs/graph_view.h"

#include <QPaintEvent>
#include <QPainter>

#include "ui/graphs/graph.h"

namespace velmora {

TGraphView::TGraphView(const TGraph& graph, TScaleDrawer drawScales, QWidget* parent)
    : QWidget(parent), Graph(graph), DrawScales(std::move(drawScales)) {
    // Every pixel is painted from the picture: nothing behind it needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGraphView::ShowChange(const QRect& changed) {
    if (changed.isEmpty())
        return;
    const qreal ratio = devicePixelRatioF();
    // One pixel more on each side: a line's antialiased or rounded ends.
    update(QRectF(QPointF(changed.topLeft()) / ratio, QSizeF(changed.size()) / ratio)
               .toAlignedRect()
               .adjusted(-1, -1, 1, 1));
}

void TGraphView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    painter.scale(1 / ratio, 1 / ratio);
    const QRect area = QRectF(QPointF(event->rect().topLeft()) * ratio, QSizeF(event->rect().size()) * ratio)
                           .toAlignedRect();
    const QImage& picture = Graph.Image();
    if (!picture.rect().contains(area))
        painter.fillRect(area, Qt::white); // beyond the picture while a new size is being taken
    painter.drawImage(area.topLeft(), picture, area);
    DrawScales(painter, picture.width(), picture.height(), area);
}

} // namespace velmora
