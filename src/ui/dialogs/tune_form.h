// The settings dialog: language and the font sizes of parameter names, values and status bits, with a
// live preview; the values take effect after a restart. Window thread only.
#pragma once

#include <QDialog>

#include "settings/program_settings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace velmora {

class TFormTun : public QDialog {
    Q_OBJECT
public:
    TFormTun(const TProgramSettings& settings, QWidget* parent = nullptr);

    // One arrow of a font size: `step` -1 or 1 through the size list; a size not in the list takes the
    // first entry.
    void StepFontSize(QWidget* control, int step);
    // "Сохранить": the preview's values into `settings`, the chosen language; a box when anything changed.
    void Button1Click(TProgramSettings& settings);
    char ChosenLanguage = 'R';

private:
    void LayoutPreview();
    void cbOnlyRealStatusClick();
    QPushButton* Arrow(const char* name, const char* caption, int tag, QWidget* control);

    QCheckBox* cbOnlyRealStatus = nullptr;
    QRadioButton* rbRus = nullptr;
    QRadioButton* rbEng = nullptr;
    QRadioButton* rbDe = nullptr;
    QFrame* PanelStatus = nullptr;
    QList<QLabel*> StatusPanels;
    QLabel* LabelTest = nullptr;
    QFrame* PanelParams = nullptr;
    QLabel* labelName = nullptr;
    QLabel* LabelValue = nullptr;
    QComboBox* cbValues = nullptr;
    char StartLanguage = 'R';
};

// Runs the dialog; true when it closed with "Сохранить": `settings` then holds the new sizes and
// smart-status switch, and `language` the chosen language (the running program keeps its own).
bool ShowSettings(TProgramSettings& settings, char& language, QWidget* parent);

} // namespace velmora
