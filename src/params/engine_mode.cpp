#include "params/engine_mode.h"

#include <cmath>

#include "params/engine_mode_rules.h"
#include "params/param_list.h"
#include "params/poll_controls.h"
#include "params/poll_levels.h"
#include "platform/clock.h"

namespace velmora {

namespace {

bool Compare(TCompare compare, float value, float limit) {
    switch (compare) {
    case TCompare::Unused:
        return true;
    case TCompare::Below:
        return value < limit;
    case TCompare::AtLeast:
        return value >= limit;
    case TCompare::AbsAtLeast:
        return std::fabs(value) >= limit;
    case TCompare::On:
        return value != 0;
    case TCompare::Off:
        return value == 0;
    }
    return false;
}

const TModePolling* PollingOf(uint8_t mode) {
    for (const TModePolling& polling : ModePollings())
        if (polling.Code == mode)
            return &polling;
    return nullptr;
}

// Whether `tick` has been reached, on the wrapping tick count.
bool Reached(uint32_t tick, uint32_t now) {
    return int32_t(now - tick) >= 0;
}

} // namespace

TEngineModeObserver::TEngineModeObserver(TListParams& params, int unitType)
    : Params(params), UnitType(unitType), HoldingSince(ModeRules().size()) {
    Reset();
}

void TEngineModeObserver::Reset() {
    if (CurrentMode != EngineMode::None)
        ChangeMode(EngineMode::None, Clock().TickCount());
    Samples.fill(std::nullopt);
    std::fill(HoldingSince.begin(), HoldingSince.end(), std::nullopt);
    EngineRunning = false;
    AssignPollLevels(Params, UnitType, false);
}

void TEngineModeObserver::OnValue(const TECUparam& param) {
    OnValue(param, Clock().TickCount());
}

void TEngineModeObserver::OnValue(const TECUparam& param, uint32_t now) {
    for (size_t q = 0; q < size_t(TQuantity::Count); ++q) {
        uint8_t id = QuantityId(TQuantity(q));
        if (!param.HasId(id))
            continue;
        // A status bit of a bit-field byte, or a whole value (a status kept in a byte: not 0 = on).
        int bit = param.BitById(id);
        Take(TQuantity(q), bit >= 0 ? float(bit) : param.AsSingle(), param.LastTick);
    }
    FollowEngineState();
    uint8_t mode = Decide(now);
    if (mode != CurrentMode)
        ChangeMode(mode, now);
    else if (mode != EngineMode::None && PauseEnd != 0 && Reached(PauseEnd, now))
        ApplyModePolling(now); // the back-off ran out while the mode lasts: renew it
}

void TEngineModeObserver::Take(TQuantity quantity, float value, uint32_t tick) {
    Samples[size_t(quantity)] = TSample{value, tick};
}

std::optional<float> TEngineModeObserver::Fresh(TQuantity quantity, uint32_t now) const {
    const std::optional<TSample>& sample = Samples[size_t(quantity)];
    if (!sample || TicksSince(sample->Tick, now) > StaleMs)
        return std::nullopt;
    return sample->Value;
}

uint8_t TEngineModeObserver::Decide(uint32_t now) {
    std::span<const TModeRule> rules = ModeRules();
    uint8_t decided = EngineMode::None;
    for (size_t i = 0; i < rules.size(); ++i) {
        const TModeRule& rule = rules[i];
        bool holds = true;
        for (const TModeTerm& term : rule.Terms) {
            if (term.Compare == TCompare::Unused)
                continue;
            std::optional<float> value = Fresh(term.Quantity, now);
            if (!value || !Compare(term.Compare, *value, term.Limit)) {
                holds = false;
                break;
            }
        }
        std::optional<uint32_t>& since = HoldingSince[i];
        if (!holds) {
            since.reset();
            continue;
        }
        if (!since)
            since = now;
        bool heldLongEnough = TicksSince(*since, now) >= rule.HoldMs;
        if (decided == EngineMode::None && (heldLongEnough || rule.Code == CurrentMode))
            decided = rule.Code;
    }
    return decided;
}

void TEngineModeObserver::ChangeMode(uint8_t mode, uint32_t now) {
    uint8_t ended = CurrentMode.exchange(mode);
    if (ended != EngineMode::None)
        Host().PostMessage(WmEngineMode, ModeCleared, ended);
    if (mode != EngineMode::None)
        Host().PostMessage(WmEngineMode, ModeShown, mode);
    ApplyModePolling(now);
}

void TEngineModeObserver::ApplyModePolling(uint32_t now) {
    uint8_t mode = CurrentMode;
    const TModePolling* polling = PollingOf(mode);
    int pause = polling ? polling->PauseSeconds : 0;
    // Clears every interval of the last mode too; with no mode that is all.
    Params.PausePolling(pause);
    PauseEnd = pause > 0 ? now + uint32_t(pause) * 1024 : 0;
    // A mode without a back-off keeps every record at its level: an interval would only slow down
    // records that are read every cycle anyway.
    if (mode == EngineMode::None || pause == 0)
        return;
    for (const TModeRule& rule : ModeRules()) {
        if (rule.Code != mode)
            continue;
        for (const TModeTerm& term : rule.Terms)
            if (term.Compare != TCompare::Unused)
                Params.SetPollById(QuantityId(term.Quantity), DecidingPollMs, KeepLastTick);
    }
    for (const TPollRequest& request : polling->Requests) {
        if (request.IntervalMs == 0)
            continue;
        if (request.ById)
            Params.SetPollById(request.Key, request.IntervalMs, KeepLastTick);
        else
            Params.SetPollByNumber(request.Key, request.IntervalMs, KeepLastTick);
    }
}

void TEngineModeObserver::FollowEngineState() {
    const std::optional<TSample>& speed = Samples[size_t(TQuantity::EngineSpeed)];
    if (!speed)
        return;
    bool running = speed->Value > 0;
    if (running == EngineRunning)
        return;
    EngineRunning = running;
    AssignPollLevels(Params, UnitType, running);
}

} // namespace velmora
