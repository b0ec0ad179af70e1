#include "line_tests/adapter_test.h"

#include <array>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "line_tests/carsoft_check.h"
#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int EchoBaud = 9600;
constexpr uint32_t SettleMs = 100;
// Each echo is read with at most this wait (ms) plus 1 ms per byte asked for.
constexpr int EchoWaitMs = 300;
// The error text goes to the log whenever it grows longer than this.
constexpr size_t ErrorLineChars = 80;

const char* const FaultyReasons[] = {
    "1. адаптер не подключен к com порту или подключен к другому порту",
    "2. отсутствует питание адаптера",
    "3. К-линия замкнута на землю",
};

// Sends each byte at the start of a fresh millisecond, so that the echoes are read at the same phase.
void WaitForTickChange() {
    const uint32_t start = Clock().TickCount();
    while (Clock().TickCount() == start)
        Clock().Sleep(1);
}

// What came back for `sent`: empty for a sound echo, else " b/" and what was wrong.
std::string EchoError(uint8_t sent, const uint8_t* data, int count) {
    if (count == 1 && data[0] == sent)
        return {};
    std::string text = FormatText(" %d/", int(sent));
    if (count <= 0)
        return text + Translate("нет ответа");
    for (int i = 0; i < count; ++i)
        text += FormatText(" %d", int(data[i]));
    return text;
}

bool RunEchoTest(const TLineRequest& request) {
    LogT("Тест адаптера K-LINE (выполнение не более 20 секунд)");
    LogT("Ждите!");
    const uint32_t started = Clock().TickCount();
    int sent = 0, correct = 0;
    {
        TLinePort port(request.PortName, EchoBaud, AdapterTestJob, request.Held);
        if (!port)
            return false;
        port->SetParams(EchoBaud, ParitySpace, OneStopBit);
        port->SetTimeouts(0, 1, EchoWaitMs, 0, 0);
        Clock().Sleep(SettleMs);
        std::array<uint8_t, 4096> rx{};
        TPortBuffer drain{rx.data(), 0, 0, int32_t(rx.size())};
        port->ReadBuf(drain);
        LogT("ошибки передача/прием:");

        // The engine link's byte sender sets the parity per byte; it is told the port is at space parity.
        TExchangeLog unused;
        TEngineLink link(unused);
        link.ParityCache = ParitySpace;
        std::string errors;
        bool noParity = true;
        for (int value = 0; value < EchoTestBytes; ++value) {
            WaitForTickChange();
            link.SendByte(uint8_t(value), noParity);
            noParity = !noParity;
            ++sent;
            TPortBuffer echo{rx.data(), 0, 0, int32_t(rx.size())};
            const int count = port->ReadBufEx(echo, port->InQueue() + 1);
            const std::string error = EchoError(uint8_t(value), rx.data(), count);
            if (error.empty()) {
                ++correct;
                continue;
            }
            errors += error;
            if (errors.size() > ErrorLineChars) {
                AddLog(errors);
                errors.clear();
            }
            break;
        }
        if (!errors.empty())
            AddLog(errors);
    }
    LogT("Отправлено в линию %d байт, принято без искажений (эхо) %d", sent, correct);
    LogT("Время теста %d сек.", int(TicksSince(started, Clock().TickCount()) / 1000));
    if (correct == EchoTestBytes) {
        LogT("Адаптер исправен!");
        return true;
    }
    LogT("Адаптер НЕИСПРАВЕН, варианты:");
    for (const char* reason : FaultyReasons)
        LogT(reason);
    return false;
}

} // namespace

bool TestAdapter(const TLineRequest& request, bool isCarSoft, const std::atomic<bool>* stop) {
    if (request.PortName.find('?') != std::string::npos) {
        Host().MessageBox(Translate("Необходимо выбрать COM порт!"), TMsgKind::Warning, TMsgButtons::Ok);
        return false;
    }
    if (request.SessionRunning)
        return Refuse(SessionRunningText);
    if (request.Adapter == 'E')
        return Refuse(ElmRefusedText);
    if (isCarSoft)
        return CheckCarSoft(request.PortName, request.Held, stop);
    try {
        return RunEchoTest(request);
    } catch (const PortException& failure) {
        return PortFailed(failure);
    }
}

} // namespace velmora
