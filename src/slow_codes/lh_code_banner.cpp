#include "slow_codes/lh_code_banner.h"

#include <iterator>

namespace velmora {

namespace {

constexpr uint32_t Red = 0x0000FF;
constexpr uint32_t Green = 0x008000;
constexpr uint32_t Yellow = 0x00FFFF;

// Engine running.
constexpr TLhCodeRow RunningCodes[] = {
    {0, 0, "Глюк", "Short circuit to battery + in wire to data link connector (X11/4), socket 3", Red},
    {7, 9, "Богатая смесь: предел обеднения смеси достигнут", "Rich mixture: reached the limit of the lean",
     Red},
    {10, 10, "Распознавание холостого хода постоянно активно", "CTP (idle) recognition applied constantly",
     Red},
    {20, 20, "Обрыв цепи одной из форсунок впрыска",
     "Output of fuel injectors or one or more fuel injectors have open circuit", Red},
    {30, 30, "Датчик температуры охлаждающей жидкости, дефект", "ECT sensor (B11/2)", Red},
    {40, 40, "Датчик массового расхода воздуха, дефект", "Hot wire MAF sensor (B2/2)", Red},
    {50, 50, "Датчик кислорода холодный или обрыв сигнала",
     "O2S 1 (before TWC) (G3/2) not operational or defective, open circuit", Yellow},
    {60, 60, "L5/1 датчик положения распредвала", "CMP sensor (L5/1)", Red},
    {70, 70, "TN сигнал (обороты)", "TN-signal (rpm signal)", Red},
    {80, 80, "Проблема обмена данными по CAN шине",
     "CAN-data exchange defective(Either EA/CC/ISC control module, CC/ISC control module or DI control "
     "module "
     "not transmitting.)",
     Red},
    {90, 90, "Сигнал скорости автомобиля VSS", "Vehicle speed signal (VSS)", Red},
    {95, 95, "Режим Принудительный холостой ход (нет подачи топлива)", "Deceleration shut-off active", Green},
    {98, 100, "Бедная смесь: достигнут предел обогащения смеси", "reached the limit of enrichig", Red},
    {101, 101, "Нет напряжения на LH", "No voltage at LH-SFI control module (N3/1)", Red},
};

// Engine stopped.
constexpr TLhCodeRow StoppedCodes[] = {
    {0, 0, "Код не используется", "Voltage supply from socket 3 of data link connector (X11/4) open circuit",
     Red},
    {10, 10, "Распознавание режима холостого хода не активно", "CTP (idle) recognition inactive", Red},
    {20, 20, "Режим \"полное открытие дросселя\" распознано", "WOT (full load) recognition active", Red},
    {30, 30, "Температура двигателя ниже 70* или выше 110*", "Engine coolant temperature < 70 oC or >110 oC",
     Yellow},
    {40, 40, "Код не используется", "This code is not used", Red},
    {50, 50, "OK", "Input signals OK", Green},
    {60, 60, "TN сигнал (обороты) или сигнал датчика положения распредвала отсутствует во время запуска",
     "TN-signal (rpm signal) or CMP sensor signal not present while starting", Red},
    {70, 70, "Стартер работает", "Starter engaged", Red},
    {80, 80, "Проблема обмена данными по CAN шине", "CAN-data exchange defective", Red},
    {90, 90, "Активно ограничение подачи топлива (смотри CC/ISC/EA)",
     "Fuel safety shut-off active (Check CC/ISC or Check EA)", Red},
};

} // namespace

const TLhCodeRow* FindLhCode(int code, intptr_t table) {
    const TLhCodeRow* first = table != 0 ? std::begin(RunningCodes) : std::begin(StoppedCodes);
    const TLhCodeRow* last = table != 0 ? std::end(RunningCodes) : std::end(StoppedCodes);
    for (const TLhCodeRow* row = first; row != last; ++row)
        if (code >= row->FirstCode && code <= row->LastCode)
            return row;
    return nullptr;
}

TLhBannerLine LhBannerLine(intptr_t code, intptr_t table, char language) {
    TLhBannerLine line;
    if (code == 0 && table == 0) {
        line.Clear = true;
        return line;
    }
    const TLhCodeRow* row = FindLhCode(int(code), table);
    const char* text = !row ? "" : language == 'R' ? row->Russian : row->English;
    line.Text = "%  " + std::to_string(code) + " " + text;
    line.Colour = row ? row->Colour : Red;
    return line;
}

} // namespace velmora
