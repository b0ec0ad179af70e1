#include "ui/param_row.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

#include "ui/widget_colors.h"

namespace velmora {

namespace {

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// The row's controls as the view sees them; the row may be gone before the view (page closed first).
class TRowDisplay : public TParamDisplay {
public:
    explicit TRowDisplay(TParamRow* row) : Row(row) {}

    void SetValueText(std::string_view text) override {
        if (Row)
            Row->ValueLabel()->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
    uint32_t ValueColor() const override { return Colour; }
    void SetValueColor(uint32_t colour) override {
        Colour = colour;
        if (Row)
            SetBackground(Row->ValueLabel(), FromBgr(colour));
    }
    void SetIndicatorColor(int position, uint32_t colour) override {
        if (QLabel* indicator = At(position))
            SetTextColour(indicator, FromBgr(colour));
    }
    void SetIndicatorCaption(int position, std::string_view caption) override {
        if (QLabel* indicator = At(position))
            indicator->setText(" " + QString::fromUtf8(caption.data(), qsizetype(caption.size())) + " ");
    }

private:
    QLabel* At(int position) const {
        int index = position - FirstIndicatorPosition;
        if (!Row || index < 0 || index >= Row->Indicators().size())
            return nullptr;
        return Row->Indicators()[index];
    }

    QPointer<TParamRow> Row;
    uint32_t Colour = 0xFFFFFF;
};

int RoundUp(int value, int step) {
    return (value + step - 1) / step * step;
}

} // namespace

bool ShowsBitField(std::string_view field, bool smartShow) {
    if (field.empty())
        return false;
    if (!smartShow)
        return true;
    return field.find_first_not_of("0123456789?Ss_") != std::string_view::npos;
}

TParamRow::TParamRow(TVisualParam& view, const TRowFonts& fonts, int width, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QString("row%1").arg(view.ParamNo));
    QFont font = this->font();
    font.setPointSize(fonts.PrmFontSize);
    setFont(font);
    setFixedHeight(RowHeight);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    Value = new QLabel(this);
    Value->setObjectName("value");
    Value->setAlignment(Qt::AlignCenter);
    SetBackground(Value, Qt::white);
    QFont valueFont = font;
    valueFont.setPointSize(fonts.ValueFontSize);
    Value->setFont(valueFont);
    Value->setFixedWidth(fonts.ValueFontSize * view.ValueWidth / 12);
    Name = new QLabel(QString::fromStdString(view.Caption), this);
    Name->setObjectName("name");
    layout->addWidget(Value);
    layout->addWidget(Name, 1);

    int valueHeight = QFontMetrics(valueFont).height() * 5 / 3;
    if (valueHeight > RowHeight)
        setFixedHeight(valueHeight);

    if (view.Param.ParamType == 'X') {
        Value->hide();
        Name->hide();
        BuildIndicators(view, fonts, width);
    }
    view.AttachDisplay(std::make_unique<TRowDisplay>(this));
}

void TParamRow::BuildIndicators(TVisualParam& view, const TRowFonts& fonts, int width) {
    TECUparam& param = view.Param;
    QFont font = this->font();
    font.setPointSize(fonts.StatusFontSize);
    font.setBold(param.FontStyle == 'B');
    setFont(font);
    QFontMetrics metrics(font);

    // Indicators go left to right; what does not fit in the first line goes to a second one.
    auto* lines = new QVBoxLayout;
    lines->setSpacing(1);
    QHBoxLayout* line = nullptr;
    int used = width; // forces the first line
    int lineCount = 0;
    for (int bit = 0; bit < param.BitFieldCount(); ++bit) {
        std::string_view field = param.BitFieldText(bit);
        param.BitControls[size_t(bit)] = 0;
        if (!ShowsBitField(field, fonts.StatusSmartShow))
            continue;
        QString caption = " " + QString::fromUtf8(field.data(), qsizetype(field.size())) + " ";
        auto* indicator = new QLabel(caption, this);
        indicator->setObjectName(QString("bit%1").arg(bit));
        indicator->setFrameStyle(QFrame::Panel | QFrame::Raised);
        indicator->setAlignment(Qt::AlignCenter);
        int indicatorWidth = RoundUp(metrics.horizontalAdvance(caption) + 4, IndicatorWidthStep);
        indicator->setFixedWidth(indicatorWidth);
        if (used + indicatorWidth > width && lineCount < 2) {
            line = new QHBoxLayout;
            line->setSpacing(1);
            lines->addLayout(line);
            ++lineCount;
            used = 0;
        }
        line->addWidget(indicator);
        used += indicatorWidth;
        param.BitControls[size_t(bit)] = FirstIndicatorPosition + int(IndicatorLabels.size());
        IndicatorLabels.append(indicator);
    }
    for (int i = 0; i < lines->count(); ++i)
        static_cast<QHBoxLayout*>(lines->itemAt(i)->layout())->addStretch(1);
    static_cast<QHBoxLayout*>(layout())->insertLayout(0, lines, 1);
    setFixedHeight(std::max(RowHeight, metrics.height() * 5 / 3) * std::max(lineCount, 1));
}

void TParamRow::SetStale(bool stale) {
    QColor colour = stale ? ColorGrey : QPalette().color(QPalette::WindowText);
    SetTextColour(Value, colour);
    SetTextColour(Name, colour);
    Value->repaint();
    Name->repaint();
}

} // namespace velmora
