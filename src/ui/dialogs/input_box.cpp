#include "ui/dialogs/input_box.h"

#include <QInputDialog>

namespace velmora {

namespace {

TInputAnswer installed;

} // namespace

std::optional<std::string> InputQuery(QWidget* parent, const std::string& caption, const std::string& prompt,
                                      const std::string& value) {
    if (installed)
        return installed(caption, value);
    bool ok = false;
    QString text =
        QInputDialog::getText(parent, QString::fromStdString(caption), QString::fromStdString(prompt),
                              QLineEdit::Normal, QString::fromStdString(value), &ok);
    if (!ok)
        return std::nullopt;
    return text.toStdString();
}

void SetInputAnswer(TInputAnswer answer) {
    installed = std::move(answer);
}

} // namespace velmora
