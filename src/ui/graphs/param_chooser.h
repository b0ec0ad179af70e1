// The list dialog that offers the parameters of the connection's set ("Выбор параметра"): one line
// per parameter, its number and name. Window thread only.
#pragma once

#include <QDialog>

class QListWidget;

namespace velmora {

class TListParams;

inline constexpr int NoParamChosen = 255;

class TParamChooser : public QDialog {
    Q_OBJECT
public:
    TParamChooser(const TListParams& params, QWidget* parent = nullptr);
    // The number of the selected line, or 255 when none is.
    int ChosenNumber() const;
    QListWidget* List() const { return lb; }

private:
    QListWidget* lb = nullptr;
};

// Runs the dialog: the chosen parameter's number, or 255 when cancelled.
int ChooseParam(const TListParams& params, QWidget* parent);

} // namespace velmora
