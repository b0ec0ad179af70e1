#include "ui/faults/fault_tab.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "connection/com_reader.h"
#include "faults/fault_display.h"
#include "faults/fault_report.h"
#include "faults/fault_texts.h"
#include "lang/dictionary.h"
#include "platform/host.h"
#include "ui/common/flow_layout.h"
#include "ui/common/saved_notice.h"
#include "ui/common/widget_colors.h"
#include "ui/faults/recurring_marks.h"
#include "ui/window/connection_control.h"

namespace velmora {

namespace {

constexpr int ReportFontSize = 12;                   // points
constexpr int ReportWidth = 640, ReportHeight = 560; // pixels
constexpr int CommandSpacing = 6;                    // pixels between the commands under the list

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

QString Tr(std::string_view text) {
    return QString::fromStdString(Translate(text));
}

} // namespace

TFaultTab::TFaultTab(TConnectionControl& connection, std::function<char()> languageLetter,
                     std::function<std::string()> client, QWidget* parent)
    : QWidget(parent), Connection(connection), LanguageLetter(std::move(languageLetter)),
      Client(std::move(client)) {
    setObjectName("FaultTab");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    lbPostErr = Named(new QListWidget, "lbPostErr");
    layout->addWidget(lbPostErr, 1);

    auto* erase = Named(new QPushButton("Удаление ошибок"), "btnEraseErr");
    connect(erase, &QPushButton::clicked, this, [this] { btnEraseClick(); });
    auto* report = Named(new QPushButton("Сохранить отчет в файл"), "btnSaveReport");
    connect(report, &QPushButton::clicked, this, [this] { btnReportClick(); });
    cbErrRus = Named(new QCheckBox("русский текст ошибки"), "cbErrRus");
    connect(cbErrRus, &QCheckBox::clicked, this, [this] { HandleFaultMessage(ShowFaults); });
    cbPostOnly = Named(new QCheckBox("Только сохраненные ошибки"), "cbPostOnly");
    connect(cbPostOnly, &QCheckBox::clicked, this, [this] { cbPostOnlyClick(); });
    pnlWait = Named(new QLabel(QString::fromStdString(Translate("ждите..."))), "pnlErrWait");
    pnlWait->setAlignment(Qt::AlignCenter);
    pnlWait->setMinimumWidth(60);
    SetBackground(pnlWait, ColorRed);
    pnlWait->hide();
    // The commands wrap onto a second line when their texts (translated ones too) are wider than the
    // page, rather than widening the window.
    auto* commands = new TFlowLayout(nullptr, erase->sizeHint().height() + CommandSpacing, CommandSpacing);
    for (QWidget* widget : std::initializer_list<QWidget*>{erase, report, cbErrRus, cbPostOnly, pnlWait})
        commands->addWidget(widget);
    layout->addLayout(commands);
}

void TFaultTab::StartView() {
    lbPostErr->clear();
    lbPostErr->addItem(Tr("Чтение памяти неисправностей. Ждите..."));
    SetWaiting(true);
    Connection.RequestFaultView();
}

void TFaultTab::HandleFaultMessage(intptr_t wParam) {
    if (wParam == ClearFaults) {
        lbPostErr->clear();
        return;
    }
    std::optional<TFaultData> faults = Connection.FaultData();
    if (!faults)
        return;
    TFaultTexts texts = LoadFaultTexts(faults->Context.UnitType, cbErrRus->isChecked(), LanguageLetter());
    lbPostErr->clear();
    for (const std::string& line :
         FaultDisplayLines(faults->Buffer, faults->Context, texts, cbPostOnly->isChecked()))
        lbPostErr->addItem(QString::fromStdString(line));
    MarkRecurringFaults(*lbPostErr, Connection.History());
    SetWaiting(false);
}

void TFaultTab::btnEraseClick() {
    // Without a live link the worker takes no request: nothing to wait for.
    if (!Connection.IsAlive())
        return;
    // A unit without the erase command would only show its faults again: say so instead.
    if (const std::optional<TFaultData> faults = Connection.FaultData();
        faults && !CanEraseFaults(faults->Context.UnitType, faults->Context.DiagIndex)) {
        Host().MessageBox(Translate(CannotEraseText), TMsgKind::Information, TMsgButtons::Ok);
        return;
    }
    // Erasing cannot be undone: the stored faults are the record of what the car did.
    if (Host().MessageBox(
            Translate("Стереть память неисправностей блока? Сохраненные ошибки будут потеряны."),
            TMsgKind::Confirmation, TMsgButtons::YesNo) != TMsgResult::Yes)
        return;
    SetWaiting(true);
    Connection.RequestErase();
}

bool TFaultTab::btnReportClick() {
    std::optional<TFaultData> faults = Connection.FaultData();
    if (!faults) {
        AddLog(Translate("Нет данных: память неисправностей еще не прочитана."));
        return false;
    }
    TFaultTexts texts = LoadFaultTexts(faults->Context.UnitType, cbErrRus->isChecked(), LanguageLetter());
    const TFaultReportHead head{LocalTimeNow(), Client(), faults->Ident};
    std::vector<std::string> lines =
        FaultReport(faults->Buffer, faults->Context, texts, cbPostOnly->isChecked(), head);

    if (!Report) {
        auto* window = Named(new QDialog(this), "frmReport");
        window->resize(ReportWidth, ReportHeight);
        Report = Named(new QPlainTextEdit(window), "memoReport");
        Report->setReadOnly(true);
        QFont font = Report->font();
        font.setPointSize(ReportFontSize);
        Report->setFont(font);
        (new QVBoxLayout(window))->addWidget(Report);
    }
    Report->window()->setWindowTitle(Tr(FaultReportTitle));
    QStringList text;
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    Report->setPlainText(text.join('\n'));
    Report->window()->show();

    std::optional<std::filesystem::path> file = SaveFaultReport(lines, head.Client, head.When);
    if (file)
        ShowNotice(this, Translate("Отчет сохранен в файл") + " " + file->string());
    return file.has_value();
}

void TFaultTab::cbPostOnlyClick() {
    bool on = cbPostOnly->isChecked();
    QPalette palette = cbPostOnly->palette();
    palette.setColor(QPalette::WindowText, on ? ColorRed : this->palette().color(QPalette::WindowText));
    cbPostOnly->setPalette(palette);
    QFont font = cbPostOnly->font();
    font.setBold(on);
    cbPostOnly->setFont(font);
    HandleFaultMessage(ShowFaults);
}

void TFaultTab::StopWaiting() {
    SetWaiting(false);
}

void TFaultTab::SetWaiting(bool waiting) {
    // The red mark is there only while a read or an erase runs.
    pnlWait->setVisible(waiting);
}

} // namespace velmora
