// The properties dialog of one graph view (TgraphProp, "Свойства параметра"): bottom and top value
// or autoscale, colour and grid values. The changes hold for this run; the settings file is not written.
// Window thread only.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class TGraphParam;

class TgraphProp : public QDialog {
    Q_OBJECT
public:
    explicit TgraphProp(const TGraphParam& view, QWidget* parent = nullptr);

    // Stores the dialog's values in `view`; false with `error` (and `view` unchanged) when a text is not
    // a number or there are more than 8 grid values.
    bool Apply(TGraphParam& view, std::string& error) const;

    QLineEdit* edMin = nullptr;
    QLineEdit* EdMax = nullptr;
    QComboBox* cbColor = nullptr;
    QCheckBox* cbAuto = nullptr;
    QLineEdit* edLines = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* lbMin = nullptr;
    QLabel* lbMax = nullptr;
    QPushButton* btnOk = nullptr;
};

// Runs the dialog for `view`; conversion errors are shown in a box and the view keeps its values.
void EditProperties(TGraphParam& view, QWidget* parent);

} // namespace velmora
