#include "line_tests/kline_impulse.h"

#include "lang/translated_format.h"
#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int LineBaud = 9600;

} // namespace

bool KLineImpulse(const TLineRequest& request, uint32_t ms) {
    if (request.SessionRunning)
        return Refuse(SessionRunningText);
    if (request.Adapter == 'E')
        return Refuse(ElmRefusedText);
    TLinePort port(request.PortName, LineBaud);
    if (!port)
        return false;
    AddLog("");
    LogT("Подача импульса в K-линию на %d секунд.", int(ms / 1000));
    LogT("Запуск!");
    try {
        port->SetCommBreak();
        Clock().Sleep(ms);
        port->ClearCommBreak();
    } catch (const PortException& failure) {
        return PortFailed(failure);
    }
    port.Free();
    LogT("Завершено!");
    return true;
}

} // namespace velmora
