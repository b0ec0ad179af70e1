#include "ui/common/flow_layout.h"

#include <QWidget>
#include <algorithm>

namespace velmora {

TFlowLayout::TFlowLayout(QWidget* parent, int lineHeight, int spacing)
    : QLayout(parent), LineHeight(lineHeight) {
    setSpacing(spacing);
}

TFlowLayout::~TFlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TFlowLayout::addItem(QLayoutItem* item) {
    Items.append(item);
}

int TFlowLayout::count() const {
    return int(Items.size());
}

QLayoutItem* TFlowLayout::itemAt(int index) const {
    return index >= 0 && index < Items.size() ? Items[index] : nullptr;
}

QLayoutItem* TFlowLayout::takeAt(int index) {
    return index >= 0 && index < Items.size() ? Items.takeAt(index) : nullptr;
}

QSize TFlowLayout::sizeHint() const {
    // One line holding every item.
    int width = 0;
    for (QLayoutItem* item : Items)
        width += item->sizeHint().width() + spacing();
    QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), LineHeight + margins.top() + margins.bottom()};
}

QSize TFlowLayout::minimumSize() const {
    // An item wider than the line is shrunk to its own minimum.
    int width = 0;
    for (QLayoutItem* item : Items)
        width = std::max(width, item->minimumSize().width());
    QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), LineHeight + margins.top() + margins.bottom()};
}

int TFlowLayout::heightForWidth(int width) const {
    QMargins margins = contentsMargins();
    return LineCount(width) * LineHeight + margins.top() + margins.bottom();
}

void TFlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    DoLayout(rect, true);
}

int TFlowLayout::LineCount(int width) const {
    return DoLayout(QRect(0, 0, width, LineHeight), false);
}

int TFlowLayout::DoLayout(const QRect& rect, bool place) const {
    QRect area = rect.marginsRemoved(contentsMargins());
    int lines = 1;
    int x = area.x();
    for (QLayoutItem* item : Items) {
        if (item->isEmpty())
            continue;
        int wanted = std::max(item->sizeHint().width(), item->minimumSize().width());
        int width = std::min(wanted, std::max(area.width(), 1));
        if (x > area.x() && x + width > area.right() + 1) {
            ++lines;
            x = area.x();
        }
        if (place)
            item->setGeometry(QRect(x, area.y() + (lines - 1) * LineHeight, width, LineHeight - spacing()));
        x += width + spacing();
    }
    return lines;
}

} // namespace velmora
