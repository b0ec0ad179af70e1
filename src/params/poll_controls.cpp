#include "params/poll_controls.h"

#include <algorithm>

#include "params/ecu_param.h"
#include "params/param_list.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr int LongestPauseAsked = 30; // s; anything longer is cut to LongestPause
constexpr int64_t LongestPause = 32;  // s
constexpr int64_t PollLevelMs = 1024;

} // namespace

int32_t PauseInterval(int seconds) {
    if (seconds <= 0)
        return 0;
    const int64_t s = seconds > LongestPauseAsked ? LongestPause : seconds;
    const uint32_t until = (Clock().TickCount() + uint32_t(s * PollLevelMs)) & PauseTickMask;
    return -int32_t(until != 0 ? until : 1); // 0 would end the pause
}

void SetPoll(TECUparam& param, int32_t interval, int64_t lastTick) {
    if (interval == 0) {
        ClearPoll(param);
        return;
    }
    param.PollInterval = interval;
    if (lastTick != KeepLastTick)
        param.LastTick = uint32_t(lastTick);
}

void ClearPoll(TECUparam& param) {
    param.LastTick = 0;
    param.PollInterval = 0;
}

void TListParams::PausePolling(int seconds) {
    int32_t interval = PauseInterval(seconds);
    for (const auto& item : Items)
        item->PollInterval = interval;
}

bool TListParams::SetPollByNumber(int number, int32_t interval, int64_t lastTick) {
    TECUparam* param = FindByNumber(number);
    if (param)
        SetPoll(*param, interval, lastTick);
    return param != nullptr;
}

bool TListParams::SetPollById(uint8_t id, int32_t interval, int64_t lastTick) {
    // Identifier 0 is what every record without identifiers carries: it names nothing.
    TECUparam* param = id == 0 ? nullptr : FindById(id);
    if (param)
        SetPoll(*param, interval, lastTick);
    return param != nullptr;
}

void TListParams::ResetPolls() {
    for (const auto& item : Items)
        ClearPoll(*item);
}

} // namespace velmora
