// The analog-diagnosis side panel (PnlAnalogDiag): the three slow-code buttons, gated by "Я понимаю, что
// я делаю", the Bosch 08/93 switch, the unit whose blink-code meanings are shown, a progress line for the
// run and the close button. It only shows and asks; TLineFunctions runs the slow codes. Window thread only.
#pragma once

#include <QFrame>
#include <functional>

#include "slow_codes/blink_code_meanings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace velmora {

struct TSlowCodeOptions;
struct TSlowCodeProgress;

class TAnalogPanel : public QFrame {
    Q_OBJECT
public:
    // `run` starts a slow-code run with the options of the button pressed; `close` hides the panel.
    TAnalogPanel(std::function<void(const TSlowCodeOptions&)> run, std::function<void()> close,
                 QWidget* parent = nullptr);

    // Unchecks "Я понимаю, что я делаю", which disables the three buttons (each time the panel is shown).
    void Reset();
    // While a run goes on the buttons are disabled and the progress line follows it.
    void SetRunning(bool running);
    void ShowProgress(const TSlowCodeProgress& progress);
    // The unit whose blink codes the run explains (the user's choice, or the last connection's family).
    TBlinkUnit Unit() const;
    void SetUnit(TBlinkUnit unit);

private:
    void UpdateButtons();

    std::function<void(const TSlowCodeOptions&)> Run;
    QPushButton* btnLedRead = nullptr;
    QPushButton* btnLedErase = nullptr;
    QPushButton* btnLedAdaptErase = nullptr;
    QCheckBox* cbLedEnabled = nullptr;
    QCheckBox* cbBosch93 = nullptr;
    QComboBox* cbLedUnit = nullptr;
    QLabel* labLedProgress = nullptr;
    bool Running = false;
};

} // namespace velmora
