#include "ui/panels/activation_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "actuators/actuator_channels.h"
#include "actuators/actuator_state.h"
#include "actuators/actuator_tests.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

// Bit channels show their eight check boxes in two columns, so the panel stays low.
constexpr int BitColumns = 2;

QString CommandHex(uint8_t command) {
    return QString("%1").arg(command, 2, 16, QChar('0'));
}

} // namespace

TActivationPanel::TActivationPanel(std::function<TActuatorState*()> state, QWidget* parent)
    : QFrame(parent), State(std::move(state)) {
    setObjectName("pnlActivation");
    setFrameShape(QFrame::StyledPanel);
    // The channel groups sit in one row that scrolls sideways inside the panel: however many channels
    // the unit has, the panel never asks the window for more width.
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    Scroll = new QScrollArea;
    Scroll->setObjectName("scrActivation");
    Scroll->setWidgetResizable(true);
    Scroll->setFrameShape(QFrame::NoFrame);
    Scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Groups = new QWidget;
    Groups->setObjectName("pnlActivationGroups");
    Row = new QHBoxLayout(Groups);
    Row->setContentsMargins(0, 0, 0, 0);
    Scroll->setWidget(Groups);
    outer->addWidget(Scroll, 1);
    Reset = new QPushButton(QString::fromStdString(Translate("Сброс")));
    Reset->setObjectName("btnActReset");
    connect(Reset, &QPushButton::clicked, this, [this] { btnActResetClick(); });
    outer->addWidget(Reset, 0, Qt::AlignTop);
    hide();
}

void TActivationPanel::Clear() {
    RemoveControls();
    Values.clear();
}

void TActivationPanel::RemoveControls() {
    Controls.clear();
    QLayoutItem* item = nullptr;
    while ((item = Row->takeAt(0)) != nullptr) {
        delete item->widget();
        delete item;
    }
    hide();
}

void TActivationPanel::Build(bool newestGeneration) {
    RemoveControls();
    NewestGeneration = newestGeneration;
    int column = 0;
    for (const TPanelChannel& panel : BuildActivationPanel(newestGeneration)) {
        if (const TActuatorChannel* channel = FindActuatorChannel(panel.Command))
            AddChannel(*channel, panel, column++);
    }
    Row->addStretch(1);
    for (const auto& [command, controls] : Controls)
        ShowReadBack(controls);
    Reset->setText(QString::fromStdString(Translate("Сброс")));
    // As high as the tallest group plus the sideways scroll bar when the window has room; on a short
    // screen (2x scale) down to one line, the rest scrolled, so the window keeps its height and the
    // values above keep theirs.
    const int sideways = Scroll->horizontalScrollBar()->sizeHint().height();
    const int full = Groups->sizeHint().height() + sideways;
    Scroll->setMaximumHeight(full);
    Scroll->setMinimumHeight(std::min(full, Reset->sizeHint().height() + sideways));
    show();
}

void TActivationPanel::AddChannel(const TActuatorChannel& channel, const TPanelChannel& panel, int column) {
    const uint8_t command = channel.Command;
    auto* group = new QGroupBox(QString::fromStdString(panel.Name));
    group->setObjectName("gbAct" + CommandHex(command).toUpper());
    group->setToolTip(QString::fromStdString(TranslateFormat(
        "Команда %.2X; отметка меняет выход против штатного состояния блока", unsigned(command))));
    auto* box = new QGridLayout(group);
    TChannelControls& controls = Controls[command];
    controls.Channel = &channel;
    controls.Panel = panel;
    for (const TPanelControl& control : panel.Controls) {
        QString caption = QString::fromStdString(control.Caption);
        if (panel.Control == TControlKind::CheckBoxes) {
            // Unticked at first whatever the unit's standard state: a tick is the user's request only.
            auto* check = new QCheckBox(caption);
            check->setObjectName(QString("cbAct%1_%2").arg(CommandHex(command)).arg(control.Bit));
            connect(check, &QCheckBox::toggled, this, [this, command] { Changed(command); });
            const int index = int(controls.Bits.size());
            controls.Bits.emplace_back(check, control.Bit);
            box->addWidget(check, index / BitColumns, index % BitColumns);
            continue;
        }
        box->addWidget(new QLabel(caption), 0, 0);
        if (panel.Control == TControlKind::UpDown) {
            auto* upDown = new QSpinBox;
            upDown->setObjectName(QString("udAct%1").arg(CommandHex(command)));
            upDown->setRange(panel.Min, panel.Max);
            upDown->setSingleStep(panel.Step);
            upDown->setValue(panel.EntryPosition);
            connect(upDown, &QSpinBox::valueChanged, this, [this, command] { Changed(command); });
            controls.UpDown = upDown;
            box->addWidget(upDown, 1, 0);
        } else {
            auto* trackBar = new QSlider(Qt::Horizontal);
            trackBar->setObjectName(QString("tbAct%1").arg(CommandHex(command)));
            trackBar->setRange(panel.Min, panel.Max);
            trackBar->setSingleStep(panel.Step);
            trackBar->setValue(panel.EntryPosition);
            // Dragging would queue a command per pixel: the value goes when the bar is let go.
            trackBar->setTracking(false);
            connect(trackBar, &QSlider::valueChanged, this, [this, command] { Changed(command); });
            controls.TrackBar = trackBar;
            box->addWidget(trackBar, 1, 0);
        }
    }
    // What the unit took, apart from the controls: below them, across the group.
    controls.ReadBack = new QLabel;
    controls.ReadBack->setObjectName("labAct" + CommandHex(command).toUpper());
    controls.ReadBack->setWordWrap(true);
    box->addWidget(controls.ReadBack, box->rowCount(), 0, 1, BitColumns);
    box->setRowStretch(box->rowCount(), 1);
    Row->insertWidget(column, group);
}

void TActivationPanel::Changed(uint8_t command) {
    TActuatorState* state = State();
    auto found = Controls.find(command);
    if (!state || found == Controls.end())
        return;
    const TChannelControls& controls = found->second;
    int position = 0;
    if (!controls.Bits.empty()) {
        // Each tick turns its bit away from the standard state; the other bits keep it, so ticking
        // EGR never switches the pump off.
        int ticked = 0;
        for (auto [check, bit] : controls.Bits)
            ticked |= check->isChecked() ? bit : 0;
        position = controls.Panel.EntryPosition ^ ticked;
    }
    if (controls.UpDown)
        position = controls.UpDown->value();
    if (controls.TrackBar)
        position = controls.TrackBar->value();
    QueueAct(*state, command, ChannelValue(*controls.Channel, position));
}

void TActivationPanel::ShowValue(uint8_t command, uint8_t value) {
    Values[command] = value;
    auto found = Controls.find(command);
    if (found != Controls.end())
        ShowReadBack(found->second);
}

void TActivationPanel::ShowReadBack(const TChannelControls& controls) const {
    auto value = Values.find(controls.Channel->Command);
    std::string text;
    if (value == Values.end()) {
        text = Translate("Блок: нет данных");
    } else if (EntryValue(*controls.Channel, NewestGeneration) == value->second) {
        text = Translate("Блок: штатное состояние");
    } else if (!controls.Bits.empty()) {
        // The outputs the unit has away from its standard state, named as their check boxes.
        std::string changed;
        for (const TPanelControl& control : controls.Panel.Controls) {
            if ((value->second ^ controls.Panel.EntryPosition) & control.Bit)
                changed += (changed.empty() ? "" : ", ") + control.Caption;
        }
        text = TranslateFormat("Блок: изменено: %s", changed.c_str());
    } else {
        text = TranslateFormat("Блок: %d %%", ChannelPosition(*controls.Channel, value->second));
    }
    controls.ReadBack->setText(QString::fromStdString(text));
}

void TActivationPanel::btnActResetClick() {
    ResetOutputs();
}

void TActivationPanel::ResetOutputs() {
    // The controls go back without queuing a command each: one reset sends them all.
    for (auto& [command, controls] : Controls) {
        for (auto [check, bit] : controls.Bits) {
            const QSignalBlocker quiet(check);
            check->setChecked(false);
        }
        if (controls.UpDown) {
            const QSignalBlocker quiet(controls.UpDown);
            controls.UpDown->setValue(controls.Panel.EntryPosition);
        }
        if (controls.TrackBar) {
            const QSignalBlocker quiet(controls.TrackBar);
            controls.TrackBar->setValue(controls.Panel.EntryPosition);
        }
    }
    if (TActuatorState* state = State(); state && !Controls.empty())
        QueueAct(*state, ResetAct);
}

} // namespace velmora
