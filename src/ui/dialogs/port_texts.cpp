#include "ui/dialogs/port_texts.h"

#include <string_view>

#include "lang/dictionary.h"

namespace velmora {

namespace {

struct TPortText {
    std::string_view Description; // as the port layer or the simulated car's profile gives it
    std::string_view Russian;     // the dictionary's key
};

constexpr TPortText PortTexts[] = {
    {"Simulated car", "Имитация автомобиля"},
    {"Simulated car behind an ELM327", "Имитация автомобиля за адаптером ELM327"},
    {"Simulated car behind a CarSoft 7.4 interface", "Имитация автомобиля за адаптером CarSoft 7.4"},
    {"Serial port", "Последовательный порт"},
    {"USB serial", "Последовательный порт USB"},
    {"HFM Bosch, late generation with VIN (diagnosis index 52)",
     "HFM Bosch, позднее поколение с VIN (индекс диагностики 52)"},
    {"HFM Bosch, cold start (warms up)", "HFM Bosch, холодный пуск (прогревается)"},
    {"HFM Bosch, drive cycle with road speed", "HFM Bosch, поездка со скоростью автомобиля"},
    {"HFM Bosch, cylinder 3 burns weak", "HFM Bosch, цилиндр 3 работает слабо"},
    {"HFM Bosch on a bad line (lost answers, wrong complements, noise)",
     "HFM Bosch на плохой линии (потери ответов, неверные дополнения, помехи)"},
    {"HFM Bosch, newest generation (diagnosis index 62, words high byte first)",
     "HFM Bosch, новейшее поколение (индекс диагностики 62, слова старшим байтом вперед)"},
    {"HFM Bosch, diagnosis index 40 (memory addresses, answers the closing 0xAA only)",
     "HFM Bosch, индекс диагностики 40 (адреса памяти, отвечает только на завершающий 0xAA)"},
    {"HFM VDO, diagnosis index 42 (memory addresses, command byte never left out)",
     "HFM VDO, индекс диагностики 42 (адреса памяти, байт команды всегда передается)"},
    {"PMS Siemens, newest generation (diagnosis index 61)",
     "PMS Siemens, новейшее поколение (индекс диагностики 61)"},
    {"PMS Bosch, diagnosis index 45 (late generation)",
     "PMS Bosch, индекс диагностики 45 (позднее поколение)"},
    {"HFM Siemens, diagnosis index 64 (newest generation, memory addresses)",
     "HFM Siemens, индекс диагностики 64 (новейшее поколение, адреса памяти)"},
    {"PMS VDO, diagnosis index 52 (PMS fault map, VIN)",
     "PMS VDO, индекс диагностики 52 (карта ошибок PMS, VIN)"},
    {"LH Bosch, variant h (six cylinders)", "LH Bosch, вариант h (шесть цилиндров)"},
    {"LH Bosch, variant w (eight cylinders)", "LH Bosch, вариант w (восемь цилиндров)"},
    {"EZ ignition unit, Bosch", "Блок зажигания EZ, Bosch"},
    {"HFM Bosch, drive cycle: idle, pull away, cruise, stop",
     "HFM Bosch, поездка: холостой ход, трогание, движение, остановка"},
    {"HFM Bosch, injector of cylinder 2 faulty (no fuel)",
     "HFM Bosch, форсунка цилиндра 2 неисправна (нет топлива)"},
    {"HFM Bosch built before 08/93, three stored faults for the slow codes (4, 7, 14)",
     "HFM Bosch выпуска до 08/93, три сохраненные ошибки для медленных кодов (4, 7, 14)"},
    {"LH Bosch, variant h, hot-wire air mass sensor defect (on/off ratio steady at 40 %)",
     "LH Bosch, вариант h, датчик массового расхода воздуха неисправен (скважность постоянно 40 %)"},
    {"A sound KKL cable with no car behind it", "Исправный кабель KKL без автомобиля"},
    {"A broken KKL cable that returns nothing", "Неисправный кабель KKL, который ничего не возвращает"},
    {"A broken KKL cable whose echo loses data bit 7",
     "Неисправный кабель KKL, эхо которого теряет бит данных 7"},
    {"A KKL cable on a K-line shorted to ground", "Кабель KKL на K-линии, замкнутой на массу"},
    {"HFM Bosch; an E-GAS module that only answers at 9600 baud",
     "HFM Bosch; модуль E-GAS, отвечающий только на 9600 бод"},
    {"HFM Bosch; a Bosch SRS module that takes request bytes back to back",
     "HFM Bosch; модуль SRS Bosch, принимающий байты запроса подряд"},
    {"HFM Bosch; E-GAS, EGS and SRS without stored faults",
     "HFM Bosch; E-GAS, EGS и SRS без сохраненных ошибок"},
    {"HFM Bosch; E-GAS, EGS and SRS that never answer their address",
     "HFM Bosch; E-GAS, EGS и SRS, которые не отвечают на свой адрес"},
    {"HFM Bosch; every third frame of the modules carries a wrong checksum",
     "HFM Bosch; каждый третий кадр модулей несет неверную контрольную сумму"},
    {"HFM Bosch on a cable without echo (the module dialogues fail on it)",
     "HFM Bosch на кабеле без эха (диалоги с модулями на нем не работают)"},
};

} // namespace

std::string PortDescriptionText(const std::string& description) {
    for (const TPortText& row : PortTexts)
        if (row.Description == description)
            return Translate(row.Russian);
    return description;
}

} // namespace velmora
