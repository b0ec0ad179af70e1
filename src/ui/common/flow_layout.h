// A layout that places its items left to right in lines of a fixed height and starts a new line when
// the next item does not fit the width, so a row of bit indicators follows the page's width instead of
// widening the window. Window thread only.
#pragma once

#include <QLayout>
#include <QList>

namespace velmora {

class TFlowLayout : public QLayout {
public:
    // Every line is `lineHeight` pixels high; items keep `spacing` pixels between them and between lines.
    TFlowLayout(QWidget* parent, int lineHeight, int spacing);
    ~TFlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;

    // Lines the items take at `width` pixels (at least 1).
    int LineCount(int width) const;

private:
    // Places the items within `rect` (or only counts the lines when `place` is false).
    int DoLayout(const QRect& rect, bool place) const;

    QList<QLayoutItem*> Items;
    int LineHeight;
};

} // namespace velmora
