#include "ui/graphs/param_chooser.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/dictionary.h"
#include "params/param_list.h"

namespace velmora {

TParamChooser::TParamChooser(const TListParams& params, QWidget* parent) : QDialog(parent) {
    setObjectName("frm");
    setWindowTitle(QString::fromStdString(Translate("Выбор параметра")));
    resize(360, 420);
    auto* layout = new QVBoxLayout(this);
    lb = new QListWidget;
    lb->setObjectName("lb");
    for (const auto& param : params) {
        auto* item =
            new QListWidgetItem(QString::number(param->Number) + "  " + QString::fromStdString(param->Name));
        item->setData(Qt::UserRole, int(param->Number));
        lb->addItem(item);
    }
    lb->setCurrentRow(0);
    connect(lb, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(lb, 1);
    auto* pnl = new QWidget;
    pnl->setObjectName("pnl");
    auto* buttons = new QHBoxLayout(pnl);
    auto* ok = new QPushButton(QString::fromStdString(Translate("ОК")));
    ok->setObjectName("btnOK");
    auto* cancel = new QPushButton(QString::fromStdString(Translate("Отмена")));
    cancel->setObjectName("btnCancel");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    layout->addWidget(pnl);
}

int TParamChooser::ChosenNumber() const {
    QListWidgetItem* item = lb->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : NoParamChosen;
}

int ChooseParam(const TListParams& params, QWidget* parent) {
    TParamChooser chooser(params, parent);
    if (chooser.exec() != QDialog::Accepted)
        return NoParamChosen;
    return chooser.ChosenNumber();
}

} // namespace velmora
