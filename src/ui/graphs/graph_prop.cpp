#include "ui/graphs/graph_prop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "lang/dictionary.h"
#include "platform/host.h"
#include "ui/common/translate_widgets.h"
#include "ui/common/widget_colors.h"
#include "ui/graphs/graph.h"

namespace velmora {

namespace {

QString Fixed(float value, int decimals) {
    return QString::number(double(value), 'f', decimals);
}

bool ReadNumber(const QString& text, float& value) {
    std::string word = text.trimmed().toStdString();
    std::replace(word.begin(), word.end(), ',', '.');
    char* end = nullptr;
    value = std::strtof(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(value);
}

} // namespace

TgraphProp::TgraphProp(const TGraphParam& view, QWidget* parent) : QDialog(parent) {
    setObjectName("graphProp");
    setWindowTitle("Свойства параметра");
    TECUparam& param = view.Param;
    int decimals = param.Decimals;
    auto* layout = new QVBoxLayout(this);
    auto* bounds = new QHBoxLayout;
    bounds->addWidget(new QLabel("Границы экрана:"));
    lbMin = new QLabel(Fixed(param.RangeMin(), decimals));
    lbMax = new QLabel(Fixed(param.RangeMax(), decimals));
    lbMin->setObjectName("lbMin");
    lbMax->setObjectName("lbMax");
    bounds->addWidget(lbMin);
    bounds->addWidget(lbMax);
    layout->addLayout(bounds);

    auto* form = new QFormLayout;
    edMin = new QLineEdit(Fixed(view.RangeLo, decimals));
    edMin->setObjectName("edMin");
    EdMax = new QLineEdit(Fixed(view.RangeHi, decimals));
    EdMax->setObjectName("EdMax");
    cbColor = new QComboBox;
    cbColor->setObjectName("cbColor");
    for (const char* name : GraphColorNames) {
        QPixmap swatch(12, 12);
        swatch.fill(FromBgr(ColorFromName(name)));
        cbColor->addItem(QIcon(swatch), name);
    }
    cbColor->setCurrentText(QString::fromStdString(ColorName(view.Color)));
    QStringList lines;
    for (int i = 0; i < view.LineCount; ++i)
        lines << Fixed(view.Lines[size_t(i)], decimals);
    edLines = new QLineEdit(lines.join(' '));
    edLines->setObjectName("edLines");
    form->addRow(new QLabel("Минимум"), edMin);
    form->addRow(new QLabel("Максимум"), EdMax);
    // Next to the fixed range: fitted to the values shown instead.
    cbAuto = new QCheckBox("Автомасштаб");
    cbAuto->setObjectName("cbAuto");
    cbAuto->setChecked(view.AutoScale);
    form->addRow(nullptr, cbAuto);
    form->addRow(new QLabel("Цвет"), cbColor);
    form->addRow(new QLabel("Сетка значений"), edLines);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    btnOk = new QPushButton("ОК");
    btnOk->setObjectName("btnOk");
    auto* cancel = new QPushButton("Отмена");
    cancel->setObjectName("btnCancel");
    for (QPushButton* b : {btnOk, cancel})
        b->setAutoDefault(false);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    if (Language() != 'R')
        TranslateControl(this);
}

void TgraphProp::keyPressEvent(QKeyEvent* event) {
    // Enter presses OK when it has the focus and otherwise moves on, as in a form of fields.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == btnOk)
            accept();
        else
            focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TgraphProp::Apply(TGraphParam& view, std::string& error) const {
    float lo = 0, hi = 0;
    if (!ReadNumber(edMin->text(), lo) || !ReadNumber(EdMax->text(), hi)) {
        error = Translate("Неверное число:") + " " +
                (ReadNumber(edMin->text(), lo) ? EdMax : edMin)->text().toStdString();
        return false;
    }
    std::vector<float> grid;
    std::istringstream words(edLines->text().toStdString());
    for (std::string word; words >> word;) {
        float value = 0;
        if (!ReadNumber(QString::fromStdString(word), value)) {
            error = Translate("Неверное число:") + " " + word;
            return false;
        }
        grid.push_back(value);
    }
    if (grid.size() > TGraphParam::MaxLines) {
        error = Translate("Не больше 8 значений сетки");
        return false;
    }
    if (lo > hi) {
        error = Translate("Минимум больше максимума:") + " " + edMin->text().toStdString() + " > " +
                EdMax->text().toStdString();
        return false;
    }
    view.Color = ColorFromName(cbColor->currentText().toStdString());
    if (cbAuto->isChecked() && !view.AutoScale) {
        view.AutoLo = lo;
        view.AutoHi = hi == lo ? lo + 1 : hi;
    }
    view.AutoScale = cbAuto->isChecked();
    view.RangeLo = lo;
    view.RangeHi = hi == lo ? lo + 1 : hi;
    view.LineCount = uint8_t(grid.size());
    std::copy(grid.begin(), grid.end(), view.Lines.begin());
    return true;
}

void EditProperties(TGraphParam& view, QWidget* parent) {
    TgraphProp dialog(view, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::string error;
    if (!dialog.Apply(view, error))
        Host().MessageBox(error, TMsgKind::Error, TMsgButtons::Ok);
}

} // namespace velmora
