#include "ui/common/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace velmora {

QSize TElidedLabel::minimumSizeHint() const {
    return {std::max(minimumWidth(), fontMetrics().horizontalAdvance(QStringLiteral("…"))),
            QLabel::minimumSizeHint().height()};
}

void TElidedLabel::paintEvent(QPaintEvent* event) {
    const QRect room = contentsRect();
    if (fontMetrics().horizontalAdvance(text()) <= room.width())
        return QLabel::paintEvent(event);
    QPainter painter(this);
    drawFrame(&painter);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(Qt::AlignLeft | Qt::AlignVCenter), palette(), isEnabled(),
                          shown, foregroundRole());
}

} // namespace velmora
