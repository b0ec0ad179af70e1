// The replay bar under the top bar while a recording is open: what is shown (a recording, its name,
// date and car, and whether its times were estimated), play and pause, the speed, a position slider
// with the recording's clock, a jump to a typed time, the comparison with a second recording (its
// offset) and closing. Window thread only.
#pragma once

#include <QFrame>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace velmora {

class TReplayConnection;

// "mm:ss" (and "h:mm:ss" from an hour on) of `ms`.
std::string ReplayClockText(uint32_t ms);
// A typed time: "ss", "mm:ss" or "h:mm:ss" (seconds may have a fraction); none when it does not read.
std::optional<uint32_t> ParseReplayClock(const std::string& text);

class TReplayBar : public QFrame {
    Q_OBJECT
public:
    // Speeds offered, in the order of the speed box; TReplayConnection::FastSpeed last.
    static constexpr int Speeds[] = {1, 2, 4, 8, 16, 0};

    explicit TReplayBar(QWidget* parent = nullptr);

    // Shows the bar for `replay` (nullptr hides it).
    void Attach(TReplayConnection* replay);
    // Follows the replay's position and state.
    void Follow();
    // A second recording is compared (its name), or none.
    void ShowComparison(const std::string& name);
    // The offset the compared recording is shown at (ms), set from elsewhere than the bar.
    void ShowOffset(int32_t offsetMs);

    std::function<void()> OnClose;
    std::function<void()> OnCompare;
    std::function<void(int32_t offsetMs)> OnOffset;

private:
    void JumpClick();

    TReplayConnection* Replay = nullptr;
    QLabel* labRecording = nullptr;
    QPushButton* btnPlay = nullptr;
    QComboBox* cbSpeed = nullptr;
    QSlider* sbPosition = nullptr;
    QLabel* labClock = nullptr;
    QLineEdit* edJump = nullptr;
    QPushButton* btnCompare = nullptr;
    QLabel* labCompare = nullptr;
    QDoubleSpinBox* edOffset = nullptr;
};

} // namespace velmora
