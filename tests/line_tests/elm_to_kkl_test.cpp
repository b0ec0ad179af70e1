#include "line_tests/elm_to_kkl.h"

#include <gtest/gtest.h>

#include "line_rig.h"
#include "line_tests/adapter_test.h"

namespace velmora {
namespace {

using testing::TLineRig;

TEST(ElmToKkl, AdapterConfirmsAndThenPassesTheLineThrough) {
    TLineRig rig("SIMELM:hfm");
    std::atomic<bool> abort{false};
    ASSERT_TRUE(SwitchElmToKkl(TLineRig::PortName, abort)) << rig.Host.LogText();
    EXPECT_TRUE(rig.Logged("Адаптер ELM327 переведен в режим KKL"));
    EXPECT_TRUE(rig.Logged("Выход из режима - сброс питания."));
    EXPECT_EQ(Port(), nullptr);
    // Now a cable: the echo test passes through it.
    rig.Host.Clear();
    EXPECT_TRUE(TestAdapter(rig.Request('K'), false)) << rig.Host.LogText();
}

TEST(ElmToKkl, SilentAdapterOrAPortThatDoesNotOpenFails) {
    struct TCase {
        const char* Sim;
        const char* Line;
    };
    const TCase cases[] = {
        {"SIM:cable-noecho", "Ошибка при выполнении функции изменения режима адаптера."},
        {"SIM:no-such-unit", "Не могу открыть порт LINERIG"}, // the port does not open
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sim);
        TLineRig rig(c.Sim);
        std::atomic<bool> abort{false};
        EXPECT_FALSE(SwitchElmToKkl(TLineRig::PortName, abort));
        EXPECT_TRUE(rig.Logged(c.Line)) << rig.Host.LogText();
        EXPECT_FALSE(rig.Logged("Адаптер ELM327 переведен в режим KKL"));
        EXPECT_EQ(Port(), nullptr);
    }
}

TEST(ElmToKkl, RefusedDuringASessionAndOffTheFtdiPort) {
    TLineRig rig("SIMELM:hfm");
    std::atomic<bool> abort{false};
    TLineRequest busy{"FTDI", 'E', true};
    EXPECT_FALSE(ElmToKklCommand(busy, abort));
    EXPECT_FALSE(ElmToKklCommand(rig.Request('E'), abort));
    EXPECT_EQ(rig.Host.Logs(), (std::vector<std::string>{
                                   "Для выполнения функции необходимо остановить диагностическую сессию.",
                                   "Функция доступна только при работе через порт FTDI!"}));
    EXPECT_EQ(rig.Sim->Car(), nullptr);
}

} // namespace
} // namespace velmora
