// The dialog of "Преобразовать лог файл": the log file or folder to convert, only new logs, a CSV of the
// values, and the parameter descriptions (ECU.ini of the program folder unless another is chosen).
// Window thread only.
#pragma once

#include <QDialog>

#include <filesystem>

#include "log_convert/log_converter.h"

class QCheckBox;
class QLineEdit;

namespace velmora {

class TConvertLogForm : public QDialog {
    Q_OBJECT
public:
    // Starts with `path` (the LOGS folder, say).
    TConvertLogForm(const std::filesystem::path& path, QWidget* parent = nullptr);

    std::filesystem::path Path() const;
    TConvertOptions Options() const;

private:
    QLineEdit* edPath = nullptr;
    QLineEdit* edEcuIni = nullptr;
    QCheckBox* cbOnlyNew = nullptr;
    QCheckBox* cbCsv = nullptr;
};

} // namespace velmora
