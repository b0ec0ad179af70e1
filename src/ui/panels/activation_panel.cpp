#include "ui/panels/activation_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "actuators/actuator_channels.h"
#include "actuators/actuator_state.h"
#include "actuators/actuator_tests.h"
#include "lang/dictionary.h"

namespace velmora {

namespace {

constexpr uint8_t DiscardCommand = 0xFF; // with value 0xFF: drop what waits

} // namespace

TActivationPanel::TActivationPanel(std::function<TActuatorState*()> state, QWidget* parent)
    : QFrame(parent), State(std::move(state)) {
    setObjectName("pnlActivation");
    setFrameShape(QFrame::StyledPanel);
    new QGridLayout(this);
    hide();
}

void TActivationPanel::Clear() {
    RemoveControls();
    Values.clear();
}

void TActivationPanel::RemoveControls() {
    Controls.clear();
    QLayoutItem* item = nullptr;
    while ((item = layout()->takeAt(0)) != nullptr) {
        delete item->widget();
        delete item;
    }
    hide();
}

void TActivationPanel::Build() {
    RemoveControls();
    int column = 0;
    // The entry positions only matter for a channel whose value did not come.
    for (const TPanelChannel& panel : BuildActivationPanel(false)) {
        if (const TActuatorChannel* channel = FindActuatorChannel(panel.Command))
            AddChannel(*channel, panel, column++);
    }
    for (auto [command, value] : std::map<uint8_t, uint8_t>(Values))
        ShowValue(command, value);
    auto* reset = new QPushButton(QString::fromStdString(Translate("Сброс")));
    reset->setObjectName("btnActReset");
    connect(reset, &QPushButton::clicked, this, [this] { btnActResetClick(); });
    static_cast<QGridLayout*>(layout())->addWidget(reset, 1, 0);
    show();
}

void TActivationPanel::AddChannel(const TActuatorChannel& channel, const TPanelChannel& panel, int column) {
    auto* group = new QGroupBox(QString("%1").arg(channel.Command, 2, 16, QChar('0')).toUpper());
    group->setObjectName(QString("gbAct%1").arg(channel.Command, 2, 16, QChar('0')).toUpper());
    auto* box = new QVBoxLayout(group);
    TChannelControls& controls = Controls[channel.Command];
    controls.Channel = &channel;
    const uint8_t command = channel.Command;
    for (const TPanelControl& control : panel.Controls) {
        QString caption = QString::fromStdString(control.Caption);
        if (panel.Control == TControlKind::CheckBoxes) {
            auto* check = new QCheckBox(caption);
            check->setObjectName(QString("cbAct%1_%2").arg(command, 2, 16, QChar('0')).arg(control.Bit));
            check->setChecked(panel.EntryPosition & control.Bit);
            connect(check, &QCheckBox::toggled, this, [this, command] { Changed(command); });
            controls.Bits.emplace_back(check, control.Bit);
            box->addWidget(check);
            continue;
        }
        box->addWidget(new QLabel(caption));
        if (panel.Control == TControlKind::UpDown) {
            auto* upDown = new QSpinBox;
            upDown->setObjectName(QString("udAct%1").arg(command, 2, 16, QChar('0')));
            upDown->setRange(panel.Min, panel.Max);
            upDown->setSingleStep(panel.Step);
            upDown->setValue(panel.EntryPosition);
            connect(upDown, &QSpinBox::valueChanged, this, [this, command] { Changed(command); });
            controls.UpDown = upDown;
            box->addWidget(upDown);
        } else {
            auto* trackBar = new QSlider(Qt::Horizontal);
            trackBar->setObjectName(QString("tbAct%1").arg(command, 2, 16, QChar('0')));
            trackBar->setRange(panel.Min, panel.Max);
            trackBar->setSingleStep(panel.Step);
            trackBar->setValue(panel.EntryPosition);
            // Dragging would queue a command per pixel: the value goes when the bar is let go.
            trackBar->setTracking(false);
            connect(trackBar, &QSlider::valueChanged, this, [this, command] { Changed(command); });
            controls.TrackBar = trackBar;
            box->addWidget(trackBar);
        }
    }
    box->addStretch(1);
    static_cast<QGridLayout*>(layout())->addWidget(group, 0, column);
}

void TActivationPanel::Changed(uint8_t command) {
    TActuatorState* state = State();
    auto found = Controls.find(command);
    if (Showing || !state || found == Controls.end())
        return;
    const TChannelControls& controls = found->second;
    int position = 0;
    for (auto [check, bit] : controls.Bits)
        position += check->isChecked() ? bit : 0;
    if (controls.UpDown)
        position = controls.UpDown->value();
    if (controls.TrackBar)
        position = controls.TrackBar->value();
    QueueAct(*state, command, ChannelValue(*controls.Channel, position));
}

void TActivationPanel::ShowValue(uint8_t command, uint8_t value) {
    Values[command] = value;
    auto found = Controls.find(command);
    if (found == Controls.end())
        return;
    const TChannelControls& controls = found->second;
    int position = ChannelPosition(*controls.Channel, value);
    Showing = true;
    for (auto [check, bit] : controls.Bits)
        check->setChecked(position & bit);
    if (controls.UpDown)
        controls.UpDown->setValue(position);
    if (controls.TrackBar)
        controls.TrackBar->setValue(position);
    Showing = false;
}

void TActivationPanel::btnActResetClick() {
    if (TActuatorState* state = State())
        QueueAct(*state, DiscardCommand, DiscardCommand);
}

} // namespace velmora
