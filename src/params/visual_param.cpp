#include "params/visual_param.h"

#include "params/color_rules.h"
#include "params/param_errors.h"
#include "params/param_text.h"
#include "params/value_format.h"

namespace velmora {

namespace {

constexpr size_t MaxCaptionChars = 255;
constexpr int32_t NarrowValueWidth = 60;
constexpr int32_t WideValueWidth = 120;

// How an indicator shows its bit: lit when set ("IDLE", also "A/C|"), lit when clear ("|Drive", "|"),
// or one of two captions ("P/N|Drive").
enum class TIndicatorKind { LitWhenSet, LitWhenClear, TwoCaptions };

TIndicatorKind KindOf(std::string_view field) {
    if (field.starts_with('|'))
        return TIndicatorKind::LitWhenClear;
    size_t bar = field.find('|');
    if (bar == std::string_view::npos || bar + 1 == field.size())
        return TIndicatorKind::LitWhenSet;
    return TIndicatorKind::TwoCaptions;
}

struct TPartsFormat {
    uint8_t Code;
    std::string_view Caption;
    std::string_view Format;
};

constexpr TPartsFormat PartsFormats[] = {
    {254, "CODING UNIT NUMBER", "%.2x %.2x %.2x"},
    {255, "CODE NUMBER", "%.3d %.3d %.3d"},
};

} // namespace

TBaseParam::TBaseParam(TECUparam& param)
    : ParamNo(uint8_t(param.Number)), Param(param), Caption(Utf8Prefix(param.Name, MaxCaptionChars)) {}

TVisualParam::TVisualParam(TECUparam& param)
    : TBaseParam(param), ValueWidth(param.ParamType == 'L' ? WideValueWidth : NarrowValueWidth) {}

void TVisualParam::AttachDisplay(std::unique_ptr<TParamDisplay> display) {
    RowDisplay = std::move(display);
    ClearView();
}

void TVisualParam::ClearView() {
    if (!RowDisplay)
        return;
    if (Param.ParamType == 'X')
        UpdateIndicators(0, false);
    else
        RowDisplay->SetValueText("");
}

void TVisualParam::UpdateView() {
    if (!RowDisplay)
        return;
    if (Param.ParamType == 'X') {
        UpdateIndicators(Param.AsInteger(), true);
        return;
    }
    try {
        RowDisplay->SetValueText(Param.FormatValue());
    } catch (const FormatError& error) {
        // A mask that does not fit the value is a fault of the description: show it in place of the value.
        RowDisplay->SetValueText(error.what());
    }
    if (Param.ColorRule > 0) {
        uint32_t colour = ColorOf(Param.ColorRule, Param.AsSingle());
        if (colour != RowDisplay->ValueColor())
            RowDisplay->SetValueColor(colour);
    }
}

void TVisualParam::UpdateIndicators(int32_t bits, bool hasValue) {
    for (int bit = 0; bit < Param.BitFieldCount(); ++bit) {
        int position = Param.BitControls[size_t(bit)];
        if (position <= 0)
            continue;
        bool set = (bits >> bit) & 1;
        switch (KindOf(Param.BitFieldText(bit))) {
        case TIndicatorKind::LitWhenSet:
            RowDisplay->SetIndicatorColor(position, hasValue && set ? ColorBlack : ColorWhite);
            break;
        case TIndicatorKind::LitWhenClear:
            RowDisplay->SetIndicatorColor(position, hasValue && !set ? ColorBlack : ColorWhite);
            break;
        case TIndicatorKind::TwoCaptions:
            RowDisplay->SetIndicatorCaption(position, hasValue ? Param.BitPiece(bit, set) : "");
            RowDisplay->SetIndicatorColor(position, ColorBlack);
            break;
        }
    }
}

TVisualParamEx::TVisualParamEx(uint8_t code, TECUparam& part1, TECUparam& part2, TECUparam& part3)
    : TVisualParam(part3), Parts{&part1, &part2, &part3}, PartsFormat("%d") {
    ParamNo = code;
    ValueWidth = WideValueWidth;
    for (const TPartsFormat& row : PartsFormats) {
        if (row.Code == code) {
            Caption = row.Caption;
            PartsFormat = row.Format;
        }
    }
}

void TVisualParamEx::UpdateView() {
    TParamDisplay* display = Display();
    if (!display)
        return;
    std::array<TFormatArg, 3> args;
    for (size_t i = 0; i < Parts.size(); ++i)
        args[i] = TFormatArg::Integer(Parts[i]->AsInteger() % 256);
    display->SetValueText(FormatMask(PartsFormat, args));
}

TECUparam* TVisualParamEx::NextPart() {
    if (NextPartIndex >= int32_t(Parts.size())) {
        NextPartIndex = 0;
        return nullptr;
    }
    return Parts[size_t(NextPartIndex++)];
}

} // namespace velmora
