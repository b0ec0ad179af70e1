#include "ui/smoothness/smooth_tab.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "engine_link/link_shared.h"
#include "lang/dictionary.h"
#include "platform/host.h"
#include "platform/utf8_path.h"
#include "smoothness/smooth_cylinders.h"

namespace velmora {

namespace {

// Pixels of the panel: the first column, the step between columns, the rows.
constexpr int FirstColumnLeft = 24, ColumnLeft = 96, ColumnStep = 72, ColumnWidth = 64;
constexpr int RadioTop = 6, EditTop = 30, RpmTop = 58, RowHeight = 22, PanelHeight = 86;
constexpr int CheckBoxMargin = 3, ButtonWidth = 96;

QString Text(const char* russian) {
    return QString::fromStdString(Translate(russian));
}

} // namespace

TSmoothTab::TSmoothTab(QWidget* parent) : QWidget(parent) {
    setObjectName("SmoothTab");
    auto* column = new QVBoxLayout(this);
    PanelSmooth = new QWidget;
    PanelSmooth->setObjectName("PanelSmooth");
    PanelSmooth->setFixedHeight(PanelHeight);
    column->addWidget(PanelSmooth);
    for (int i = 0; i < 6; ++i) {
        rb[size_t(i)] = new QRadioButton(QString::number(i + 1), PanelSmooth);
        rb[size_t(i)]->setObjectName(QString("rb%1").arg(i + 1));
        connect(rb[size_t(i)], &QRadioButton::clicked, this, [this, i] {
            if (OnCylinder)
                OnCylinder(i + 1);
        });
        ed[size_t(i)] = new QLineEdit(PanelSmooth);
        ed[size_t(i)]->setObjectName(QString("ed%1").arg(i + 1));
        ed[size_t(i)]->setReadOnly(true);
    }
    rb[0]->setChecked(true);
    rb[0]->setGeometry(FirstColumnLeft, RadioTop, ColumnWidth, RowHeight);
    ed[0]->setGeometry(FirstColumnLeft, EditTop, ColumnWidth, RowHeight);
    edRpm = new QLineEdit("-", PanelSmooth);
    edRpm->setObjectName("edRpm");
    edRpm->setReadOnly(true);
    edRpm->setGeometry(FirstColumnLeft, RpmTop, ColumnWidth, RowHeight);
    LabIndikator = new QLabel("*", PanelSmooth);
    LabIndikator->setObjectName("LabIndikator");
    LabIndikator->setGeometry(4, EditTop, 16, RowHeight);
    cbSmooth1 = new QCheckBox(Text("отображать только отклонения >0.7%"), PanelSmooth);
    cbSmooth1->setObjectName("cbSmooth1");
    BtnSmoothSave = new QPushButton(Text("Сохранить"), PanelSmooth);
    BtnSmoothSave->setObjectName("BtnSmoothSave");
    btnSmoothClear = new QPushButton(Text("Очистить"), PanelSmooth);
    btnSmoothClear->setObjectName("btnSmoothClear");
    connect(BtnSmoothSave, &QPushButton::clicked, this, [this] { SmoothButtonClick(true); });
    connect(btnSmoothClear, &QPushButton::clicked, this, [this] { SmoothButtonClick(false); });
    MemoSm = new QPlainTextEdit;
    MemoSm->setObjectName("MemoSm");
    MemoSm->setReadOnly(true);
    MemoSm->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoSm->setFont(QFont("Courier New"));
    column->addWidget(MemoSm, 1);
    SetUp(4);
    MemoSm->clear();
}

void TSmoothTab::SetUp(int cylinders, const std::string& car, const std::string& unit) {
    Cylinders = cylinders == 6 ? 6 : 4;
    Run.Cylinders = Cylinders;
    Run.Car = car;
    Run.Unit = unit;
    const bool six = Cylinders == 6;
    for (int i : {4, 5}) {
        rb[size_t(i)]->setVisible(six);
        ed[size_t(i)]->setVisible(six);
        if (!six && rb[size_t(i)]->isChecked())
            rb[0]->setChecked(true);
    }
    // The other cylinders in firing order after cylinder 1, one column each.
    const std::span<const uint8_t> columns = SmoothColumns(Cylinders);
    for (size_t i = 1; i < columns.size(); ++i) {
        const int left = ColumnLeft + ColumnStep * int(i - 1);
        rb[columns[i] - 1u]->setGeometry(left, RadioTop, ColumnWidth, RowHeight);
        ed[columns[i] - 1u]->setGeometry(left, EditTop, ColumnWidth, RowHeight);
    }
    PlaceCheckBox();
    for (size_t i = 0; i < rb.size(); ++i)
        if (rb[i]->isChecked() && OnCylinder)
            OnCylinder(int(i) + 1);
    AddRunHeading();
}

void TSmoothTab::PlaceCheckBox() {
    const int left = ColumnLeft + ColumnStep * (Cylinders - 1);
    cbSmooth1->setGeometry(left, RadioTop, std::max(0, PanelSmooth->width() - left - CheckBoxMargin),
                           RowHeight);
    BtnSmoothSave->setGeometry(left, EditTop, ButtonWidth, RowHeight + 4);
    btnSmoothClear->setGeometry(left + ButtonWidth + 6, EditTop, ButtonWidth, RowHeight + 4);
}

void TSmoothTab::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceCheckBox();
}

void TSmoothTab::AddRunHeading() {
    Run.DateTime = DateTimeText();
    for (const std::string& line : TSmoothLines::RunHeading(Run))
        MemoSm->appendPlainText(QString::fromStdString(line));
}

void TSmoothTab::ShowResult(int cylinder, uint32_t wParam) {
    LabIndikator->setVisible(!LabIndikator->isVisible());
    const TSmoothUpdate update = Lines.OnResult(cylinder, SmoothDeviation(wParam), SmoothRpm(wParam),
                                                Cylinders, cbSmooth1->isChecked());
    for (const std::string& line : update.MemoLines)
        MemoSm->appendPlainText(QString::fromStdString(line));
    if (update.ClearEdits)
        for (QLineEdit* edit : ed)
            edit->clear();
    edRpm->setText(QString::fromStdString(update.RpmText));
    if (update.Cylinder >= 1 && update.Cylinder <= 6)
        ed[size_t(update.Cylinder - 1)]->setText(QString::fromStdString(update.EditText));
}

void TSmoothTab::SmoothButtonClick(bool save) {
    if (!save) {
        MemoSm->clear();
        AddRunHeading();
        SmoothFileNo = 0;
        return;
    }
    const std::filesystem::path folder =
        Utf8Path(BuildPath("", "LOGS", Client ? Client() : std::string(), true));
    const std::filesystem::path file = SmoothSaveFile(folder, SmoothFileNo);
    // The saved file says what the rounds so far add up to.
    if (const std::optional<std::string> summary = Lines.Summary())
        MemoSm->appendPlainText(QString::fromStdString(*summary));
    MemoSm->appendPlainText(QString::fromStdString(DateTimeText()));
    const QStringList memo = MemoSm->toPlainText().split('\n');
    std::vector<std::string> lines;
    for (const QString& line : memo)
        lines.push_back(line.toStdString());
    LastSave = file.string();
    if (!SaveSmoothLines(file, lines)) {
        Host().MessageBox(Translate("Не удалось записать файл") + " " + LastSave, TMsgKind::Error,
                          TMsgButtons::Ok);
        return;
    }
    QApplication::beep();
}

} // namespace velmora
