#include <gtest/gtest.h>

#include <map>

#include "params/color_rules.h"
#include "params/visual_param.h"

namespace velmora {
namespace {

// A row that remembers what was shown; the test keeps a pointer to its state after handing it over.
struct TShownRow {
    std::string ValueText = "(untouched)";
    uint32_t ValueColour = ColorWhite;
    int ColourChanges = 0;
    std::map<int, uint32_t> IndicatorColours;
    std::map<int, std::string> IndicatorCaptions;
};

class TRecordingDisplay : public TParamDisplay {
public:
    explicit TRecordingDisplay(TShownRow& shown) : Shown(shown) {}
    void SetValueText(std::string_view text) override { Shown.ValueText = text; }
    uint32_t ValueColor() const override { return Shown.ValueColour; }
    void SetValueColor(uint32_t colour) override {
        Shown.ValueColour = colour;
        ++Shown.ColourChanges;
    }
    void SetIndicatorColor(int position, uint32_t colour) override {
        Shown.IndicatorColours[position] = colour;
    }
    void SetIndicatorCaption(int position, std::string_view caption) override {
        Shown.IndicatorCaptions[position] = caption;
    }

private:
    TShownRow& Shown;
};

TEST(VisualParam, ShowsTheValueAndRecoloursOnlyOnChange) {
    ResetColorRules();
    TECUparam coolant(0);
    coolant.Name = "Coolant";
    coolant.Izm = "°";
    coolant.SetCalc("-40");
    coolant.ColorRule = 100;
    TVisualParam view(coolant);
    TShownRow shown;
    view.AttachDisplay(std::make_unique<TRecordingDisplay>(shown));
    EXPECT_EQ(shown.ValueText, "");
    EXPECT_EQ(view.Caption, "Coolant");
    EXPECT_EQ(view.ParamNo, 0);
    EXPECT_EQ(view.ValueWidth, 60);

    coolant.SetRaw(150, 0, 0, 0);
    view.UpdateView();
    EXPECT_EQ(shown.ValueText, "110°");
    EXPECT_EQ(shown.ValueColour, Pale(ColorRed));
    view.UpdateView();
    EXPECT_EQ(shown.ColourChanges, 1);
    coolant.SetRaw(120, 0, 0, 0);
    view.UpdateView();
    EXPECT_EQ(shown.ValueColour, ColorWhite);
    EXPECT_EQ(shown.ColourChanges, 2);
    ResetColorRules();
}

TEST(VisualParam, MaskErrorIsShownInPlaceOfTheValue) {
    TECUparam param(3);
    param.SetCalc("/10");
    param.Mask = "%.3d";
    TVisualParam view(param);
    TShownRow shown;
    view.AttachDisplay(std::make_unique<TRecordingDisplay>(shown));
    param.SetRaw(5, 0, 0, 0);
    view.UpdateView();
    EXPECT_EQ(shown.ValueText, "Format '%.3d' invalid or incompatible with argument");
}

TEST(VisualParam, BitIndicatorsFollowTheirFieldKind) {
    TECUparam status(23);
    status.SetType('X');
    status.Name = "IDLE;|Drive;P/N|Auto;hidden";
    status.ParseBitNames();
    status.BitControls = {1, 2, 3, 0};
    TVisualParam view(status);
    TShownRow shown;
    view.AttachDisplay(std::make_unique<TRecordingDisplay>(shown));
    EXPECT_EQ(shown.IndicatorColours,
              (std::map<int, uint32_t>{{1, ColorWhite}, {2, ColorWhite}, {3, ColorBlack}}));
    EXPECT_EQ(shown.IndicatorCaptions, (std::map<int, std::string>{{3, ""}}));
    EXPECT_EQ(shown.ValueText, "(untouched)");

    status.SetRaw(0b1101, 0, 0, 0);
    view.UpdateView();
    EXPECT_EQ(shown.IndicatorColours,
              (std::map<int, uint32_t>{{1, ColorBlack}, {2, ColorBlack}, {3, ColorBlack}}));
    EXPECT_EQ(shown.IndicatorCaptions[3], "P/N");

    status.SetRaw(0b0010, 0, 0, 0);
    view.UpdateView();
    EXPECT_EQ(shown.IndicatorColours,
              (std::map<int, uint32_t>{{1, ColorWhite}, {2, ColorWhite}, {3, ColorBlack}}));
    EXPECT_EQ(shown.IndicatorCaptions[3], "Auto");
    EXPECT_EQ(shown.IndicatorColours.count(0), 0u);
}

TEST(VisualParam, WideValueForLongValuesAndMarkForRemoval) {
    TECUparam counter(9);
    counter.SetType('L');
    TVisualParam view(counter);
    EXPECT_EQ(view.ValueWidth, 120);
    EXPECT_FALSE(view.Marked);
    view.Mark();
    EXPECT_TRUE(view.Marked);
    view.UpdateView(); // no display attached: nothing to do
}

TEST(VisualParamEx, CombinesThreeBytesIntoOneLine) {
    TECUparam a(20), b(21), c(22);
    c.Name = "CODE NUMBER 22";
    a.SetRaw(1, 0, 0, 0);
    b.SetRaw(22, 0, 0, 0);
    c.SetRaw(77, 0, 0, 0);
    struct TCase {
        uint8_t Code;
        std::string_view Caption, Text;
    };
    const TCase cases[] = {{255, "CODE NUMBER", "001 022 077"},
                           {254, "CODING UNIT NUMBER", "01 16 4d"},
                           {7, "CODE NUMBER 22", "1"}};
    for (const TCase& row : cases) {
        TVisualParamEx view(row.Code, a, b, c);
        TShownRow shown;
        view.AttachDisplay(std::make_unique<TRecordingDisplay>(shown));
        view.UpdateView();
        EXPECT_EQ(view.Caption, row.Caption);
        EXPECT_EQ(shown.ValueText, row.Text);
        EXPECT_EQ(view.ParamNo, row.Code);
        EXPECT_EQ(&view.Param, &c);
        EXPECT_EQ(view.ValueWidth, 120);
    }
}

TEST(VisualParamEx, NextPartCyclesOverThePartsWithAGap) {
    TECUparam a(37), b(38), c(39);
    TVisualParamEx view(254, a, b, c);
    const TECUparam* expected[] = {&a, &b, &c, nullptr, &a, &b, &c, nullptr};
    for (const TECUparam* part : expected)
        EXPECT_EQ(view.NextPart(), part);
}

} // namespace
} // namespace velmora
