// The engine-mode and answer-rate label of the main window's top panel, as state without widgets: the
// bit set of what the label shows (WM_USER+14) and the answers-per-second count (WM_USER+4). Window
// thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// How the label is to be drawn.
struct TReactionLook {
    int PointSize = 12;
    bool Red = false;
    bool Bold = false;
    std::string Text; // translated
    bool operator==(const TReactionLook&) const = default;
};

// The text of an engine mode code (translated).
std::string EngineModeText(int code);

class TEngineModeState {
public:
    static constexpr uint32_t Background = 2, ModeShown = 4, Wait = 8;

    // One WM_USER+14 event (-2, -4, -8 clear a bit; 2, 8 set it; 4 sets it and stores the mode code).
    // Returns the label's new look when it has to be redrawn.
    std::optional<TReactionLook> Apply(int event, int modeCode);
    // The answers-per-second figure is shown only while no other state is.
    bool RateVisible() const { return Bits == 1; }
    uint32_t Tag() const { return Bits; }

private:
    TReactionLook Look() const;

    uint32_t Bits = 1; // bit 0 stays set
    int ModeCode = 0;
    std::optional<TReactionLook> Shown;
};

class TAnswerRate {
public:
    static constexpr uint32_t MinPeriodMs = 300;

    // Counts one answer stamped `tick` (ms). When at least 300 ms passed since the last update, returns
    // the answers per second over that time and starts a new count. A tick not later than the stored
    // one counts as 0 ms.
    std::optional<int> OnAnswer(uint32_t tick);

private:
    uint32_t LastUpdate = 0;
    int Count = 0;
};

} // namespace velmora
