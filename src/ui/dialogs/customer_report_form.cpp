#include "ui/dialogs/customer_report_form.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "history/session_recorder.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "report/customer_report.h"

namespace velmora {

namespace {

QString Tr(const char* russian) {
    return QString::fromStdString(Translate(russian));
}

} // namespace

TCustomerReportForm::TCustomerReportForm(TCustomerReportData report, QImage graph, std::string client,
                                         THistoryRecorder* history, QWidget* parent)
    : QDialog(parent), Data(std::move(report)), Graph(std::move(graph)), Client(std::move(client)),
      History(history) {
    setObjectName("FormCustomerReport");
    setWindowTitle(Tr("Отчёт для клиента"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    edMileage = new QLineEdit(QString::fromStdString(Data.Mileage));
    edMileage->setObjectName("edMileage");
    edNotes = new QPlainTextEdit(QString::fromStdString(Data.Notes));
    edNotes->setObjectName("edNotes");
    edNotes->setMinimumHeight(80);
    form->addRow(Tr("Пробег, км"), edMileage);
    form->addRow(Tr("Примечания"), edNotes);
    layout->addLayout(form);
    cbGraph = new QCheckBox(Tr("Добавить график"));
    cbGraph->setObjectName("cbGraph");
    cbGraph->setEnabled(!Graph.isNull());
    layout->addWidget(cbGraph);

    auto* buttons = new QHBoxLayout;
    auto* workshop = new QPushButton(Tr("Мастерская…"));
    auto* save = new QPushButton(Tr("Сохранить PDF"));
    auto* print = new QPushButton(Tr("Печать…"));
    auto* close = new QPushButton(Tr("Закрыть"));
    save->setObjectName("btnSavePdf");
    print->setObjectName("btnPrint");
    save->setDefault(true);
    for (QPushButton* button : {workshop, save, print, close})
        buttons->addWidget(button);
    layout->addLayout(buttons);
    connect(workshop, &QPushButton::clicked, this, [this] { EditWorkshop(); });
    connect(save, &QPushButton::clicked, this, [this] {
        if (!SavePdf().empty())
            accept();
    });
    connect(print, &QPushButton::clicked, this, [this] { Print(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

TCustomerReportData TCustomerReportForm::Completed() const {
    TCustomerReportData report = Data;
    report.Workshop = ReadWorkshop(); // as the workshop dialog may just have changed it
    report.Mileage = edMileage->text().trimmed().toStdString();
    report.Notes = edNotes->toPlainText().trimmed().toStdString();
    return report;
}

QImage TCustomerReportForm::ChosenGraph() const {
    return cbGraph->isChecked() ? Graph : QImage();
}

std::string TCustomerReportForm::SavePdf() {
    std::string error;
    const std::optional<std::filesystem::path> file =
        SaveReportPdf(Completed(), ChosenGraph(), Client, {}, error);
    if (!file) {
        Host().MessageBox(TranslateFormat("Отчёт не сохранён: %s", error.c_str()), TMsgKind::Error,
                          TMsgButtons::Ok);
        return {};
    }
    const std::u8string path = file->u8string();
    const std::string text(path.begin(), path.end());
    if (History) {
        History->AddFile("report", text);
        History->AddMileage(edMileage->text().trimmed().toStdString());
    }
    AddLog(TranslateFormat("Отчёт сохранён: %s", text.c_str()));
    return text;
}

void TCustomerReportForm::Print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    RenderReport(Completed(), ChosenGraph(), printer);
}

void TCustomerReportForm::EditWorkshop() {
    EditWorkshopDetails(this);
}

bool EditWorkshopDetails(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("FormWorkshop");
    dialog.setWindowTitle(Tr("Данные мастерской"));
    const TWorkshop workshop = ReadWorkshop();
    auto* form = new QFormLayout(&dialog);
    auto* name = new QLineEdit(QString::fromStdString(workshop.Name));
    auto* address = new QLineEdit(QString::fromStdString(workshop.Address));
    auto* phone = new QLineEdit(QString::fromStdString(workshop.Phone));
    name->setMinimumWidth(320);
    form->addRow(Tr("Название"), name);
    form->addRow(Tr("Адрес"), address);
    form->addRow(Tr("Телефон"), phone);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Save)->setText(Tr("Сохранить"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Tr("Закрыть"));
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return SaveWorkshop({name->text().trimmed().toStdString(), address->text().trimmed().toStdString(),
                         phone->text().trimmed().toStdString()});
}

} // namespace velmora
