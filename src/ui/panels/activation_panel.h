// The activation panel (pnlActivation): one group per actuator channel of the unit's test mode, check
// boxes for the bit channels, an up-down or a track bar for the others. The controls hold only what the
// user asked for: every change queues the channel's command for the worker, and the values the unit took
// (WM_USER+13) are shown apart, in each group's read-back line. Built on WM_USER+11, when the test mode
// is open. Window thread only.
#pragma once

#include <QFrame>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "actuators/actuator_channels.h"

class QAbstractSlider;
class QCheckBox;
class QLabel;
class QHBoxLayout;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace velmora {

struct TActuatorState;

class TActivationPanel : public QFrame {
    Q_OBJECT
public:
    // `state` gives the worker's request fields, or nullptr while there is no worker.
    explicit TActivationPanel(std::function<TActuatorState*()> state, QWidget* parent = nullptr);

    // WM_USER+11: the controls of every channel at the unit's standard state (nothing ticked, up-downs
    // at "no change"; the newest generation has its own), the read-back of the values the unit took so
    // far (the worker posts the entry values before this message), and the panel shown.
    void Build(bool newestGeneration);
    // WM_USER+13: the unit took `value` on channel `command`; the channel's read-back line says so. The
    // controls stay as the user set them.
    void ShowValue(uint8_t command, uint8_t value);
    // The connection ended: no controls and no values until the next test mode.
    void Clear();
    // "Сброс", and closing the panel: every control back to the unit's standard state and the worker
    // told to send every output its standard value; the read-back lines show what the unit took.
    void ResetOutputs();

private:
    struct TChannelControls {
        const TActuatorChannel* Channel = nullptr;
        TPanelChannel Panel;
        QLabel* ReadBack = nullptr;
        std::vector<std::pair<QCheckBox*, uint8_t>> Bits;
        QSpinBox* UpDown = nullptr;
        QAbstractSlider* TrackBar = nullptr;
    };

    void RemoveControls();
    void AddChannel(const TActuatorChannel& channel, const TPanelChannel& panel, int column);
    void ShowReadBack(const TChannelControls& controls) const;
    // The control's value for the channel, queued for the worker.
    void Changed(uint8_t command);
    void btnActResetClick();

    QScrollArea* Scroll = nullptr;
    QWidget* Groups = nullptr;
    QHBoxLayout* Row = nullptr; // the channel groups, left to right
    QPushButton* Reset = nullptr;
    std::function<TActuatorState*()> State;
    std::map<uint8_t, TChannelControls> Controls;
    std::map<uint8_t, uint8_t> Values; // per command, the value the unit took last
    bool NewestGeneration = false;     // the unit's standard state is the newest generation's
};

} // namespace velmora
