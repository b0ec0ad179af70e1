// One row of a parameter screen: the value label and the name label, or for a bit parameter (type X)
// one indicator per shown bit field. The row is the view's display (TParamDisplay). Window thread only.
#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

#include "params/visual_param.h"

class QLabel;

namespace velmora {

class TFlowLayout;
class TFramePacer;

struct TRowFonts {
    int PrmFontSize = 12;
    int ValueFontSize = 12;
    int StatusFontSize = 12;
    bool StatusSmartShow = true;
};

// Position of the first indicator among a row's children (0 is the value label, 1 the name label), as
// TECUparam::BitControls records it.
inline constexpr int FirstIndicatorPosition = 2;
inline constexpr int RowHeight = 30;          // pixels
inline constexpr int IndicatorWidthStep = 16; // indicator widths are multiples of this (pixels)

// Whether a bit field gets an indicator: not empty, and with the smart status switch on not a
// placeholder name (only digits, '?', 'S', 's' and '_', such as 23_16, SS24_32 or ?).
bool ShowsBitField(std::string_view field, bool smartShow);

class TParamRow : public QFrame {
    Q_OBJECT
public:
    // Builds the row for `view` (its parameter's BitControls get the indicator positions) and attaches
    // the row as the view's display. The indicators of a bit parameter wrap onto as many lines as the
    // row's width needs; the row's height follows.
    TParamRow(TVisualParam& view, const TRowFonts& fonts, QWidget* parent = nullptr);

    QLabel* ValueLabel() const { return Value; }
    QLabel* NameLabel() const { return Name; }
    // The unit beside the value for a value whose description has none (engine speed, injection time,
    // battery voltage, road speed); empty for the others, nullptr in a row of status lamps.
    QLabel* UnitLabel() const { return Unit; }
    const QList<QLabel*>& Indicators() const { return IndicatorLabels; }
    // A row of value and name as low as its text allows (compact page), or its usual height.
    void SetCompact(bool compact);
    // The height of the row outside a compact page.
    int UsualRowHeight() const { return Unit ? UsualHeight : sizeHint().height(); }
    // Grey text for a value read slowly, the normal text colour otherwise.
    void SetStale(bool stale);
    // Lines the indicators take at the row's present width (1 for a row of value and name).
    int LineCount() const;

    // What the view shows. Without a pacer each change is drawn at once; with one, the changes wait
    // for the pacer's frame (ApplyPending), and only the last of each counts.
    void SetPacer(TFramePacer* pacer);
    void ShowValueText(const QString& text);
    void ShowValueColour(const QColor& colour);
    // Indicator `index` (0 the first) lit or unlit, or its caption.
    void ShowLamp(int index, bool lit);
    void ShowCaption(int index, const QString& caption);
    // Draws the changes that wait for the frame.
    void ApplyPending();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildIndicators(TVisualParam& view, const TRowFonts& fonts);
    void FitHeight();
    void ApplyLamp(int index, bool lit);

    int UsualHeight = RowHeight; // a value row's height outside a compact page
    QLabel* Value = nullptr;
    QLabel* Name = nullptr;
    QLabel* Unit = nullptr;
    QList<QLabel*> IndicatorLabels;
    TFlowLayout* Flow = nullptr;

    static constexpr int8_t NoChange = -1;
    QPointer<TFramePacer> Pacer;
    std::vector<bool> LampLit; // as drawn
    std::optional<QString> PendingText;
    std::optional<QColor> PendingColour;
    std::vector<int8_t> PendingLit; // per indicator: NoChange, 0 unlit, 1 lit
    std::vector<std::optional<QString>> PendingCaption;
};

} // namespace velmora
