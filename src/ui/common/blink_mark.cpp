#include "ui/common/blink_mark.h"

namespace velmora {

TBlinkMark::TBlinkMark(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void TBlinkMark::Toggle() {
    WantDark = !WantDark;
    Pacer.Request();
}

void TBlinkMark::Draw() {
    // Two answers within one frame leave the colour as it was: nothing to repaint.
    if (WantDark == ShownDark)
        return;
    ShownDark = WantDark;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ShownDark        ? QColor(Qt::black)
                                           : parentWidget() ? parentWidget()->palette().color(QPalette::Dark)
                                                            : colours.color(QPalette::Dark));
    setPalette(colours);
}

} // namespace velmora
