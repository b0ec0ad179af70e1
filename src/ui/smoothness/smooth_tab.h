// The tab "Равномерность": the cylinder the measurement starts each round with (radio buttons in firing
// order), each cylinder's latest deviation, the engine speed, the memo of one line per round and its
// save file. Results arrive as WM_USER+19 from the worker's state 9. Window thread only.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "smoothness/smooth_display.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace velmora {

class TSmoothTab : public QWidget {
    Q_OBJECT
public:
    explicit TSmoothTab(QWidget* parent = nullptr);

    // The tab became active: lays the columns out for four or six cylinders, applies the checked radio
    // button again and starts a run in the memo with its heading (date, `car`, `unit`, the columns); the
    // caller then asks the worker for state 9.
    void SetUp(int cylinders, const std::string& car = {}, const std::string& unit = {});
    // WM_USER+19: `cylinder` 0 starts a round.
    void ShowResult(int cylinder, uint32_t wParam);
    // "Сохранить" (true) and "Очистить" (false).
    void SmoothButtonClick(bool save);

    // The radio buttons hand their cylinder to the worker through this.
    std::function<void(int)> OnCylinder;
    // The chosen client (its folder in LOGS takes the saves); empty for none.
    std::function<std::string()> Client;
    // The file the memo was saved to last.
    std::string SaveFile() const { return LastSave; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceCheckBox();
    void AddRunHeading();

    QWidget* PanelSmooth = nullptr;
    std::array<QRadioButton*, 6> rb{};
    std::array<QLineEdit*, 6> ed{};
    QLineEdit* edRpm = nullptr;
    QLabel* LabIndikator = nullptr;
    QCheckBox* cbSmooth1 = nullptr;
    QPushButton* BtnSmoothSave = nullptr;
    QPushButton* btnSmoothClear = nullptr;
    QPlainTextEdit* MemoSm = nullptr;
    TSmoothLines Lines;
    int Cylinders = 4;
    TSmoothRun Run;       // what the headings name
    int SmoothFileNo = 0; // 0: the next save looks for a free number
    std::string LastSave;
};

} // namespace velmora
