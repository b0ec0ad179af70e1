// A one-line label of the top bar that, when the bar is short of room (2x scale), ends its text in "…"
// instead of cutting letters off its start. text() stays the whole text. Window thread only.
#pragma once

#include <QLabel>

namespace velmora {

class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    // As narrow as the layout needs: the text gives way, not the window.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmora
