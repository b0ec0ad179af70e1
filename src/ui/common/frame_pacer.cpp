#include "ui/common/frame_pacer.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// Refresh rates outside this range are taken as a platform's guess (Hz).
constexpr double SlowestRefresh = 30, FastestRefresh = 240;
constexpr int UnknownRefreshFrameMs = 16;

int ScreenFrameMs() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double rate = screen ? screen->refreshRate() : 0;
    if (!(rate > 0))
        return UnknownRefreshFrameMs;
    return int(std::lround(1000.0 / std::clamp(rate, SlowestRefresh, FastestRefresh)));
}

} // namespace

TFramePacer::TFramePacer(std::function<void()> draw, QObject* parent)
    : QObject(parent), Draw(std::move(draw)) {
    Timer.setSingleShot(true);
    Timer.setTimerType(Qt::PreciseTimer);
    Timer.setInterval(ScreenFrameMs());
    connect(&Timer, &QTimer::timeout, this, [this] { FrameEnd(); });
}

void TFramePacer::Request() {
    if (Timer.isActive()) {
        Waiting = true;
        return;
    }
    Draw();
    Timer.start();
}

void TFramePacer::FrameEnd() {
    if (!Waiting)
        return;
    Waiting = false;
    Draw();
    Timer.start();
}

} // namespace velmora
