#include "ui/dialogs/tune_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "lang/dictionary.h"
#include "platform/host.h"
#include "ui/common/translate_widgets.h"

namespace velmora {

namespace {

constexpr const char* FontSizes[] = {"14", "16", "18", "20", "24", "32"};

struct TStatusPanelRow {
    const char* Name;
    const char* Caption;
};

constexpr TStatusPanelRow StatusPanelRows[] = {
    {"pnl231", "IDLE"}, {"pnl232", "P/N"}, {"pnl233", "A/C"}, {"pnl237", "SS23_64"}, {"pnl238", "SS23_128"},
};

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void SetPointSize(QWidget* widget, int size) {
    QFont font = widget->font();
    font.setPointSize(size);
    widget->setFont(font);
}

// |font height| x 5/3, as the parameter rows size themselves.
int RowHeight(const QWidget* widget) {
    return QFontMetrics(widget->font()).height() * 5 / 3;
}

} // namespace

TFormTun::TFormTun(const TProgramSettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName("FormTun");
    setWindowTitle("Настройка программы");
    StartLanguage = Language();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Named(new QLabel("Оформление"), "Label2"));
    cbOnlyRealStatus = Named(new QCheckBox("Отображать только реальные статусы"), "cbOnlyRealStatus");
    connect(cbOnlyRealStatus, &QCheckBox::clicked, this, [this] { cbOnlyRealStatusClick(); });
    layout->addWidget(cbOnlyRealStatus);

    auto* rgLang = Named(new QGroupBox("Язык"), "rgLang");
    auto* langs = new QHBoxLayout(rgLang);
    // Each language is offered in its own name, in every window.
    rbRus = Named(new QRadioButton("Русский"), "rbRus");
    rbEng = Named(new QRadioButton("English"), "rbEng");
    rbDe = Named(new QRadioButton("Deutsch"), "rbDe");
    for (QRadioButton* rb : {rbRus, rbEng, rbDe}) {
        MarkAsDataField(rb);
        langs->addWidget(rb);
    }
    layout->addWidget(rgLang);

    auto* PanelHead = Named(new QFrame, "PanelHead");
    auto* head = new QVBoxLayout(PanelHead);
    PanelStatus = Named(new QFrame, "PanelStatus");
    auto* statusRow = new QHBoxLayout(PanelStatus);
    statusRow->setContentsMargins(0, 0, 0, 0);
    for (const TStatusPanelRow& row : StatusPanelRows) {
        auto* panel = Named(new QLabel(row.Caption), row.Name);
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setAlignment(Qt::AlignCenter);
        statusRow->addWidget(panel);
        StatusPanels.append(panel);
    }
    statusRow->addStretch(1);
    LabelTest = Named(new QLabel(this), "LabelTest");
    LabelTest->hide();
    head->addWidget(PanelStatus);
    PanelParams = Named(new QFrame, "PanelParams");
    auto* params = new QHBoxLayout(PanelParams);
    // The panel is exactly one row high (LayoutPreview): margins would cut the text.
    params->setContentsMargins(0, 0, 0, 0);
    labelName = Named(new QLabel("Температура двигателя"), "labelName");
    LabelValue = Named(new QLabel("80°"), "LabelValue");
    LabelValue->setAlignment(Qt::AlignCenter);
    LabelValue->setAutoFillBackground(true);
    LabelValue->setStyleSheet("background: white");
    params->addWidget(LabelValue);
    params->addWidget(labelName, 1);
    head->addWidget(PanelParams);
    layout->addWidget(PanelHead);

    cbValues = Named(new QComboBox(this), "cbValues");
    for (const char* size : FontSizes)
        cbValues->addItem(size);
    cbValues->hide();

    auto* PanelBottom = Named(new QFrame, "PanelBottom");
    auto* bottom = new QHBoxLayout(PanelBottom);
    bottom->addWidget(new QLabel("Значение"));
    bottom->addWidget(Arrow("btnValueDec", "<", -1, LabelValue));
    bottom->addWidget(Arrow("btnValueInc", ">", 1, LabelValue));
    bottom->addWidget(new QLabel("Название"));
    bottom->addWidget(Arrow("btnNameDec", "<", -1, labelName));
    bottom->addWidget(Arrow("btnNameInc", ">", 1, labelName));
    bottom->addWidget(new QLabel("Статус"));
    bottom->addWidget(Arrow("Button4", "<", -1, PanelStatus));
    bottom->addWidget(Arrow("Button5", ">", 1, PanelStatus));
    layout->addWidget(PanelBottom);

    auto* Panel1 = Named(new QFrame, "Panel1");
    auto* buttons = new QHBoxLayout(Panel1);
    auto* close = Named(new QPushButton("Закрыть"), "Button2");
    auto* save = Named(new QPushButton("Сохранить"), "Button1");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(save);
    layout->addWidget(Panel1);

    SetPointSize(LabelValue, settings.ValueFontSize);
    SetPointSize(labelName, settings.PrmFontSize);
    SetPointSize(PanelStatus, settings.StatusFontSize);
    LayoutPreview();
    (StartLanguage == 'D' ? rbDe : StartLanguage == 'E' ? rbEng : rbRus)->setChecked(true);
    cbOnlyRealStatus->setChecked(settings.StatusSmartShow);
    cbOnlyRealStatusClick();
    if (StartLanguage != 'R')
        TranslateControl(this);
}

QPushButton* TFormTun::Arrow(const char* name, const char* caption, int tag, QWidget* control) {
    auto* button = Named(new QPushButton(caption), name);
    button->setMaximumWidth(30);
    connect(button, &QPushButton::clicked, this, [this, control, tag] { StepFontSize(control, tag); });
    return button;
}

void TFormTun::LayoutPreview() {
    PanelStatus->setFixedHeight(RowHeight(PanelStatus));
    for (QLabel* panel : StatusPanels) {
        LabelTest->setFont(PanelStatus->font());
        LabelTest->setText(panel->text());
        panel->setFixedWidth(QFontMetrics(LabelTest->font()).horizontalAdvance(LabelTest->text()) + 32);
    }
    PanelParams->setFixedHeight(std::max(RowHeight(LabelValue), RowHeight(labelName)));
}

void TFormTun::StepFontSize(QWidget* control, int step) {
    int index = cbValues->findText(QString::number(control->font().pointSize()));
    if (index < 0)
        index = 0;
    else if (step < 1)
        index = std::max(index - 1, 0);
    else
        index = std::min(index + 1, cbValues->count() - 1);
    SetPointSize(control, cbValues->itemText(index).toInt());
    LayoutPreview();
}

void TFormTun::cbOnlyRealStatusClick() {
    for (QLabel* panel : StatusPanels) {
        if (panel->objectName() == "pnl237" || panel->objectName() == "pnl238")
            panel->setVisible(!cbOnlyRealStatus->isChecked());
    }
}

void TFormTun::Button1Click(TProgramSettings& settings) {
    TProgramSettings before = settings;
    settings.ValueFontSize = LabelValue->font().pointSize();
    settings.PrmFontSize = labelName->font().pointSize();
    settings.StatusFontSize = PanelStatus->font().pointSize();
    settings.StatusSmartShow = cbOnlyRealStatus->isChecked();
    ChosenLanguage = rbDe->isChecked() ? 'D' : rbEng->isChecked() ? 'E' : 'R';
    bool changed = settings.ValueFontSize != before.ValueFontSize ||
                   settings.PrmFontSize != before.PrmFontSize ||
                   settings.StatusFontSize != before.StatusFontSize ||
                   settings.StatusSmartShow != before.StatusSmartShow || ChosenLanguage != StartLanguage;
    if (changed)
        Host().MessageBox(Translate("Для вступления изменений в силу - перезапустите программу!"),
                          TMsgKind::Information, TMsgButtons::Ok);
}

bool ShowSettings(TProgramSettings& settings, char& language, QWidget* parent) {
    TFormTun form(settings, parent);
    if (form.exec() != QDialog::Accepted)
        return false;
    form.Button1Click(settings);
    language = form.ChosenLanguage;
    return true;
}

} // namespace velmora
