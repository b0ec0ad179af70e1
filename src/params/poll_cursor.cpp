#include "params/poll_cursor.h"

#include "params/list_prm.h"
#include "params/param_list.h"
#include "platform/clock.h"

namespace velmora {

TECUparam* TPollCursor::NextStalest(const TListParams& params) {
    size_t count = params.Count();
    if (count == 0)
        return nullptr;
    uint32_t now = Clock().TickCount();
    size_t chosen = count;
    uint32_t chosenAge = 0;
    for (size_t step = 0; step < count; ++step) {
        size_t index = (ParamCursor + step) % count;
        TECUparam& param = params[index];
        if (param.LastTick == 0) {
            chosen = index;
            break;
        }
        if (!param.IsPollDue())
            continue;
        uint32_t age = TicksSince(param.LastTick, now);
        if (chosen == count || age > chosenAge) {
            chosen = index;
            chosenAge = age;
        }
    }
    if (chosen == count)
        return nullptr;
    Advance(chosen, count);
    return &params[chosen];
}

TECUparam* TPollCursor::NextForScreen(const TListParams& params, const TListPrm& screen) {
    size_t count = params.Count();
    for (size_t step = 0; step < count; ++step) {
        size_t index = (ParamCursor + step) % count;
        TECUparam& param = params[index];
        if (param.IsPollDue() || screen.IsPollEveryCycle(param.Number)) {
            Advance(index, count);
            return &param;
        }
    }
    return nullptr;
}

void TPollCursor::Advance(size_t index, size_t count) {
    ParamCursor = index + 1;
    if (ParamCursor >= count) {
        ParamCursor = 0;
        CycleTick = Clock().TickCount();
    }
}

} // namespace velmora
