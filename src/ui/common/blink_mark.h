// The answer mark of the top bar: a "*" whose colour alternates between black and the button-shadow
// colour with every answer. Answers come faster than the display refreshes (up to ~100 a second), so the
// colour is drawn at most once per frame and only when it differs from the one shown. Window thread only.
#pragma once

#include <QLabel>

#include "ui/common/frame_pacer.h"

namespace velmora {

class TBlinkMark : public QLabel {
public:
    explicit TBlinkMark(const QString& text, QWidget* parent = nullptr);

    // One answer: the mark changes its colour.
    void Toggle();
    // The colour the latest answer asked for (drawn by the end of the frame): black when true.
    bool Dark() const { return WantDark; }

private:
    void Draw();

    bool WantDark = false;
    bool ShownDark = false;
    TFramePacer Pacer{[this] { Draw(); }, this};
};

} // namespace velmora
