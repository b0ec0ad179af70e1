#include "line_tests/kline_impulse.h"

#include <algorithm>

#include "lang/translated_format.h"
#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int LineBaud = 9600;
// The hold is cut into slices of this length so that a stop ends it soon.
constexpr uint32_t HoldSliceMs = 100;

// Waits `ms` in slices; false when `stop` was raised on the way.
bool HoldUnlessStopped(uint32_t ms, const std::atomic<bool>& stop) {
    while (ms > 0) {
        if (stop)
            return false;
        const uint32_t slice = std::min(ms, HoldSliceMs);
        Clock().Sleep(slice);
        ms -= slice;
    }
    return !stop;
}

} // namespace

bool KLineImpulse(const TLineRequest& request, uint32_t ms, const std::atomic<bool>& stop) {
    if (request.SessionRunning)
        return Refuse(SessionRunningText);
    if (request.Adapter == 'E')
        return Refuse(ElmRefusedText);
    TLinePort port(request.PortName, LineBaud, ImpulseJob, request.Held);
    if (!port)
        return false;
    AddLog("");
    LogT("Подача импульса в K-линию на %d секунд.", int(ms / 1000));
    LogT("Запуск!");
    bool held = false;
    try {
        port->SetCommBreak();
        held = HoldUnlessStopped(ms, stop);
        port->ClearCommBreak();
    } catch (const PortException& failure) {
        return PortFailed(failure);
    }
    port.Free();
    if (!held) {
        LogT("Обмен остановлен.");
        return false;
    }
    LogT("Завершено!");
    return true;
}

} // namespace velmora
