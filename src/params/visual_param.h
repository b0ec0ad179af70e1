// Views of a parameter: what a screen or graph shows of one TECUparam. The display controls sit behind
// TParamDisplay, which the GUI implements, so that the indicator states, captions and colours are
// decided (and tested) here. Views are built and updated on the window thread; the worker reads
// Marked, PollEveryCycle and NextPart.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "params/ecu_param.h"

namespace velmora {

// The controls of one parameter row: a value label, a name label and, for an X parameter, the bit
// indicators, addressed by their position among the row's children (TECUparam::BitControls).
class TParamDisplay {
public:
    virtual ~TParamDisplay() = default;
    virtual void SetValueText(std::string_view text) = 0;
    virtual uint32_t ValueColor() const = 0;
    virtual void SetValueColor(uint32_t colour) = 0;
    // The colour an indicator is drawn in (black: the state is shown, white: it is not).
    virtual void SetIndicatorColor(int position, uint32_t colour) = 0;
    virtual void SetIndicatorCaption(int position, std::string_view caption) = 0;
};

class TBaseParam {
public:
    explicit TBaseParam(TECUparam& param);
    virtual ~TBaseParam() = default;
    TBaseParam(const TBaseParam&) = delete;
    TBaseParam& operator=(const TBaseParam&) = delete;

    // Shows the current value.
    virtual void UpdateView() = 0;
    // Asks the list that polls this view to remove it when its cursor next reaches it.
    virtual void Mark() { Marked = true; }

    uint8_t ParamNo;
    std::atomic<bool> Marked{false};
    TECUparam& Param;
    std::string Caption; // at most 255 characters
};

class TVisualParam : public TBaseParam {
public:
    explicit TVisualParam(TECUparam& param);

    // Takes the row's controls (they live as long as the view) and shows the state before a value.
    void AttachDisplay(std::unique_ptr<TParamDisplay> display);
    TParamDisplay* Display() const { return RowDisplay.get(); }

    void UpdateView() override;
    // The state before the first value: an empty value text, X indicators white or without caption.
    void ClearView();

    std::atomic<bool> PollEveryCycle{false};
    int32_t ValueWidth;

private:
    void UpdateIndicators(int32_t bits, bool hasValue);

    std::unique_ptr<TParamDisplay> RowDisplay;
};

// Three one-byte parameters shown as one line ("CODE NUMBER" 255, "CODING UNIT NUMBER" 254).
class TVisualParamEx : public TVisualParam {
public:
    TVisualParamEx(uint8_t code, TECUparam& part1, TECUparam& part2, TECUparam& part3);

    void UpdateView() override;
    // The next part to poll; after the third, none (nullptr) and the cycle starts again. Worker only.
    TECUparam* NextPart();

    std::array<TECUparam*, 3> Parts;
    int32_t NextPartIndex = 0;
    std::string PartsFormat;
};

} // namespace velmora
