#include "ui/screens/param_row.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <algorithm>
#include <utility>

#include "lang/dictionary.h"
#include "params/display_unit.h"
#include "ui/common/flow_layout.h"
#include "ui/common/frame_pacer.h"
#include "ui/common/widget_colors.h"

namespace velmora {

namespace {

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Lamp colours: a lit lamp is white on dark green, an unlit one dark grey on light grey; contrast at
// least 4.5:1 in both states, whatever the theme's own colours.
const QColor LampLitBackground(0x1B, 0x6E, 0x2E);
const QColor LampLitText(Qt::white);
const QColor LampOffBackground(0xE4, 0xE4, 0xE4);
const QColor LampOffText(0x50, 0x50, 0x50);
constexpr uint32_t LampShownColour = 0x000000;

void SetLamp(QLabel* lamp, bool lit) {
    SetBackground(lamp, lit ? LampLitBackground : LampOffBackground);
    SetTextColour(lamp, lit ? LampLitText : LampOffText);
}

// The row's controls as the view sees them; the row may be gone before the view (page closed first).
class TRowDisplay : public TParamDisplay {
public:
    explicit TRowDisplay(TParamRow* row) : Row(row) {}

    void SetValueText(std::string_view text) override {
        if (Row)
            Row->ShowValueText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
    uint32_t ValueColor() const override { return Colour; }
    void SetValueColor(uint32_t colour) override {
        Colour = colour;
        if (Row)
            Row->ShowValueColour(FromBgr(colour));
    }
    void SetIndicatorColor(int position, uint32_t colour) override {
        // The view says black for a state shown, white for one not shown; the lamp draws both with
        // its own background, so it reads the same in every theme.
        if (Row)
            Row->ShowLamp(position - FirstIndicatorPosition, colour == LampShownColour);
    }
    void SetIndicatorCaption(int position, std::string_view caption) override {
        if (Row)
            Row->ShowCaption(position - FirstIndicatorPosition,
                             " " + QString::fromUtf8(caption.data(), qsizetype(caption.size())) + " ");
    }

private:
    QPointer<TParamRow> Row;
    uint32_t Colour = 0xFFFFFF;
};

// The combined code lines keep their protocol captions in the views (exchange logs, CSV files); the
// window names them in the user's language.
struct TCombinedCaption {
    uint8_t ParamNo;
    const char* Caption;
};
constexpr TCombinedCaption CombinedCaptions[] = {{254, "Кодировка блока"}, {255, "Кодовый номер"}};

QString ShownCaption(const TVisualParam& view) {
    for (const TCombinedCaption& row : CombinedCaptions) {
        if (row.ParamNo == view.ParamNo && view.ParamNo != view.Param.Number)
            return QString::fromStdString(Translate(row.Caption));
    }
    return QString::fromStdString(view.Caption);
}

// Wide enough for every unit of the built-in sets and for this row's own, so that the names
// of a page line up whether a row has a unit or not.
int UnitColumnWidth(const QFontMetrics& metrics, const std::string& own) {
    int widest = metrics.horizontalAdvance(QString::fromStdString(own));
    for (const std::string& unit : ColumnUnits())
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(unit)));
    return widest + metrics.averageCharWidth();
}

int RoundUp(int value, int step) {
    return (value + step - 1) / step * step;
}

// A status lamp: its width is a multiple of IndicatorWidthStep, and it may shrink to one step when the
// row is narrower than the lamp.
class TIndicator : public QLabel {
public:
    TIndicator(const QString& caption, int width, QWidget* parent) : QLabel(caption, parent), Width(width) {
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setAlignment(Qt::AlignCenter);
        setMinimumWidth(IndicatorWidthStep);
        resize(Width, height());
    }
    QSize sizeHint() const override { return {Width, QLabel::sizeHint().height()}; }

private:
    int Width;
};

} // namespace

bool ShowsBitField(std::string_view field, bool smartShow) {
    if (field.empty())
        return false;
    if (!smartShow)
        return true;
    return field.find_first_not_of("0123456789?Ss_") != std::string_view::npos;
}

TParamRow::TParamRow(TVisualParam& view, const TRowFonts& fonts, QWidget* parent) : QFrame(parent) {
    setObjectName(QString("row%1").arg(view.ParamNo));
    QFont font = this->font();
    font.setPointSize(fonts.PrmFontSize);
    setFont(font);
    setFixedHeight(RowHeight);

    Value = new QLabel(this);
    Value->setObjectName("value");
    Value->setAlignment(Qt::AlignCenter);
    SetBackground(Value, Qt::white);
    QFont valueFont = font;
    valueFont.setPointSize(fonts.ValueFontSize);
    Value->setFont(valueFont);
    Value->setFixedWidth(fonts.ValueFontSize * view.ValueWidth / 12);
    Name = new QLabel(ShownCaption(view), this);
    Name->setObjectName("name");
    // A long name is cut at the page's edge (the whole of it in the tip) rather than widening the window.
    Name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Name->setToolTip(Name->text());

    if (view.Param.ParamType == 'X') {
        Value->hide();
        Name->hide();
        BuildIndicators(view, fonts);
    } else {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(1, 1, 1, 1);
        layout->addWidget(Value);
        // A column of one width in every row, so the names line up whether a row has a unit or not.
        std::string unit = view.ParamNo == view.Param.Number ? DisplayUnit(view.Param) : std::string();
        Unit = new QLabel(QString::fromStdString(unit), this);
        Unit->setObjectName("unit");
        Unit->setFont(valueFont);
        Unit->setFixedWidth(UnitColumnWidth(QFontMetrics(valueFont), unit));
        layout->addWidget(Unit);
        layout->addWidget(Name, 1);
        int valueHeight = QFontMetrics(valueFont).height() * 5 / 3;
        if (valueHeight > RowHeight)
            setFixedHeight(valueHeight);
        UsualHeight = height();
    }
    view.AttachDisplay(std::make_unique<TRowDisplay>(this));
}

void TParamRow::SetCompact(bool compact) {
    if (!Unit)
        return; // a row of lamps keeps the lines its lamps need
    // The taller of the two fonts and a pixel above and below.
    const int tight = std::max(QFontMetrics(Value->font()).height(), QFontMetrics(Name->font()).height()) + 4;
    setFixedHeight(compact ? std::min(tight, UsualHeight) : UsualHeight);
}

void TParamRow::BuildIndicators(TVisualParam& view, const TRowFonts& fonts) {
    TECUparam& param = view.Param;
    QFont font = this->font();
    font.setPointSize(fonts.StatusFontSize);
    font.setBold(param.FontStyle == 'B');
    setFont(font);
    QFontMetrics metrics(font);

    // Indicators go left to right and wrap onto as many lines as the row's width needs.
    Flow = new TFlowLayout(this, std::max(RowHeight, metrics.height() * 5 / 3), 1);
    Flow->setContentsMargins(1, 1, 1, 0);
    for (int bit = 0; bit < param.BitFieldCount(); ++bit) {
        std::string_view field = param.BitFieldText(bit);
        param.BitControls[size_t(bit)] = 0;
        if (!ShowsBitField(field, fonts.StatusSmartShow))
            continue;
        QString caption = " " + QString::fromUtf8(field.data(), qsizetype(field.size())) + " ";
        auto* indicator = new TIndicator(
            caption, RoundUp(metrics.horizontalAdvance(caption) + 4, IndicatorWidthStep), this);
        indicator->setObjectName(QString("bit%1").arg(bit));
        SetLamp(indicator, false);
        LampLit.push_back(false);
        Flow->addWidget(indicator);
        param.BitControls[size_t(bit)] = FirstIndicatorPosition + int(IndicatorLabels.size());
        IndicatorLabels.append(indicator);
    }
    FitHeight();
}

void TParamRow::SetPacer(TFramePacer* pacer) {
    Pacer = pacer;
    PendingLit.assign(size_t(IndicatorLabels.size()), NoChange);
    PendingCaption.assign(size_t(IndicatorLabels.size()), std::nullopt);
}

void TParamRow::ShowValueText(const QString& text) {
    if (!Pacer) {
        Value->setText(text);
        return;
    }
    // A value that shows what the label shows already costs no frame.
    if (!PendingText && text == Value->text())
        return;
    PendingText = text;
    Pacer->Request();
}

void TParamRow::ShowValueColour(const QColor& colour) {
    if (!Pacer) {
        SetBackground(Value, colour);
        return;
    }
    PendingColour = colour;
    Pacer->Request();
}

void TParamRow::ShowLamp(int index, bool lit) {
    if (index < 0 || index >= IndicatorLabels.size())
        return;
    if (!Pacer) {
        ApplyLamp(index, lit);
        return;
    }
    int8_t& pending = PendingLit[size_t(index)];
    if (pending == NoChange && LampLit[size_t(index)] == lit)
        return;
    pending = lit ? 1 : 0;
    Pacer->Request();
}

void TParamRow::ShowCaption(int index, const QString& caption) {
    if (index < 0 || index >= IndicatorLabels.size())
        return;
    if (!Pacer) {
        IndicatorLabels[index]->setText(caption);
        return;
    }
    std::optional<QString>& pending = PendingCaption[size_t(index)];
    if (!pending && IndicatorLabels[index]->text() == caption)
        return;
    pending = caption;
    Pacer->Request();
}

void TParamRow::ApplyPending() {
    if (PendingText)
        Value->setText(*std::exchange(PendingText, std::nullopt));
    if (PendingColour)
        SetBackground(Value, *std::exchange(PendingColour, std::nullopt));
    for (size_t i = 0; i < PendingLit.size(); ++i) {
        if (PendingLit[i] != NoChange)
            ApplyLamp(int(i), std::exchange(PendingLit[i], NoChange) == 1);
        if (PendingCaption[i])
            IndicatorLabels[int(i)]->setText(*std::exchange(PendingCaption[i], std::nullopt));
    }
}

void TParamRow::ApplyLamp(int index, bool lit) {
    // A palette change costs a style pass and a repaint: only a lamp that changes gets one.
    if (LampLit[size_t(index)] == lit)
        return;
    LampLit[size_t(index)] = lit;
    SetLamp(IndicatorLabels[index], lit);
}

int TParamRow::LineCount() const {
    return Flow ? Flow->LineCount(width()) : 1;
}

void TParamRow::FitHeight() {
    if (Flow)
        setFixedHeight(Flow->heightForWidth(width()));
}

void TParamRow::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    // The parent lays the row out by width; the height follows the lines the indicators take then.
    FitHeight();
}

void TParamRow::SetStale(bool stale) {
    QColor colour = stale ? ColorGrey : QPalette().color(QPalette::WindowText);
    SetTextColour(Value, colour);
    SetTextColour(Name, colour);
    if (Unit)
        SetTextColour(Unit, colour);
    Value->repaint();
    Name->repaint();
}

} // namespace velmora
