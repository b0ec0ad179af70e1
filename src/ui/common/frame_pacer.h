// Repaints at the display's pace: however many values arrive, what they change is drawn at most once per
// frame (the screen's refresh interval). The first change after a quiet frame is drawn at once, later
// ones at the end of the frame, so the last value is always the one shown. Window thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace velmora {

class TFramePacer : public QObject {
    Q_OBJECT
public:
    // `draw` brings the display up to date with every change made since it last ran.
    explicit TFramePacer(std::function<void()> draw, QObject* parent = nullptr);

    // A change waits to be drawn: drawn now when no frame was drawn within the last frame interval,
    // else once when that interval ends.
    void Request();
    // A change waits for the end of the frame.
    bool Pending() const { return Waiting; }
    // The frame interval, ms: the primary screen's refresh interval, 16 ms when unknown.
    int FrameMs() const { return Timer.interval(); }
    // Another frame interval, ms (a display that refreshes slowly; tests that need a long frame).
    void SetFrameMs(int ms) { Timer.setInterval(ms); }

private:
    void FrameEnd();

    std::function<void()> Draw;
    QTimer Timer;
    bool Waiting = false;
};

} // namespace velmora
