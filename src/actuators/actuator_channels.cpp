#include "actuators/actuator_channels.h"

#include <algorithm>
#include <cmath>

#include "lang/dictionary.h"

namespace velmora {

namespace {

using K = TControlKind;
using S = TValueScale;

// Throttle: 64 is the rest position; 191 steps up to +100 %, 64 steps down to -100 %.
constexpr int ThrottleRest = 64;
constexpr int ThrottleUpSpan = 191;
constexpr int ThrottleDownSpan = 64;
// Mixture: 0x80 is no change, 128 steps per 50 %.
constexpr int MixtureNeutral = 0x80;
constexpr int MixtureSpan = 128;
constexpr int MixtureRange = 50;

// Unnamed bits and channels carry the command in decimal and the bit's letter, as the unit's
// documentation numbers them. A check box names what ticking it changes against the unit's standard
// state (the entry value); names are Russian and pass the dictionary.
constexpr TActuatorChannel Channels[] = {
    {0xD0,
     "Фазовращатели, обогрев ДК, насос, EGR",
     K::CheckBoxes,
     S::BitMask,
     {"Фазовращатель 1", "Фазовращатель 2", "Обогрев ДК", "Насос", "EGR", "208 F", "PSV",
      "Задержка переключения АКПП"},
     0,
     255,
     1,
     0x0F,
     0x08},
    {0xD1,
     "Воздушный насос, ХХ, дроссель",
     K::CheckBoxes,
     S::BitMask,
     {"Клапан воздушного насоса", "209 B", "209 C", "209 D", "209 E", "209 F", "Сброс дросселя",
      "Регулятор ХХ выкл."},
     0,
     255,
     1,
     0x00,
     0x80},
    {0xD2,
     "Форсунки",
     K::CheckBoxes,
     S::BitMask,
     {"Все форсунки выкл.", "Форсунка 1 выкл.", "Форсунка 2 выкл.", "Форсунка 3 выкл.", "Форсунка 4 выкл.",
      "Форсунка 5 выкл.", "Форсунка 6 выкл.", "Мотор воздушного насоса"},
     0,
     255,
     1,
     0x00,
     0x80},
    {0xD3, "Мотор дросселя", K::UpDown, S::Throttle, {"Изменение, %"}, -100, 100, 10, 0x40, 0x40},
    {0xD4, "Регенерация (EVAP)", K::TrackBar, S::Percent, {"Скважность, %"}, 0, 100, 1, 0x00, 0x00},
    {0xD5, "", K::None, S::Percent, {}, 0, 0, 0, 0x00, 0x00},
    {0xD6, "Состав смеси", K::UpDown, S::Mixture, {"Изменение, %"}, -50, 50, 5, 0x80, 0x80},
    {0xD7, "", K::None, S::Percent, {}, 0, 0, 0, 0x80, 0x80},
    {0xD8, "Канал 216", K::UpDown, S::Percent, {"Значение, %"}, 0, 100, 10, 0x00, 0x00},
    {0xD9, "Канал 217", K::UpDown, S::Percent, {"Значение, %"}, 0, 100, 10, 0x00, 0x00},
    {0xDA, "Канал 218", K::UpDown, S::Percent, {"Значение, %"}, 0, 100, 10, 0x00, 0x00},
    {0xDB,
     "Ограничитель оборотов",
     K::CheckBoxes,
     S::BitMask,
     {"219 A", "Ограничитель оборотов выкл.", "219 C", "219 D", "219 E", "219 F", "219 G", "219 H"},
     0,
     255,
     1,
     0x00,
     0x00},
    {0xDC, "Вентилятор", K::UpDown, S::Percent, {"Мощность, %"}, 0, 100, 10, 0x80, 0x80},
};

uint8_t ToByte(double value) {
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

std::span<const TActuatorChannel> ActuatorChannels() {
    return Channels;
}

const TActuatorChannel* FindActuatorChannel(uint8_t command) {
    for (const TActuatorChannel& channel : Channels) {
        if (channel.Command == command)
            return &channel;
    }
    return nullptr;
}

uint8_t ThrottleValue(int percent) {
    const int span = percent >= 0 ? ThrottleUpSpan : ThrottleDownSpan;
    return ToByte(ThrottleRest + percent * span / 100.0);
}

uint8_t ChannelValue(const TActuatorChannel& channel, int position) {
    position = std::clamp(position, int(channel.Min), int(channel.Max));
    switch (channel.Scale) {
    case S::Throttle:
        return ThrottleValue(position);
    case S::Mixture:
        return ToByte(MixtureNeutral + double(position) * MixtureSpan / MixtureRange);
    case S::BitMask:
    case S::Percent:
        break;
    }
    return ToByte(position);
}

int ChannelPosition(const TActuatorChannel& channel, uint8_t value) {
    double position = value;
    switch (channel.Scale) {
    case S::Throttle: {
        const int span = value >= ThrottleRest ? ThrottleUpSpan : ThrottleDownSpan;
        position = (value - ThrottleRest) * 100.0 / span;
        break;
    }
    case S::Mixture:
        position = (value - MixtureNeutral) * double(MixtureRange) / MixtureSpan;
        break;
    case S::BitMask:
    case S::Percent:
        break;
    }
    const long rounded = std::lround(position);
    if (rounded < channel.Min || rounded > channel.Max)
        return channel.Min;
    return int(rounded);
}

uint8_t EntryValue(const TActuatorChannel& channel, bool newestGeneration) {
    return newestGeneration ? channel.NewestEntryValue : channel.EntryValue;
}

std::vector<TPanelChannel> BuildActivationPanel(bool newestGeneration) {
    std::vector<TPanelChannel> panel;
    for (const TActuatorChannel& channel : Channels) {
        if (channel.Control == K::None)
            continue;
        TPanelChannel item;
        item.Command = channel.Command;
        item.Name = Translate(channel.Name);
        item.Control = channel.Control;
        item.Min = channel.Min;
        item.Max = channel.Max;
        item.Step = channel.Step;
        item.EntryPosition = ChannelPosition(channel, EntryValue(channel, newestGeneration));
        if (channel.Control == K::CheckBoxes) {
            for (size_t bit = 0; bit < channel.Captions.size(); ++bit)
                item.Controls.push_back({Translate(channel.Captions[bit]), uint8_t(1u << bit)});
        } else {
            item.Controls.push_back({Translate(channel.Captions[0]), 0});
        }
        panel.push_back(std::move(item));
    }
    return panel;
}

} // namespace velmora
