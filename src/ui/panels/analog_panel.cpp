#include "ui/panels/analog_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "slow_codes/slow_codes.h"

namespace velmora {

namespace {

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The progress line: what the line is doing now, and the bursts counted in the current reading.
std::string ProgressText(const TSlowCodeProgress& progress) {
    switch (progress.Phase) {
    case TSlowCodePhase::LineLow:
        return TranslateFormat("Запрос кода %d: линия на массе", progress.Reading + 1);
    case TSlowCodePhase::Counting:
        return TranslateFormat("Код %d: импульсов %d", progress.Reading + 1, progress.Pulses);
    case TSlowCodePhase::Erasing:
        return TranslateFormat("Удаление кода %d", progress.Reading);
    case TSlowCodePhase::ResettingAdaptation:
        return Translate("Сброс адаптации");
    }
    return {};
}

} // namespace

TAnalogPanel::TAnalogPanel(std::function<void(const TSlowCodeOptions&)> run, std::function<void()> close,
                           QWidget* parent)
    : QFrame(parent), Run(std::move(run)) {
    setObjectName("PnlAnalogDiag");
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    auto* titleRow = new QHBoxLayout;
    auto* title = Named(new QLabel("Аналоговое тестирование (медленные коды) "), "labAnalogTitle");
    title->setWordWrap(true);
    titleRow->addWidget(title, 1);
    auto* closeButton = Named(new QPushButton("X"), "Button2");
    closeButton->setFixedWidth(24);
    connect(closeButton, &QPushButton::clicked, this, [close = std::move(close)] { close(); });
    titleRow->addWidget(closeButton);
    layout->addLayout(titleRow);

    btnLedRead = Named(new QPushButton("Чтение кодов"), "btnLedRead");
    btnLedErase = Named(new QPushButton("Удаление кодов"), "btnLedErase");
    btnLedAdaptErase = Named(new QPushButton("Сброс адаптации 111\\104"), "btnLedAdaptErase");
    cbLedEnabled = Named(new QCheckBox("Я понимаю, что я делаю"), "cbLedEnabled");
    cbBosch93 = Named(new QCheckBox("ЭБУ Bosch выпуска до 08/93"), "cbBosch93");
    // Which unit's table explains the codes read; the order is that of TBlinkUnit.
    cbLedUnit = Named(new QComboBox, "cbLedUnit");
    cbLedUnit->addItem(QString::fromStdString(Translate("Блок не выбран")));
    for (TBlinkUnit unit : {TBlinkUnit::Hfm, TBlinkUnit::Lh})
        cbLedUnit->addItem(QString::fromLatin1(BlinkUnitName(unit)));
    labLedProgress = Named(new QLabel, "labLedProgress");
    labLedProgress->setWordWrap(true);
    // erase, adaptation per button; the Bosch switch is read when the button is pressed.
    const struct {
        QPushButton* Button;
        bool Erase, Adaptation;
    } buttons[] = {{btnLedRead, false, false}, {btnLedErase, true, false}, {btnLedAdaptErase, true, true}};
    for (const auto& b : buttons) {
        layout->addWidget(b.Button);
        connect(b.Button, &QPushButton::clicked, this, [this, erase = b.Erase, adaptation = b.Adaptation] {
            Run(TSlowCodeOptions{cbBosch93->isChecked(), erase, adaptation});
        });
    }
    layout->addWidget(cbLedEnabled);
    layout->addWidget(cbBosch93);
    layout->addWidget(cbLedUnit);
    layout->addWidget(labLedProgress);
    connect(cbLedEnabled, &QCheckBox::toggled, this, [this] { UpdateButtons(); });
    Reset();
}

void TAnalogPanel::Reset() {
    cbLedEnabled->setChecked(false);
    UpdateButtons();
}

void TAnalogPanel::SetRunning(bool running) {
    Running = running;
    if (!running)
        labLedProgress->clear();
    UpdateButtons();
}

void TAnalogPanel::ShowProgress(const TSlowCodeProgress& progress) {
    labLedProgress->setText(QString::fromStdString(ProgressText(progress)));
}

TBlinkUnit TAnalogPanel::Unit() const {
    return TBlinkUnit(cbLedUnit->currentIndex());
}

void TAnalogPanel::SetUnit(TBlinkUnit unit) {
    cbLedUnit->setCurrentIndex(int(unit));
}

void TAnalogPanel::UpdateButtons() {
    const bool enabled = cbLedEnabled->isChecked() && !Running;
    for (QPushButton* button : {btnLedRead, btnLedErase, btnLedAdaptErase})
        button->setEnabled(enabled);
}

} // namespace velmora
