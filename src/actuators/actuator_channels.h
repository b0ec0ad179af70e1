// The actuator channels of the engine units (command bytes 0xD0-0xDC) as one table: the control the
// window shows for each, its captions and range, the value the unit takes for a control position and the
// value posted when the test mode opens. The worker and the window read the same rows; constant data,
// any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora {

enum class TControlKind : uint8_t {
    None,       // no control: the channel only gets its entry value
    CheckBoxes, // eight check boxes A-H, bits 0x01-0x80; the value is the sum of the checked bits
    UpDown,
    TrackBar,
};

// How a control position (percent) becomes the value byte.
enum class TValueScale : uint8_t {
    BitMask,  // the position is the bit sum itself
    Throttle, // -100..+100 %: 64 = no change (ThrottleValue)
    Mixture,  // -50..+50 %: 0x80 = no change, 128 steps per 50 %
    Percent,  // the percentage is the value
};

struct TActuatorChannel {
    uint8_t Command;
    const char* Name; // what the channel drives, as the panel's group caption; empty without a control
    TControlKind Control;
    TValueScale Scale;
    // Check boxes: the caption of bit 0x01 << i; other controls: Captions[0]. Empty where unused.
    std::array<const char*, 8> Captions;
    int16_t Min, Max, Step;   // control positions, %
    uint8_t EntryValue;       // posted when the test mode opens
    uint8_t NewestEntryValue; // the same for units of the newest generation
};

std::span<const TActuatorChannel> ActuatorChannels();
const TActuatorChannel* FindActuatorChannel(uint8_t command);

// The throttle motor's value for a position of -100..+100 %: p >= 0 gives 64 + p * 191 / 100, p < 0
// gives 64 + p * 64 / 100, rounded to the nearest integer and kept within 0..255.
uint8_t ThrottleValue(int percent);
// The value byte for a control position (check boxes: the sum of the checked bits).
uint8_t ChannelValue(const TActuatorChannel& channel, int position);
// The control position that shows a value the unit took (the window's answer to WM_USER+13). A value
// outside the control's range (the fan's 0x80, "not driven") shows as the lowest position.
int ChannelPosition(const TActuatorChannel& channel, uint8_t value);
uint8_t EntryValue(const TActuatorChannel& channel, bool newestGeneration);

// The activation panel as the window builds it: data only, captions translated.
struct TPanelControl {
    std::string Caption;
    uint8_t Bit = 0; // the check box's bit; 0 for an up-down or a track bar
};

struct TPanelChannel {
    uint8_t Command = 0;
    std::string Name;
    TControlKind Control = TControlKind::None;
    std::vector<TPanelControl> Controls; // one per check box, else one
    int Min = 0, Max = 0, Step = 0;
    // The unit's standard state as a control position (the entry value's): where an up-down or a track
    // bar starts, and for check boxes the bit mask that no ticked box changes.
    int EntryPosition = 0;
};

// The channels that have a control, in command order.
std::vector<TPanelChannel> BuildActivationPanel(bool newestGeneration);

} // namespace velmora
