#include "log_convert/known_requests.h"

#include <array>
#include <vector>

#include "params/unit_codes.h"

namespace velmora {

namespace {

constexpr TKnownRequest KnownRequests[] = {
    {0x1000, ""},
    {0x10AA, ""},
    {0x0080, ""},
    {0x4537, "Команда при изменении кодировки для блока BOSCH"},
    {0x4637, "Команда при изменении кодировки для блока VDO"},
    {0xC0FC, "ACT: ВЫход из спец. режима, шаг 1/2"},
    {0xC1FC, "ACT: Вход в спец. режим шаг 2/2"},
    {0x00C2, "Ответ на запрос проверочного слова, байт 1/2"},
    {0x00C3, "Ответ на запрос проверочного слова, байт 2/2"},
    {0xCF00, "ACT: ВЫход из спец. режима, шаг 2/2"},
    {0xCFFF, "ACT: Вход в спец. режим шаг 1/2"},
    {0x00D0, "ACT: Управление EGR, Camshaft и т.п."},
    {0x00D1, "ACT: Отключение контроля функций?"},
    {0xD108, "ACT: Адаптация дроссельной заслонки"},
    {0x00D2, "ACT: Форсунки ON/OFF"},
    {0x00D3, "ACT: Управление дросселем"},
    {0x00D4, "ACT: Управление регенерацией"},
    {0x00D5, ""},
    {0x00D6, ""},
    {0x00D7, ""},
    {0x00D8, ""},
    {0x00D9, ""},
    {0x00DA, ""},
    {0x00DB, "ACT: Ограничитель оборотов ON/OFF"},
    {0x00DC, "ACT: Мощность кулера"},
    {0xE000, "????? reset adaptation"},
    {0xE0FE, "Запрос у блока проверочного слова, байт 1/2"},
    {0xE0FF, "Запрос у блока проверочного слова, байт 2/2"},
    {0x00E1, "Запись: новая кодировка блока, байт 1/3"},
    {0x00E2, "Запись: новая кодировка блока, байт 2/3"},
    {0x00E3, "Запись: новая кодировка блока, байт 3/3"},
    {0x00E4, "Запись: ? 228"},
    {0x00E5, "Запись: ? 229"},
    {0x00E6, "Запись: Обороты ХХ"},
    {0x00ED, "Запись: код сканера, байт 1/3"},
    {0x00EE, "Запись: код сканера, байт 2/3"},
    {0x00EF, "Запись: код сканера, байт 3/3"},
    {0x00F0, "ecu info"},
    {0x00F1, "error memory"},
    {0x00F9, "VIN"},
    {0xF3FF, "Удаление ошибок!"},
    {0x0030, "ошибки LH"},
    {0x40F7, "error memory"},
    {0x40F8, "error memory"},
    {0x40FA, "error memory"},
    {0x40FB, "error memory"},
    {0x1022, "error memory"},
    {0x10C9, "error memory"},
};

constexpr TIdentExtra IdentExtraRows[] = {
    {UnitLh, 0x40, 0xF7, 0x10},        {UnitLh, 0x40, 0xF8, 0x11},        {UnitLh, 0x40, 0xFA, 0x12},
    {UnitLh, 0x40, 0xFB, 0x13},        {UnitLh, 0x00, 0x22, 0x20},        {UnitLh, 0x10, 0xC9, 0x21},
    {UnitEz, 0x11, 0xAA, NoIdentByte}, {UnitEz, 0x02, 0x7F, NoIdentByte}, // the EZ's start of its numbers
    {UnitEz, 0x80, 0xF2, 0x10},        {UnitEz, 0x80, 0xF3, 0x11},        {UnitEz, 0x80, 0xBF, 0x12},
    {UnitEz, 0x80, 0xC0, 0x13},        {UnitEz, 0x80, 0xC1, 0x14},        {UnitEz, 0x80, 0xC2, 0x15},
    {UnitEz, 0x80, 0xC3, 0x16},        {UnitEz, 0x80, 0xC6, 0x17},        {UnitEz, 0x80, 0xC7, 0x18},
    {UnitEz, 0x80, 0xC8, 0x19},        {UnitEz, 0x80, 0xC9, 0x1A},        {UnitEz, 0x80, 0xCA, 0x1B},
    {UnitEz, 0x80, 0xCB, 0x1C},
};

// Per command byte: 0 unknown, 1 known with some parameters, 2 known alone (any parameter).
constexpr std::array<uint8_t, 256> CommandKinds = [] {
    std::array<uint8_t, 256> kinds{};
    for (const TKnownRequest& request : KnownRequests) {
        if (request.Word < 0x100)
            kinds[request.Word] = 2;
        else if (kinds[request.Word >> 8] == 0)
            kinds[request.Word >> 8] = 1;
    }
    return kinds;
}();

} // namespace

const TKnownRequest* FindKnownRequest(uint8_t cmd, uint8_t param) {
    // Looked up for every pair of a log: one table by command·256 + parameter, made once; an exact
    // word wins over its command alone.
    static const std::vector<const TKnownRequest*> byWord = [] {
        std::vector<const TKnownRequest*> table(65536);
        for (const TKnownRequest& request : KnownRequests)
            if (request.Word < 0x100)
                for (size_t p = 0; p < 256; ++p)
                    if (!table[size_t(request.Word) << 8 | p])
                        table[size_t(request.Word) << 8 | p] = &request;
        for (const TKnownRequest& request : KnownRequests)
            if (request.Word >= 0x100)
                table[request.Word] = &request;
        return table;
    }();
    return byWord[size_t(cmd) << 8 | param];
}

bool IsKnownCommand(uint8_t cmd) {
    return CommandKinds[cmd] != 0;
}

std::span<const TIdentExtra> IdentExtras() {
    return IdentExtraRows;
}

} // namespace velmora
