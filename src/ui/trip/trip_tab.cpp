#include "ui/trip/trip_tab.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <ctime>

#include "lang/dictionary.h"
#include "platform/clock.h"
#include "trip/trip_values.h"

namespace velmora {

namespace {

QLabel* ValueLabel(const char* name, QFormLayout* form, const char* caption) {
    auto* label = new QLabel("-");
    label->setObjectName(name);
    QFont font = label->font();
    font.setPointSize(font.pointSize() + 6);
    font.setBold(true);
    label->setFont(font);
    form->addRow(QString::fromStdString(Translate(caption)), label);
    return label;
}

QFormLayout* Group(QHBoxLayout* row, const char* title) {
    auto* group = new QGroupBox(QString::fromStdString(Translate(title)));
    auto* form = new QFormLayout(group);
    row->addWidget(group, 1);
    return form;
}

void SetText(QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
}

} // namespace

TTripTab::TTripTab(QWidget* parent) : QWidget(parent) {
    setObjectName("TripTab");
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    QFormLayout* common = Group(row, " Общий ");
    labTime = ValueLabel("labTime", common, "Время поездки");
    LabDist = ValueLabel("LabDist", common, "Пробег");
    LabFuel = ValueLabel("LabFuel", common, "Топливо");
    labSpeedAVG = ValueLabel("labSpeedAVG", common, "Средняя скорость");
    labCommon = ValueLabel("labCommon", common, "Расход, л/100 км");
    QFormLayout* idle = Group(row, " ХХ ");
    labTimeIdle = ValueLabel("labTimeIdle", idle, "Время на ХХ");
    LabFuelIdle = ValueLabel("LabFuelIdle", idle, "Топливо на ХХ");
    labIdleFE = ValueLabel("labIdleFE", idle, "Расход, л/ч");
    QFormLayout* last = Group(row, " Текущее ");
    labLastFE = ValueLabel("labLastFE", last, "Расход, л/ч");
    // Shown by no display of the figures; LabRpm counts the value updates.
    for (const char* name : {"LabTh", "LabSpeed", "LabMAF", "LabRpm"}) {
        auto* hidden = new QLabel("0", this);
        hidden->setObjectName(name);
        hidden->hide();
        if (std::string_view(name) == "LabRpm")
            LabRpm = hidden;
    }
    column->addStretch(1);
}

TTripTab::~TTripTab() {
    Log.Finish(Client);
}

void TTripTab::ShowTrip(const TTripSums& sums, const std::string& client) {
    Client = client;
    const TTripValues values = TripValues(sums);
    const TTripTexts texts = TripTexts(values);
    SetText(labTime, texts.Time);
    SetText(labTimeIdle, texts.TimeIdle);
    SetText(LabDist, texts.Distance);
    SetText(LabFuel, texts.Fuel);
    SetText(LabFuelIdle, texts.FuelIdle);
    SetText(labSpeedAVG, texts.SpeedAvg);
    SetText(labCommon, texts.Common);
    SetText(labLastFE, texts.LastFE);
    SetText(labIdleFE, texts.IdleFE);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    Log.AfterDisplay(values.TripTime, texts, Clock().TickCount(), local, client);
}

void TTripTab::CountUpdate() {
    LabRpm->setText(QString::number(LabRpm->text().toInt() + 1));
}

} // namespace velmora
