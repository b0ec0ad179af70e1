// The graph's kept values (TGraph, see graph.h): recording them, fitting autoscaled ranges to them,
// drawing the picture again from them (after a new range, colour or lane), and the frozen picture with
// its zoom, pan and the values under the cursor. Window thread only.
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "params/param_list.h"
#include "ui/common/widget_colors.h"
#include "ui/graphs/graph.h"

namespace velmora {

namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();

// A step of 1, 2 or 5 times a power of ten near `raw`, so the scale's labels read as round numbers.
float NiceStep(float raw) {
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    float power = std::pow(10.0f, std::floor(std::log10(raw)));
    for (float m : {1.0f, 2.0f, 5.0f})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

// The first kept value at or after `tick` (ticks compared as a signed distance, so a wrap does no harm).
std::deque<TGraphSample>::const_iterator FirstFrom(const std::deque<TGraphSample>& history, uint32_t tick) {
    return std::partition_point(history.begin(), history.end(),
                                [tick](const TGraphSample& s) { return int32_t(s.Tick - tick) < 0; });
}

} // namespace

void TGraph::Record(TGraphParam& view, uint32_t tick, float value) {
    std::deque<TGraphSample>& history = view.History;
    if (!view.HasLastPoint && !history.empty() && !std::isnan(history.back().Value))
        history.push_back({tick, std::numeric_limits<float>::quiet_NaN()});
    history.push_back({tick, value});
    while (!history.empty() && uint32_t(tick - history.front().Tick) > KeepMs)
        history.pop_front();
    LatestTick = tick;
}

bool TGraph::FitRanges(uint32_t from, uint32_t to, bool growOnly) {
    bool changed = false;
    for (TGraphParam* view : GraphViews()) {
        if (!view->AutoScale)
            continue;
        float lo = Inf, hi = -Inf;
        for (auto it = FirstFrom(view->History, from);
             it != view->History.end() && int32_t(it->Tick - to) <= 0; ++it) {
            if (!std::isnan(it->Value)) {
                lo = std::min(lo, it->Value);
                hi = std::max(hi, it->Value);
            }
        }
        if (lo > hi || (growOnly && lo >= view->AutoLo && hi <= view->AutoHi))
            continue;
        // A little room above and below, then out to round numbers; a flat line gets a band around it.
        float span = hi - lo;
        if (span <= 0)
            span = std::max(std::fabs(hi) * 0.1f, std::pow(10.0f, -float(view->Param.Decimals)));
        float step = NiceStep(span * 1.1f / 8);
        float newLo = std::floor((lo - span * 0.05f) / step) * step;
        float newHi = std::ceil((hi + span * 0.05f) / step) * step;
        if (lo >= 0 && newLo < 0)
            newLo = 0;
        if (newHi <= newLo)
            newHi = newLo + step;
        if (newLo != view->AutoLo || newHi != view->AutoHi) {
            view->AutoLo = newLo;
            view->AutoHi = newHi;
            changed = true;
        }
    }
    return changed;
}

void TGraph::Render(uint32_t from, uint32_t span) {
    Picture.fill(Qt::white);
    DrawGrid(0);
    span = std::max<uint32_t>(span, 1);
    QPainter painter(&Picture);
    for (TGraphParam* view : GraphViews()) {
        painter.setPen(QPen(FromBgr(view->Color), PenWidth, Qt::SolidLine));
        DrawSamples(painter, *view, view->History, 0, from, span);
    }
    DrawOverlay(painter, 0, from, span);
    painter.end();
    Changed = Picture.rect();
}

template <typename TSamples>
void TGraph::DrawSamples(QPainter& painter, const TGraphParam& view, const TSamples& samples, uint32_t shift,
                         uint32_t from, uint32_t span) const {
    const int w = Picture.width();
    // The first sample at or after `from` on the graph's clock (sample tick + shift).
    auto it = std::partition_point(samples.begin(), samples.end(),
                                   [&](const TGraphSample& s) { return int32_t(s.Tick + shift - from) < 0; });
    if (it != samples.begin())
        --it; // the line comes in from the left edge
    // Many values fall on one column when much time is shown: per column only its first, lowest,
    // highest and last value count. A solid line through neighbouring columns is drawn as one bar per
    // column (from the last value of the column before to this column's extent): a wide pen stroked
    // through four points a column costs many times a display frame over 30 minutes.
    const bool bars = painter.pen().style() == Qt::SolidLine;
    const int pen = std::max(1, int(painter.pen().widthF()));
    const QColor colour = painter.pen().color();
    QPolygon line;
    int column = std::numeric_limits<int>::min(), firstY = 0, lowY = 0, highY = 0, lastY = 0;
    bool hasPrevious = false;
    int previousX = 0, previousY = 0;
    auto flushColumn = [&] {
        if (column == std::numeric_limits<int>::min())
            return;
        if (!bars) {
            for (int y : {firstY, lowY, highY, lastY})
                if (line.isEmpty() || line.back() != QPoint(column, y))
                    line << QPoint(column, y);
        } else {
            int top = highY, bottom = lowY;
            if (hasPrevious && column - previousX <= 1) {
                top = std::min(top, previousY);
                bottom = std::max(bottom, previousY);
            } else if (hasPrevious) {
                painter.drawLine(previousX, previousY, column, firstY); // across columns without values
            }
            painter.fillRect(QRect(column - pen / 2, top - pen / 2, pen, bottom - top + pen), colour);
            hasPrevious = true;
            previousX = column;
            previousY = lastY;
        }
        column = std::numeric_limits<int>::min();
    };
    auto flushLine = [&] {
        flushColumn();
        if (line.size() >= 2)
            painter.drawPolyline(line);
        line.clear();
        hasPrevious = false;
    };
    for (; it != samples.end(); ++it) {
        if (std::isnan(it->Value)) {
            flushLine();
            continue;
        }
        int64_t x64 = std::llround(double(int32_t(it->Tick + shift - from)) * w / span);
        int x = int(std::clamp<int64_t>(x64, -32000, 32000));
        int y = Y(view, std::clamp(it->Value, view.Lo(), view.Hi()));
        if (x != column) {
            flushColumn();
            column = x;
            firstY = lowY = highY = lastY = y;
        } else {
            lowY = std::max(lowY, y);
            highY = std::min(highY, y);
            lastY = y;
        }
        if (x > w)
            break; // the line goes out at the right edge
    }
    flushLine();
}

void TGraph::ForgetValues() {
    for (TGraphParam* view : GraphViews())
        view->History.clear();
    LatestTick = 0;
    IsFrozen = false;
    ResetGraph();
}

void TGraph::SetOverlay(std::optional<TGraphOverlay> overlay) {
    Comparison = std::move(overlay);
    Redraw();
}

void TGraph::SetOverlayStart(uint32_t tick) {
    if (!Comparison)
        return;
    Comparison->StartTick = tick;
    Redraw();
}

void TGraph::DrawOverlay(QPainter& painter, int fromColumn, uint32_t from, uint32_t span) const {
    if (!Comparison)
        return;
    painter.save();
    painter.setClipRect(QRect(fromColumn, 0, Picture.width() - fromColumn, Picture.height()));
    for (TGraphParam* view : GraphViews()) {
        auto curve = Comparison->Curves.find(view->Param.Number);
        if (curve == Comparison->Curves.end())
            continue;
        painter.setPen(QPen(FromBgr(view->Color), PenWidth, Qt::DashLine));
        DrawSamples(painter, *view, curve->second, Comparison->StartTick, from, span);
    }
    painter.restore();
}

std::optional<float> TGraph::OverlayValueAt(const TGraphParam& view, uint32_t tick) const {
    if (!Comparison)
        return std::nullopt;
    auto curve = Comparison->Curves.find(view.Param.Number);
    if (curve == Comparison->Curves.end() || curve->second.empty())
        return std::nullopt;
    const std::vector<TGraphSample>& samples = curve->second;
    const uint32_t own = tick - Comparison->StartTick;
    if (int32_t(own) < 0 || own > samples.back().Tick)
        return std::nullopt;
    auto it = std::partition_point(samples.begin(), samples.end(),
                                   [own](const TGraphSample& s) { return s.Tick <= own; });
    if (it == samples.begin() || std::isnan(std::prev(it)->Value))
        return std::nullopt;
    return std::prev(it)->Value;
}

void TGraph::RenderLive() {
    if (StartTick == 0) {
        Picture.fill(Qt::white);
        Changed = Picture.rect();
        return;
    }
    Render(StartTick, ScreenTimeMs);
    const int w = Picture.width();
    for (TGraphParam* view : GraphViews()) {
        view->HasLastPoint = false;
        if (view->History.empty() || std::isnan(view->History.back().Value))
            continue;
        const TGraphSample& last = view->History.back();
        int64_t x = std::llround(double(int32_t(last.Tick - StartTick)) * w / ScreenTimeMs);
        if (x < -w || x > std::numeric_limits<int16_t>::max())
            continue;
        view->LastX = int16_t(x);
        view->LastY = int16_t(Y(*view, std::clamp(last.Value, view->Lo(), view->Hi())));
        view->HasLastPoint = true;
    }
}

void TGraph::Redraw() {
    if (IsFrozen) {
        FitRanges(ShownStart(), ShownStart() + ShownSpan(), false);
        Render(ShownStart(), ShownSpan());
        return;
    }
    if (StartTick != 0)
        FitRanges(StartTick, StartTick + ScreenTimeMs, false);
    RenderLive();
}

void TGraph::SetLanes(bool lanes) {
    LanesOn = lanes;
    LayOut();
    Redraw();
}

void TGraph::SetAutoScale(TGraphParam& view, bool on) {
    view.AutoScale = on;
    view.AutoLo = view.RangeLo;
    view.AutoHi = view.RangeHi;
    view.ClearMinMax();
    Redraw();
}

void TGraph::SetMargins(int top, int bottom) {
    TopMargin = std::max(top, 0);
    BottomMargin = std::max(bottom, 0);
    LayOut();
    Redraw();
}

void TGraph::SetPenWidth(int width) {
    PenWidth = std::clamp(width, 1, 8);
    Redraw();
}

void TGraph::Freeze(bool frozen) {
    if (frozen == IsFrozen)
        return;
    if (frozen) {
        FrozenSpan = ScreenTimeMs;
        FrozenEnd = StartTick != 0 ? StartTick + ScreenTimeMs : LatestTick;
        IsFrozen = true;
        return;
    }
    IsFrozen = false;
    // Back to the running picture, moved on by whole scrolls to the newest value as if it had run on.
    if (StartTick != 0 && int32_t(LatestTick - StartTick) >= int32_t(ScreenTimeMs)) {
        uint64_t k = (uint64_t(LatestTick - StartTick - ScreenTimeMs) / ScrollMs + 1) * ScrollMs;
        StartTick += uint32_t(k);
    }
    Redraw();
}

uint32_t TGraph::ShownStart() const {
    return IsFrozen ? FrozenEnd - FrozenSpan : StartTick;
}

uint32_t TGraph::ShownSpan() const {
    return IsFrozen ? FrozenSpan : ScreenTimeMs;
}

uint32_t TGraph::TickAt(int x) const {
    return ShownStart() + uint32_t(std::llround(double(x) * ShownSpan() / Picture.width()));
}

std::optional<float> TGraph::ValueAt(const TGraphParam& view, uint32_t tick) const {
    if (view.History.empty() || int32_t(tick - LatestTick) > 0)
        return std::nullopt;
    auto it = std::partition_point(view.History.begin(), view.History.end(),
                                   [tick](const TGraphSample& s) { return int32_t(s.Tick - tick) <= 0; });
    if (it == view.History.begin() || std::isnan((it - 1)->Value))
        return std::nullopt;
    return (it - 1)->Value;
}

void TGraph::Zoom(double factor, int x) {
    if (LatestTick == 0)
        return;
    Freeze(true);
    uint32_t anchor = TickAt(x);
    double share = std::clamp(double(x) / Picture.width(), 0.0, 1.0);
    uint32_t span = uint32_t(std::clamp<int64_t>(std::llround(FrozenSpan * factor), MinSpanMs, KeepMs));
    FrozenEnd = anchor + uint32_t(std::llround((1 - share) * span));
    FrozenSpan = span;
    Pan(0);
}

void TGraph::Pan(int pixels) {
    if (LatestTick == 0)
        return;
    Freeze(true);
    int64_t end = int64_t(FrozenEnd) - std::llround(double(pixels) * FrozenSpan / Picture.width());
    // Within the time kept: from the oldest value to the running picture's right edge.
    int64_t newest = std::max<int64_t>(LatestTick, StartTick != 0 ? int64_t(StartTick) + ScreenTimeMs : 0);
    int64_t oldest = newest;
    for (TGraphParam* view : GraphViews())
        if (!view->History.empty())
            oldest = std::min<int64_t>(oldest, view->History.front().Tick);
    int64_t lowest = oldest + FrozenSpan;
    FrozenEnd = uint32_t(lowest >= newest ? newest : std::clamp(end, lowest, newest));
    Redraw();
}

} // namespace velmora
