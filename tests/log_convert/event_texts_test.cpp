// Texts of actuator commands and fault-memory bytes in a converted exchange log.
#include <gtest/gtest.h>

#include "log_convert/event_texts.h"
#include "log_convert/known_requests.h"
#include "params/unit_codes.h"

namespace velmora {
namespace {

TEST(EventTexts, ActuatorChannels) {
    struct TCase {
        uint8_t Channel, Value;
        bool Newest;
        const char* Text;
    };
    const TCase cases[] = {
        {0xD0, 0x0F, false,
         "     ACT: E208 (Фазовращатель, Обогрев ДК, Реле насоса, EGR) - штатное состояние"},
        {0xD0, 0x08, true,
         "     ACT: E208 (Фазовращатель, Обогрев ДК, Реле насоса, EGR) - штатное состояние"},
        {0xD0, 0x18, false, "     ACT:  Насос EGR"},
        {0xD1, 0x00, false, "     ACT:  209 (AirPump Valve, Idle control) - штатное состояние "},
        {0xD1, 0xC1, false, "     ACT:  AirPump Valve Throttle Reset Off Idle control"},
        {0xD1, 0x04, false, "     ACT:  D104h"},
        {0xD2, 0x00, false, "     ACT:  Все форсунки работают! "},
        {0xD2, 0x80, false, "     ACT:  Все форсунки работают!   AirPump Motor"},
        {0xD2, 0x05, false, "     ACT: Отключены форсунки:  Все 2"},
        {0xD2, 0x42, false, "     ACT: Отключены форсунки:  1 6"},
        {0xD2, 0xC0, false, "     ACT: Отключены форсунки:  6  AirPump Motor"}, // no injector 7
        {0xD3, 0x40, false, "     ACT:  Мотор дросселя, изменение 0 %"},
        {0xD3, 0xFF, false, "     ACT:  Мотор дросселя, изменение 100 %"},
        {0xD4, 30, false, "     ACT:  Регенерация (EVAP) 30 %"},
        {0xD5, 7, false, "     ACT:  D5h 7 %"},
        {0xD6, 0x80, false, "     ACT:  Изменение состава смеси на 0 %"},
        {0xD9, 20, false, "     ACT:  D9h 20 %"},
        {0xDB, 0x00, false, "     ACT:  219 (RPM Limiter) - штатное состояние! "},
        {0xDB, 0x03, false, "     ACT:  DB01h RPM Limiter OFF"},
        {0xDC, 40, false, "     ACT:  Мощность кулера 40 %"},
        {0xCF, 0x00, false, ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ActuatorText(c.Channel, c.Value, c.Newest), c.Text)
            << std::hex << int(c.Channel) << " " << int(c.Value);
}

TEST(EventTexts, FaultBytes) {
    const TFaultContext hfm{UnitHfm, SupplierBosch, 52, 0, false};
    const TFaultContext pms{UnitPms, SupplierVdo, 52, 0, true};
    const TFaultContext lh{UnitLh, SupplierBosch, 44, 'h', false};
    struct TCase {
        uint8_t Address, Value;
        TFaultContext Context;
        std::vector<std::string> Texts;
    };
    const TCase cases[] = {
        {0x00, 0x10, hfm, {"    bit 5: code 7"}},
        {0x11, 0x08, hfm, {"    bit 12: code 14"}}, // the current map repeats the stored bit numbers
        {0x01, 0x09, hfm, {"    bit 9: code 118", "    bit 12: code 14"}},
        {0x30, 0x01, pms, {"    bit 129: no code"}}, // extra stored byte of the PMS layout
        {0x20, 0xFF, hfm, {}},                       // no fault map at 32
        {0x03, 0x02, lh, {"    slot 3: code 3 (2)"}},
        {0x17, 0x01, lh, {"    slot 23: code 123 (1)"}},
        {0x1E, 0x01, lh, {"    slot 30: code 29 (1)"}}, // the last slot
        {0x00, 0x01, lh, {}},                           // no slot 0
        {0x1F, 0x01, lh, {}},                           // nor one beyond the last
        {0x40, 0x01, pms, {"    bit 129: no code"}},    // the PMS fault map at 64..66: faults 129..152
        {0x42, 0x80, pms, {"    bit 152: no code"}},
        {0x43, 0x01, pms, {}},
        {0x05, 0x00, hfm, {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FaultByteTexts(c.Address, c.Value, c.Context), c.Texts) << int(c.Address);
    EXPECT_TRUE(IsLostFaultAddress(15));
    EXPECT_FALSE(IsLostFaultAddress(16));
}

TEST(KnownRequests, ExactWordsBeforeCommandsAlone) {
    EXPECT_EQ(FindKnownRequest(0xD1, 0x08)->Label, "ACT: Адаптация дроссельной заслонки");
    EXPECT_EQ(FindKnownRequest(0xD1, 0x09)->Label, "ACT: Отключение контроля функций?");
    EXPECT_EQ(FindKnownRequest(0xF0, 0x1A)->Label, "ecu info");
    EXPECT_EQ(FindKnownRequest(0x10, 0x00)->Label, "");
    EXPECT_EQ(FindKnownRequest(0x10, 0x01), nullptr); // 0x1000 is one word, not the command alone
    EXPECT_EQ(FindKnownRequest(0x00, 0xF0), nullptr); // a word below 0x100 is a command, not a parameter
    EXPECT_TRUE(IsKnownCommand(0xE0));
    EXPECT_FALSE(IsKnownCommand(0x55));
}

} // namespace
} // namespace velmora
