#include "slow_codes/slow_codes.h"

#include <algorithm>
#include <array>
#include <string>

#include "lang/translated_format.h"
#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora {

namespace {

using T = TBlinkTimingTable;

constexpr int LineBaud = 9600;
// Long waits are cut into steps of this length so that a stop ends them soon.
constexpr uint32_t StopCheckMs = 100;

// Waits `ms`, in short steps; false when `stop` was raised meanwhile.
bool WaitUnlessStopped(uint32_t ms, const std::atomic<bool>& stop) {
    while (ms > 0) {
        if (stop)
            return false;
        const uint32_t step = ms < StopCheckMs ? ms : StopCheckMs;
        Clock().Sleep(step);
        ms -= step;
    }
    return !stop;
}

// Holds the line low for `ms`; the line is released even when a stop cuts the hold short.
bool HoldLineLow(TBasePort& port, uint32_t ms, const std::atomic<bool>& stop) {
    if (stop)
        return false;
    port.SetCommBreak();
    const bool held = WaitUnlessStopped(ms, stop);
    port.ClearCommBreak();
    return held;
}

// Reads and drops every byte waiting; true when there was any.
bool DropWaiting(TBasePort& port) {
    std::array<uint8_t, 256> rx{};
    bool any = false;
    while (port.InQueue() > 0) {
        TPortBuffer buffer{rx.data(), 0, 0, int32_t(rx.size())};
        if (port.ReadBuf(buffer) <= 0)
            break;
        any = true;
    }
    return any;
}

void Report(const TSlowCodeProgressSink& progress, TSlowCodePhase phase, int reading, int pulses) {
    if (progress)
        progress({phase, reading, pulses});
}

// The erase or adaptation hold and the pause after it.
bool ResetPulse(TBasePort& port, uint32_t ms, const std::atomic<bool>& stop) {
    return HoldLineLow(port, ms, stop) && WaitUnlessStopped(T::AfterPulseMs, stop);
}

} // namespace

int ReadBlinkCode(TBasePort& port, const std::atomic<bool>& stop, const TSlowCodeProgressSink& progress,
                  int reading) {
    Report(progress, TSlowCodePhase::LineLow, reading, 0);
    if (!HoldLineLow(port, T::RequestLowMs, stop))
        return -1;
    // The release itself leaves garbage on the line.
    for (uint32_t waited = 0; waited < T::DrainMs; waited += T::DrainStepMs) {
        if (!WaitUnlessStopped(T::DrainStepMs, stop))
            return -1;
        DropWaiting(port);
    }
    Report(progress, TSlowCodePhase::Counting, reading, 0);
    // The unit pulses on its own clock, so a poll may fall between the bytes of one pulse: a burst is a run
    // of polls that found bytes, and counts once.
    int count = 0;
    bool inBurst = false;
    uint32_t lastBurst = Clock().TickCount();
    while (TicksSince(lastBurst, Clock().TickCount()) < T::CodeEndSilenceMs) {
        if (!WaitUnlessStopped(T::PollStepMs, stop))
            return -1;
        const bool bytes = DropWaiting(port);
        if (bytes) {
            if (!inBurst) {
                ++count;
                Report(progress, TSlowCodePhase::Counting, reading, count);
            }
            lastBurst = Clock().TickCount();
        }
        inBurst = bytes;
    }
    return count;
}

namespace {

// The run on the opened port; `result` collects the codes as they come.
void RunSlowCodes(TLinePort& port, const TSlowCodeOptions& options, const std::atomic<bool>& stop,
                  const TSlowCodeProgressSink& progress, TSlowCodeResult& result) {
    port->SetParams(LineBaud, ParityNone, OneStopBit);

    AddLog(" ");
    if (options.Adaptation)
        LogT("Сброс адаптации ЭБУ двигателя: запуск");
    else if (options.Erase)
        LogT("Чтение и удаление кодов неисправностей: запуск");
    else
        LogT("Чтение кодов неисправностей: запуск");

    const uint32_t eraseMs = options.Bosch93 ? T::EraseLowBosch93Ms : T::EraseLowMs;
    const uint32_t adaptMs = options.Bosch93 ? T::AdaptLowBosch93Ms : T::AdaptLowMs;
    int readings = 0, first = 0, code = 2;
    bool stopped = false;
    // With the erase: an erased code that is shown again did not go. From then on nothing is erased; the
    // readings go on until the codes left have come round once, so that all of them can be named.
    bool checkingLeft = false;
    const auto shownBefore = [](const std::vector<int>& codes, int shown) {
        return std::find(codes.begin(), codes.end(), shown) != codes.end();
    };
    while (code > 1) {
        code = ReadBlinkCode(*port, stop, progress, readings);
        if (code < 0) {
            stopped = true;
            break;
        }
        if (readings == 0)
            first = code;
        else if (options.Erase && code > 1 && (checkingLeft || shownBefore(result.Codes, code))) {
            checkingLeft = true;
            if (shownBefore(result.Remaining, code))
                break; // the codes left have come round
            result.Remaining.push_back(code);
            ++readings;
            continue;
        } else if (!options.Erase && readings > 1 && code == first) {
            code = 1; // the list has come round
        }
        if (code == 0) {
            LogT("На линии не обнаружен медленный код.");
            LogT("Причина: к-линия не подключена или зажигание выключено или адаптер неисправен.");
        }
        if (code == 1) {
            if (readings == 0)
                LogT("Память неисправностей пуста.");
            LogT("Чтение завершено.");
        }
        ++readings;
        if (code > 1) {
            result.Codes.push_back(code);
            AddLog(FormatText(" %d", code));
            if (options.Erase) {
                Report(progress, TSlowCodePhase::Erasing, readings, 0);
                if (!ResetPulse(*port, eraseMs, stop)) {
                    stopped = true;
                    break;
                }
            }
        }
    }
    if (!stopped && checkingLeft) {
        // Only a memory that reads empty after the erase is erased; the adaptation is left alone.
        std::string left;
        for (int remaining : result.Remaining)
            left += (left.empty() ? "" : ", ") + std::to_string(remaining);
        port.Free();
        LogT("Коды не удалены, в памяти остались: %s", left.c_str());
        LogT("Причина: неисправность еще присутствует или блок не принял удаление.");
        result.Outcome = TSlowCodeOutcome::NotErased;
        return;
    }
    if (!stopped && options.Adaptation && code == 1) {
        Report(progress, TSlowCodePhase::ResettingAdaptation, readings, 0);
        if (ResetPulse(*port, adaptMs, stop)) {
            result.AdaptationReset = true;
            LogT("Выключить зажигание, ждать не менее 2 секунд.");
            LogT("Включить  зажигание, ждать не менее 10 секунд, потом запустить двигатель.");
            LogT("Сброс адаптаци завершен.");
        } else {
            stopped = true;
        }
    }
    port.Free();
    if (stopped) {
        LogT("Обмен остановлен.");
        result.Outcome = TSlowCodeOutcome::Stopped;
        return;
    }
    LogT("Завершено!");
    result.Outcome = code == 0 ? TSlowCodeOutcome::NoCode : TSlowCodeOutcome::Read;
}

} // namespace

TSlowCodeResult SlowCodes(const TLineRequest& request, const TSlowCodeOptions& options,
                          const std::atomic<bool>& stop, const TSlowCodeProgressSink& progress) {
    TSlowCodeResult result;
    if (request.SessionRunning) {
        Refuse(SessionRunningText);
        return result;
    }
    if (request.Adapter == 'E') {
        Refuse(ElmRefusedText);
        return result;
    }
    TLinePort port(request.PortName, LineBaud, SlowCodesJob, request.Held);
    if (!port)
        return result;
    try {
        RunSlowCodes(port, options, stop, progress, result);
    } catch (const PortException& failure) {
        PortFailed(failure);
        result.Outcome = TSlowCodeOutcome::PortFailed;
    }
    return result;
}

} // namespace velmora
