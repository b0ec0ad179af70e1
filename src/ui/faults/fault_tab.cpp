#include "ui/faults/fault_tab.h"

#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "connection/com_reader.h"
#include "faults/fault_display.h"
#include "faults/fault_list.h"
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
// The table's columns, and how the space splits between the table and the details under it.
enum TFaultColumn { ColumnCode, ColumnState, ColumnText, ColumnCount };
constexpr int TableStretch = 3, DetailsStretch = 1;

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
    // A table a mechanic can scan (code, state, short text), and what the selected fault means and what
    // to check under it.
    lbPostErr = Named(new QTableWidget(0, ColumnCount), "lbPostErr");
    lbPostErr->setHorizontalHeaderLabels({Tr("Код"), Tr("Состояние"), Tr("Неисправность")});
    lbPostErr->verticalHeader()->hide();
    lbPostErr->horizontalHeader()->setSectionResizeMode(ColumnCode, QHeaderView::ResizeToContents);
    lbPostErr->horizontalHeader()->setSectionResizeMode(ColumnState, QHeaderView::ResizeToContents);
    lbPostErr->horizontalHeader()->setStretchLastSection(true);
    lbPostErr->setSelectionBehavior(QAbstractItemView::SelectRows);
    lbPostErr->setSelectionMode(QAbstractItemView::SingleSelection);
    lbPostErr->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbPostErr->setWordWrap(false);
    connect(lbPostErr, &QTableWidget::itemSelectionChanged, this, [this] { ShowDetails(); });
    memoFaultDetails = Named(new QPlainTextEdit, "memoFaultDetails");
    memoFaultDetails->setReadOnly(true);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(lbPostErr);
    split->addWidget(memoFaultDetails);
    split->setStretchFactor(0, TableStretch);
    split->setStretchFactor(1, DetailsStretch);
    layout->addWidget(split, 1);

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
    TFaultRow reading;
    reading.Notice = true;
    reading.Text = Translate("Чтение памяти неисправностей. Ждите...");
    ShowRows({reading});
    SetWaiting(true);
    Connection.RequestFaultView();
}

void TFaultTab::HandleFaultMessage(intptr_t wParam) {
    if (wParam == ClearFaults) {
        ShowRows({});
        return;
    }
    std::optional<TFaultData> faults = Connection.FaultData();
    if (!faults)
        return;
    TFaultTexts texts = LoadFaultTexts(faults->Context.UnitType, cbErrRus->isChecked(), LanguageLetter());
    std::vector<TFaultRow> rows =
        FaultDisplayRows(faults->Buffer, faults->Context, texts, cbPostOnly->isChecked());
    MarkRecurringFaults(rows, Connection.History());
    ShowRows(std::move(rows));
    SetWaiting(false);
    // An erase clears the stored faults; one whose cause is still there is current again at once, and
    // without a word the user would think the erase failed.
    if (std::exchange(EraseAsked, false)) {
        const std::vector<TFault> left = CollectFaults(faults->Buffer, faults->Context, MaxReportedFaults);
        if (std::any_of(left.begin(), left.end(), [](const TFault& f) { return f.Current; }))
            Host().MessageBox(Translate("Ошибка осталась после удаления: ее причина все еще есть. Устраните "
                                        "неисправность, затем удалите ошибки снова."),
                              TMsgKind::Information, TMsgButtons::Ok);
    }
}

void TFaultTab::ShowRows(std::vector<TFaultRow> rows) {
    // The selection is kept by position, so that a redraw (every read, every switch) stays where the user
    // was looking.
    const int selected = lbPostErr->currentRow();
    Rows = std::move(rows);
    const QSignalBlocker quiet(lbPostErr);
    lbPostErr->clearSpans();
    lbPostErr->setRowCount(int(Rows.size()));
    int firstFault = -1;
    for (int r = 0; r < int(Rows.size()); ++r) {
        const TFaultRow& row = Rows[size_t(r)];
        if (row.Notice) {
            lbPostErr->setItem(r, ColumnCode, new QTableWidgetItem(QString::fromStdString(row.Text)));
            // The cells under the span keep nothing from an earlier fault row.
            delete lbPostErr->takeItem(r, ColumnState);
            delete lbPostErr->takeItem(r, ColumnText);
            lbPostErr->setSpan(r, 0, 1, ColumnCount);
            continue;
        }
        if (firstFault < 0)
            firstFault = r;
        auto* code = new QTableWidgetItem(QString::asprintf("%.3d", row.Code));
        auto* state = new QTableWidgetItem(QString::fromStdString(row.State));
        // A current fault is there now: it stands out from the stored ones.
        if (row.Current)
            state->setForeground(ColorRed);
        auto* text = new QTableWidgetItem(QString::fromStdString(row.Text));
        // A fault an earlier visit erased and that is back: the repair did not hold.
        if (row.Recurring)
            text->setForeground(ColorRed);
        lbPostErr->setItem(r, ColumnCode, code);
        lbPostErr->setItem(r, ColumnState, state);
        lbPostErr->setItem(r, ColumnText, text);
    }
    const int select = selected >= 0 && selected < int(Rows.size()) && !Rows[size_t(selected)].Notice
                           ? selected
                           : firstFault;
    if (select >= 0)
        lbPostErr->setCurrentCell(select, ColumnCode);
    else
        lbPostErr->clearSelection();
    ShowDetails();
}

void TFaultTab::ShowDetails() {
    const int r = lbPostErr->currentRow();
    const QList<QTableWidgetItem*> selected = lbPostErr->selectedItems();
    if (selected.isEmpty() || r < 0 || r >= int(Rows.size()) || Rows[size_t(r)].Notice) {
        memoFaultDetails->clear();
        return;
    }
    const TFaultRow& row = Rows[size_t(r)];
    QStringList text;
    text << QString::asprintf("%.3d", row.Code) + ",  " + QString::fromStdString(row.State) +
                (row.Text.empty() ? QString() : ",  " + QString::fromStdString(row.Text));
    for (const std::string& line : row.Details)
        text << QString::fromStdString(line);
    memoFaultDetails->setPlainText(text.join('\n'));
}

void TFaultTab::btnEraseClick() {
    // Without a live link the worker takes no request: nothing to wait for.
    if (!Connection.IsAlive())
        return;
    // A recording is only looked at: the unit it came from is not on the line.
    if (const std::string refusal = Connection.RefusesCommands(); !refusal.empty()) {
        Host().MessageBox(Translate(refusal), TMsgKind::Information, TMsgButtons::Ok);
        return;
    }
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
    EraseAsked = true;
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
