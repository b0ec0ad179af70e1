#include "log_convert/event_texts.h"

#include <array>

#include "actuators/actuator_channels.h"
#include "faults/fault_codes.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr const char* ActPrefix = "     ACT: ";
constexpr uint8_t LostFaultAddresses = 16;

// The bit names of the check-box channels; nullptr: the bit is named by channel and mask ("DB01h").
constexpr std::array<const char*, 8> D0Bits = {
    "Фазовращатель1", "Фазовращатель2", "O2 heater", "Насос", "EGR", "F", "PSV", "AG shift point retard"};
constexpr std::array<const char*, 8> D1Bits = {
    "AirPump Valve", nullptr, nullptr, nullptr, nullptr, nullptr, "Throttle Reset", "Off Idle control"};
constexpr std::array<const char*, 8> DbBits = {nullptr, "RPM Limiter OFF", nullptr, nullptr,
                                               nullptr, nullptr,           nullptr, nullptr};

std::string BitNames(uint8_t channel, uint8_t value, const std::array<const char*, 8>& names) {
    std::string text;
    for (int bit = 0; bit < 8; ++bit) {
        const uint8_t mask = uint8_t(1 << bit);
        if ((value & mask) == 0)
            continue;
        text += ' ';
        text += names[size_t(bit)] ? Translate(names[size_t(bit)])
                                   : FormatText("%.2X%.2Xh", unsigned(channel), unsigned(mask));
    }
    return text;
}

std::string InjectorText(uint8_t value) {
    std::string text;
    if ((value & 0x7F) == 0) {
        text = Translate(" Все форсунки работают! ");
    } else {
        text = Translate("Отключены форсунки: ");
        if (value & 0x01)
            text += Translate(" Все");
        for (int injector = 1; injector <= 6; ++injector)
            if (value & (1 << injector))
                text += FormatText(" %d", injector);
    }
    if (value & 0x80)
        text += "  AirPump Motor";
    return text;
}

// The control position (%) of a driven channel, as the window would show the value.
int Position(uint8_t channel, uint8_t value) {
    const TActuatorChannel* known = FindActuatorChannel(channel);
    return known ? ChannelPosition(*known, value) : value;
}

std::string ChannelText(uint8_t channel, uint8_t value, bool newest) {
    switch (channel) {
    case 0xD0:
        return value == (newest ? 0x08 : 0x0F)
                   ? Translate("E208 (Фазовращатель, Обогрев ДК, Реле насоса, EGR) - штатное состояние")
                   : BitNames(channel, value, D0Bits);
    case 0xD1:
        return value == (newest ? 0x80 : 0x00)
                   ? Translate(" 209 (AirPump Valve, Idle control) - штатное состояние ")
                   : BitNames(channel, value, D1Bits);
    case 0xD2:
        return InjectorText(value);
    case 0xD3:
        return TranslateFormat(" Мотор дросселя, изменение %d %%", Position(channel, value));
    case 0xD4:
        return TranslateFormat(" Регенерация (EVAP) %d %%", int(value));
    case 0xD6:
        return TranslateFormat(" Изменение состава смеси на %d %%", Position(channel, value));
    case 0xDB:
        return value == 0 ? Translate(" 219 (RPM Limiter) - штатное состояние! ")
                          : BitNames(channel, value, DbBits);
    case 0xDC:
        return TranslateFormat(" Мощность кулера %d %%", int(value));
    default: // 0xD5, 0xD7-0xDA: channels without a meaning of their own
        return FormatText(" %.2Xh %d %%", unsigned(channel), int(value));
    }
}

// Bit number (1-based) of bit 0 of a bitmap byte; 0 for an address outside the maps.
int FirstBitOf(uint8_t address) {
    if (address < 32)
        return (address % 16) * 8 + 1;
    if (address >= 48 && address <= 50)
        return (address - 48 + 16) * 8 + 1;
    if (address >= 64 && address <= 66)
        return (address - 64 + 16) * 8 + 1;
    return 0;
}

} // namespace

bool IsActuatorChannel(uint8_t cmd) {
    return cmd >= 0xD0 && cmd <= 0xDC;
}

std::string ActuatorText(uint8_t channel, uint8_t value, bool newestGeneration) {
    if (!IsActuatorChannel(channel))
        return {};
    return ActPrefix + ChannelText(channel, value, newestGeneration);
}

std::vector<std::string> FaultByteTexts(uint8_t address, uint8_t value, const TFaultContext& context) {
    std::vector<std::string> texts;
    if (value == 0)
        return texts;
    if (context.UnitType == UnitLh) {
        if (address >= 1 && address <= LhSlotCount)
            texts.push_back(
                FormatText("    slot %d: code %d (%d)", int(address), LhFaultCode(address), int(value)));
        return texts;
    }
    const int first = FirstBitOf(address);
    if (first == 0)
        return texts;
    for (int bit = 0; bit < 8; ++bit) {
        if ((value & (1 << bit)) == 0)
            continue;
        const int number = first + bit;
        const int code = FaultCodeOfBit(number, context);
        texts.push_back(code != 0 ? FormatText("    bit %d: code %d", number, code)
                                  : FormatText("    bit %d: no code", number));
    }
    return texts;
}

bool IsLostFaultAddress(uint8_t address) {
    return address < LostFaultAddresses;
}

} // namespace velmora
