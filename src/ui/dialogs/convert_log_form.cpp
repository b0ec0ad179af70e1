#include "ui/dialogs/convert_log_form.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "lang/dictionary.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

QString Tr(const char* russian) {
    return QString::fromStdString(Translate(russian));
}

template <class T> T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

} // namespace

TConvertLogForm::TConvertLogForm(const std::filesystem::path& path, QWidget* parent) : QDialog(parent) {
    setObjectName("ConvertLogForm");
    setWindowTitle(Tr("Преобразовать лог файл"));
    auto* grid = new QGridLayout(this);
    edPath = Named(new QLineEdit(QString::fromStdString(path.string())), "edPath");
    edPath->setMinimumWidth(420);
    auto* file = Named(new QPushButton(Tr("Файл...")), "btnFile");
    auto* folder = Named(new QPushButton(Tr("Папка...")), "btnFolder");
    connect(file, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getOpenFileName(this, Tr("Преобразовать лог файл"), edPath->text(), "*.bin");
        if (!chosen.isEmpty())
            edPath->setText(chosen);
    });
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, Tr("Преобразовать лог файл"), edPath->text());
        if (!chosen.isEmpty())
            edPath->setText(chosen);
    });
    grid->addWidget(new QLabel(Tr("Лог файл или папка:")), 0, 0);
    grid->addWidget(edPath, 0, 1);
    grid->addWidget(file, 0, 2);
    grid->addWidget(folder, 0, 3);

    edEcuIni = Named(new QLineEdit, "edEcuIni");
    edEcuIni->setPlaceholderText(Tr("ECU.ini в папке программы"));
    auto* ecuIni = Named(new QPushButton(Tr("Файл...")), "btnEcuIni");
    connect(ecuIni, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, "ECU.ini", edEcuIni->text(), "*.ini");
        if (!chosen.isEmpty())
            edEcuIni->setText(chosen);
    });
    grid->addWidget(new QLabel(Tr("Описание параметров:")), 1, 0);
    grid->addWidget(edEcuIni, 1, 1);
    grid->addWidget(ecuIni, 1, 2);

    cbOnlyNew = Named(new QCheckBox(Tr("Только новые файлы")), "cbOnlyNew");
    cbCsv = Named(new QCheckBox(Tr("Значения параметров также в CSV")), "cbCsv");
    grid->addWidget(cbOnlyNew, 2, 1);
    grid->addWidget(cbCsv, 3, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 4, 0, 1, 4);
}

std::filesystem::path TConvertLogForm::Path() const {
    return Utf8Path(edPath->text().trimmed().toStdString());
}

TConvertOptions TConvertLogForm::Options() const {
    TConvertOptions options;
    options.OnlyNew = cbOnlyNew->isChecked();
    options.Csv = cbCsv->isChecked();
    options.EcuIni = Utf8Path(edEcuIni->text().trimmed().toStdString());
    return options;
}

} // namespace velmora
