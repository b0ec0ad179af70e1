// Colours of the window layer and the one way panels get a background colour. Window thread only.
#pragma once

#include <QColor>
#include <cstdint>

class QWidget;

namespace velmora {

inline const QColor ColorRed(0xFF, 0, 0);
inline const QColor ColorMaroon(0x80, 0, 0);
inline const QColor ColorDarkGreen(0, 0x80, 0);
inline const QColor ColorGrey(0x80, 0x80, 0x80);

// The core's colours are 0x00BBGGRR.
inline QColor FromBgr(uint32_t colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

// Fills the widget's background with `colour` (read back through palette().color(QPalette::Window)).
void SetBackground(QWidget* widget, const QColor& colour);

} // namespace velmora
