#include "ui/common/widget_colors.h"

#include <QWidget>

namespace velmora {

void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace velmora
