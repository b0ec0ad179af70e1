#include "ui/window/replay_bar.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "ui/common/widget_colors.h"
#include "ui/window/replay_connection.h"

namespace velmora {

namespace {

// The slider moves in tenths of a second: an hour is 36000 steps.
constexpr uint32_t SliderStepMs = 100;
const QColor ColorRecordingBanner(0xFF, 0xE0, 0x82); // amber, as the notice of values that are not live

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

std::string ReplayClockText(uint32_t ms) {
    const uint32_t total = ms / 1000;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%u:%02u:%02u", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%02u:%02u", total / 60, total % 60);
    return text;
}

std::optional<uint32_t> ParseReplayClock(const std::string& text) {
    double parts[3] = {};
    int count = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t colon = text.find(':', at);
        std::string part = text.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
        if (count == 3 || part.empty())
            return std::nullopt;
        char* end = nullptr;
        double value = std::strtod(part.c_str(), &end);
        if (*end != '\0' || !(value >= 0) || (colon != std::string::npos && value != std::floor(value)))
            return std::nullopt;
        parts[count++] = value;
        if (colon == std::string::npos)
            break;
        at = colon + 1;
    }
    double seconds = 0;
    for (int i = 0; i < count; ++i)
        seconds = seconds * 60 + parts[i];
    if (count == 0 || seconds > 1e6)
        return std::nullopt;
    return uint32_t(std::llround(seconds * 1000));
}

TReplayBar::TReplayBar(QWidget* parent) : QFrame(parent) {
    setObjectName("pnlReplay");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    labRecording = Named(new QLabel, "labRecording");
    labRecording->setWordWrap(true);
    QFont bold = labRecording->font();
    bold.setBold(true);
    labRecording->setFont(bold);
    SetBackground(labRecording, ColorRecordingBanner);
    layout->addWidget(labRecording);

    auto* row = new QHBoxLayout;
    btnPlay = Named(new QPushButton, "btnReplayPlay");
    connect(btnPlay, &QPushButton::clicked, this, [this] {
        if (Replay)
            Replay->Playing() ? Replay->Pause() : Replay->Play();
    });
    row->addWidget(btnPlay);
    cbSpeed = Named(new QComboBox, "cbReplaySpeed");
    connect(cbSpeed, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (Replay && index >= 0 && index < int(std::size(Speeds)))
            Replay->SetSpeed(Speeds[index]);
    });
    row->addWidget(cbSpeed);
    sbPosition = Named(new QSlider(Qt::Horizontal), "sbReplayPosition");
    // The replay jumps where the slider is let go, not at every step of a drag.
    sbPosition->setTracking(false);
    connect(sbPosition, &QSlider::valueChanged, this, [this](int value) {
        if (Replay)
            Replay->Seek(uint32_t(value) * SliderStepMs);
    });
    connect(sbPosition, &QSlider::sliderMoved, this, [this](int value) {
        if (Replay)
            labClock->setText(QString::fromStdString(ReplayClockText(uint32_t(value) * SliderStepMs) + " / " +
                                                     ReplayClockText(Replay->Duration())));
    });
    row->addWidget(sbPosition, 1);
    labClock = Named(new QLabel, "labReplayClock");
    row->addWidget(labClock);
    edJump = Named(new QLineEdit, "edReplayJump");
    edJump->setMaximumWidth(edJump->fontMetrics().horizontalAdvance("00:00:00") + 16);
    connect(edJump, &QLineEdit::returnPressed, this, [this] { JumpClick(); });
    row->addWidget(edJump);
    auto* jump = Named(new QPushButton("Перейти"), "btnReplayJump");
    connect(jump, &QPushButton::clicked, this, [this] { JumpClick(); });
    row->addWidget(jump);
    layout->addLayout(row);

    auto* compareRow = new QHBoxLayout;
    btnCompare = Named(new QPushButton("Сравнить с записью…"), "btnReplayCompare");
    connect(btnCompare, &QPushButton::clicked, this, [this] {
        if (OnCompare)
            OnCompare();
    });
    compareRow->addWidget(btnCompare);
    labCompare = Named(new QLabel, "labReplayCompare");
    compareRow->addWidget(labCompare, 1);
    auto* offsetLabel = Named(new QLabel("Сдвиг второй записи, с:"), "labReplayOffset");
    compareRow->addWidget(offsetLabel);
    edOffset = Named(new QDoubleSpinBox, "edReplayOffset");
    edOffset->setRange(-36000, 36000);
    edOffset->setDecimals(1);
    edOffset->setSingleStep(0.5);
    connect(edOffset, &QDoubleSpinBox::valueChanged, this, [this](double seconds) {
        if (OnOffset)
            OnOffset(int32_t(std::lround(seconds * 1000)));
    });
    compareRow->addWidget(edOffset);
    auto* close = Named(new QPushButton("Закрыть запись"), "btnReplayClose");
    connect(close, &QPushButton::clicked, this, [this] {
        if (OnClose)
            OnClose();
    });
    compareRow->addWidget(close);
    layout->addLayout(compareRow);
    hide();
}

void TReplayBar::Attach(TReplayConnection* replay) {
    Replay = replay;
    if (!replay) {
        hide();
        return;
    }
    const TReplayRecording& rec = replay->Recording();
    std::string text = TranslateFormat("Запись (не связь с блоком): %s", rec.Name.c_str());
    for (const std::string& part : {rec.Date, rec.Car})
        if (!part.empty())
            text += " — " + part;
    if (rec.TimesEstimated)
        text += " — " + (rec.TimesText.empty() ? Translate("время оценено: в файле нет времени запросов")
                                               : rec.TimesText);
    labRecording->setText(QString::fromStdString(text));
    {
        const QSignalBlocker block(cbSpeed);
        cbSpeed->clear();
        for (int speed : Speeds)
            cbSpeed->addItem(speed == TReplayConnection::FastSpeed
                                 ? QString::fromStdString(Translate("макс."))
                                 : QString("%1×").arg(speed));
        cbSpeed->setCurrentIndex(0);
    }
    replay->SetSpeed(Speeds[0]);
    {
        const QSignalBlocker block(sbPosition);
        sbPosition->setRange(0, int((replay->Duration() + SliderStepMs - 1) / SliderStepMs));
        sbPosition->setValue(0);
    }
    {
        const QSignalBlocker block(edOffset);
        edOffset->setValue(0);
    }
    // Boxes of values keep their hints out of the window's translation: they are set here.
    edJump->setPlaceholderText(QString::fromStdString(Translate("мм:сс")));
    cbSpeed->setToolTip(QString::fromStdString(Translate("Скорость воспроизведения")));
    edOffset->setToolTip(QString::fromStdString(
        Translate("0: обе записи с начала; больше 0: вторая запись начинается позже")));
    ShowComparison({});
    Follow();
    show();
}

void TReplayBar::Follow() {
    if (!Replay)
        return;
    btnPlay->setText(QString::fromStdString(Translate(Replay->Playing() ? "Пауза" : "Воспроизвести")));
    if (!sbPosition->isSliderDown()) {
        const QSignalBlocker block(sbPosition);
        sbPosition->setValue(int(Replay->Position() / SliderStepMs));
    }
    labClock->setText(QString::fromStdString(ReplayClockText(Replay->Position()) + " / " +
                                             ReplayClockText(Replay->Duration())));
}

void TReplayBar::ShowComparison(const std::string& name) {
    labCompare->setText(name.empty() ? QString()
                                     : QString::fromStdString(TranslateFormat("Пунктир: %s", name.c_str())));
    edOffset->setEnabled(!name.empty());
}

void TReplayBar::ShowOffset(int32_t offsetMs) {
    const QSignalBlocker block(edOffset);
    edOffset->setValue(offsetMs / 1000.0);
}

void TReplayBar::JumpClick() {
    if (!Replay)
        return;
    std::optional<uint32_t> ms = ParseReplayClock(edJump->text().trimmed().toStdString());
    if (!ms) {
        edJump->selectAll();
        return;
    }
    Replay->Seek(*ms);
}

} // namespace velmora
