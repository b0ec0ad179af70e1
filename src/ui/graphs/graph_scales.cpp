// What the graph tab paints over the picture: value scales (of the selected curve, or of every lane),
// labels on the value lines, the time scale below the curves and the cursor with its values. Window
// thread only.
#include <QListWidget>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "lang/translated_format.h"
#include "params/display_unit.h"
#include "ui/common/widget_colors.h"
#include "ui/graphs/graph_tab.h"

namespace velmora {

namespace {

constexpr int ScaleSteps = 4; // parts of a scale between its labels
constexpr int ScaleFontPixels = 11;

} // namespace

QString GraphValueText(const TGraphParam& view, float value) {
    const std::string ownUnit = DisplayUnit(view.Param);
    return QString::number(double(value), 'f', view.Param.Decimals) +
           QString::fromStdString(ownUnit.empty() ? view.Param.Izm : " " + ownUnit);
}

QStringList TGraphTab::CursorLines() const {
    QStringList lines;
    if (!CursorTick)
        return lines;
    const double span = GraphList->ShownSpan() / 1000.0;
    lines << (ClockText ? ClockText(*CursorTick)
                        : AgoText(int64_t(int32_t(*CursorTick - GraphList->NewestTick())), span));
    for (size_t i = 0; i < GraphList->Count(); ++i) {
        const TGraphParam& view = GraphList->View(i);
        std::optional<float> value = GraphList->ValueAt(view, *CursorTick);
        QString line =
            QString::fromStdString(view.Caption) + ": " + (value ? GraphValueText(view, *value) : "—");
        // The compared recording's value beside it, after its legend's mark.
        if (std::optional<float> other = GraphList->OverlayValueAt(view, *CursorTick))
            line += " | - - " + GraphValueText(view, *other);
        lines << line;
    }
    return lines;
}

QString TGraphTab::AgoText(int64_t ms, double spanSeconds) const {
    if (spanSeconds <= 120 || std::abs(ms) < 60000) {
        QString seconds = QString::number(ms / 1000.0, 'f', spanSeconds < 5 ? 2 : spanSeconds < 60 ? 1 : 0);
        return QString::fromStdString(TranslateFormat("%s с", seconds.toStdString().c_str()));
    }
    int64_t total = std::llabs(ms) / 1000;
    return QString("%1%2:%3").arg(ms < 0 ? "-" : "").arg(total / 60).arg(total % 60, 2, 10, QChar('0'));
}

void TGraphTab::DrawScales(QPainter& painter, int width, int height, const QRect& area) const {
    const qreal ratio = Image->devicePixelRatioF();
    QFont font = painter.font();
    font.setPixelSize(int(ScaleFontPixels * ratio));
    painter.setFont(font);
    const int tick = int(4 * ratio);
    // Labels start clear of their tick, which would otherwise read as a minus sign before the value.
    const int margin = tick + int(3 * ratio);
    const int lineHeight = int(14 * ratio);
    auto label = [&](const QRect& box, int flags, const QString& text, const QColor& colour) {
        // Laying out text is the dear part of a frame: only labels in the painted part.
        if (!area.intersects(box.adjusted(-1, -1, 1, 1)))
            return;
        // A white edge keeps the text readable over the curves and the grid.
        painter.setPen(Qt::white);
        for (int dx : {-1, 1})
            for (int dy : {-1, 1})
                painter.drawText(box.translated(dx, dy), flags, text);
        painter.setPen(colour);
        painter.drawText(box, flags, text);
    };
    // A value scale at the left edge over the view's band: its top and bottom at the band's edges.
    auto scale = [&](const TGraphParam& view, int steps, const QString& title) {
        const QColor colour = FromBgr(view.Color);
        const int top = view.BandTop, bottom = view.BandTop + view.BandHeight - 1;
        for (int i = 0; i <= steps; ++i) {
            float value = view.Lo() + (view.Hi() - view.Lo()) * float(i) / float(steps);
            int y = bottom - (bottom - top) * i / steps;
            int flags = Qt::AlignLeft | (i == 0       ? Qt::AlignBottom
                                         : i == steps ? Qt::AlignTop
                                                      : Qt::AlignVCenter);
            QRect box(margin,
                      i == 0       ? y - lineHeight
                      : i == steps ? y
                                   : y - lineHeight / 2,
                      int(160 * ratio), lineHeight);
            if (i == steps && !title.isEmpty()) // the name beside the top value
                label(box.adjusted(QFontMetrics(font).horizontalAdvance(GraphValueText(view, value)) +
                                       int(12 * ratio),
                                   0, int(200 * ratio), 0),
                      flags, title, colour);
            painter.setPen(colour);
            painter.drawLine(0, y, tick, y);
            label(box, flags, GraphValueText(view, value), colour);
        }
    };
    const int row = lbGraphs->currentRow();
    std::vector<int> lanesDrawn;
    for (size_t i = 0; i < GraphList->Count(); ++i) {
        const TGraphParam& view = GraphList->View(i);
        if (GraphList->Lanes()) {
            // Each lane its scale (of its first curve) with the names of its curves; a line between lanes.
            QString names;
            for (size_t j = 0; j < GraphList->Count(); ++j)
                if (GraphList->View(j).Lane == view.Lane)
                    names +=
                        (names.isEmpty() ? "" : ", ") + QString::fromStdString(GraphList->View(j).Caption);
            if (std::find(lanesDrawn.begin(), lanesDrawn.end(), view.Lane) == lanesDrawn.end()) {
                lanesDrawn.push_back(view.Lane);
                scale(view, 2, names);
                int below = view.BandTop + view.BandHeight + 1;
                if (below < GraphList->PlotBottom()) {
                    painter.setPen(QPen(QColor(200, 200, 200), 1));
                    painter.drawLine(area.left(), below, area.right(), below);
                }
            }
        } else if (int(i) == row) {
            scale(view, ScaleSteps, QString());
        }
        // The value lines carry their value at the right end.
        for (int k = 0; k < view.LineCount; ++k) {
            float g = view.Lines[size_t(k)];
            if (g < view.Lo() || g > view.Hi())
                continue;
            int y = GraphList->ValueY(view, g);
            QRect box(width - int(160 * ratio), y - lineHeight, int(160 * ratio) - margin, lineHeight);
            label(box, Qt::AlignRight | Qt::AlignBottom, GraphValueText(view, g), FromBgr(view.Color));
        }
    }
    // The time scale, below the curves: time before the newest value.
    const int stripTop = GraphList->PlotBottom() + 1;
    if (area.bottom() >= stripTop) {
        painter.fillRect(QRect(area.left(), stripTop, area.width(), height - stripTop), Qt::white);
        painter.setPen(QColor(200, 200, 200));
        painter.drawLine(area.left(), stripTop, area.right(), stripTop);
    }
    const double seconds = GraphList->ShownSpan() / 1000.0;
    for (int i = 1; i < ScaleSteps; ++i) {
        int x = width * i / ScaleSteps;
        // Running: before the right edge; frozen: before the newest value taken.
        QString text =
            ClockText ? ClockText(GraphList->TickAt(x))
            : GraphList->Frozen()
                ? AgoText(int64_t(int32_t(GraphList->TickAt(x) - GraphList->NewestTick())), seconds)
                : AgoText(-int64_t(std::llround(seconds * 1000 * (ScaleSteps - i) / ScaleSteps)), seconds);
        painter.setPen(Qt::darkGray);
        painter.drawLine(x, stripTop, x, stripTop + tick);
        label(QRect(x - int(50 * ratio), stripTop + 1, int(100 * ratio), height - stripTop - 1),
              Qt::AlignHCenter | Qt::AlignBottom, text, Qt::darkGray);
    }
    // With a compared recording: which lines are which, in the top right corner.
    QRect legend;
    if (const std::optional<TGraphOverlay>& overlay = GraphList->Overlay()) {
        const QStringList names = {QString::fromStdString(overlay->MainName),
                                   QString::fromStdString(overlay->Name)};
        QFontMetrics metrics(font);
        const int sample = int(28 * ratio);
        int textWidth = 0;
        for (const QString& name : names)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(name));
        const int boxWidth = sample + textWidth + int(14 * ratio);
        const QRect box(width - boxWidth - int(4 * ratio), GraphList->PlotTop() + int(2 * ratio), boxWidth,
                        2 * lineHeight + int(4 * ratio));
        legend = box;
        if (area.intersects(box)) {
            painter.fillRect(box, QColor(255, 255, 255, 230));
            painter.setPen(Qt::darkGray);
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            for (int i = 0; i < 2; ++i) {
                const int y = box.top() + int(2 * ratio) + i * lineHeight + lineHeight / 2;
                painter.setPen(
                    QPen(Qt::black, std::max(1, int(ratio)), i == 0 ? Qt::SolidLine : Qt::DashLine));
                painter.drawLine(box.left() + int(4 * ratio), y, box.left() + int(4 * ratio) + sample, y);
                painter.setPen(Qt::black);
                painter.drawText(QRect(box.left() + sample + int(10 * ratio), y - lineHeight / 2,
                                       textWidth + 2, lineHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, names[i]);
            }
        }
    }
    // The cursor: a line at its time and a box with the time and every curve's value.
    CursorBox = QRect();
    if (CursorTick) {
        const int x = int(std::llround(double(int32_t(*CursorTick - GraphList->ShownStart())) * width /
                                       std::max<uint32_t>(GraphList->ShownSpan(), 1)));
        if (x >= 0 && x < width) {
            painter.setPen(QPen(Qt::black, 1, Qt::DashDotLine));
            painter.drawLine(x, GraphList->PlotTop(), x, GraphList->PlotBottom());
            const QStringList lines = CursorLines();
            QFontMetrics metrics(font);
            int boxWidth = 0;
            for (const QString& line : lines)
                boxWidth = std::max(boxWidth, metrics.horizontalAdvance(line));
            boxWidth += int(8 * ratio);
            const int boxHeight = int(lines.size()) * lineHeight + int(4 * ratio);
            const int left =
                x + int(6 * ratio) + boxWidth < width ? x + int(6 * ratio) : x - int(6 * ratio) - boxWidth;
            CursorBox = QRect(left, GraphList->PlotTop() + int(2 * ratio), boxWidth, boxHeight);
            if (CursorBox.intersects(legend)) // below the legend, which stays readable
                CursorBox.moveTop(legend.bottom() + int(4 * ratio));
            if (area.intersects(CursorBox)) {
                painter.fillRect(CursorBox, QColor(255, 255, 255, 230));
                painter.setPen(Qt::darkGray);
                painter.drawRect(CursorBox.adjusted(0, 0, -1, -1));
                for (int i = 0; i < lines.size(); ++i) {
                    painter.setPen(i == 0 ? QColor(Qt::black)
                                          : FromBgr(GraphList->View(size_t(i - 1)).Color));
                    painter.drawText(QRect(left + int(4 * ratio),
                                           CursorBox.top() + int(2 * ratio) + i * lineHeight, boxWidth,
                                           lineHeight),
                                     Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
                }
            }
        }
    }
}

} // namespace velmora
