#include "line_tests/elm_to_kkl.h"

#include "adapters/elm_command.h"
#include "lang/translated_format.h"
#include "links/base_port.h"
#include "links/port_factory.h"

namespace velmora {

namespace {

constexpr int ElmBaud = 38400;

} // namespace

bool ElmToKklCommand(const TLineRequest& request, const std::atomic<bool>& abort) {
    if (request.SessionRunning)
        return Refuse("Для выполнения функции необходимо остановить диагностическую сессию.");
    if (PortNameToNumber(request.PortName) != FtdiPortNumber)
        return Refuse("Функция доступна только при работе через порт FTDI!");
    return SwitchElmToKkl(request.PortName, abort, request.Held);
}

bool SwitchElmToKkl(std::string_view portName, const std::atomic<bool>& abort, const TLineLease* held) {
    bool switched = false;
    {
        TLinePort port(portName, ElmBaud, ElmToKklJob, held);
        if (!port)
            return false;
        TElmState state;
        TElmContext elm{*port, [](std::string_view line) { AddLog(line); }, abort, state};
        try {
            switched = ElmToKkl(elm);
        } catch (const PortException& failure) {
            PortFailed(failure);
        }
    }
    if (switched) {
        LogT("Адаптер ELM327 переведен в режим KKL");
        LogT("Выход из режима - сброс питания.");
    } else {
        LogT("Ошибка при выполнении функции изменения режима адаптера.");
    }
    return switched;
}

} // namespace velmora
