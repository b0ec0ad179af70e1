#include "actuators/timed_pairs.h"

#include "engine_link/engine_link.h"
#include "platform/clock.h"

namespace velmora {

namespace {

constexpr uint32_t ModeLeadMs = 100;
constexpr uint32_t ModeParamDelayMs = 50;
constexpr uint32_t ModeStepMs = 200;
constexpr uint32_t CodingLeadMs = 260; // counted from the last answer
constexpr uint32_t CodingParamDelayMs = 30;
constexpr uint32_t CodingStepMs = 60;

} // namespace

TTimedPairs::TTimedPairs(TEngineLink& link, uint32_t firstDue, uint32_t paramDelayMs, uint32_t stepMs)
    : Link(link), Due(firstDue), ParamDelayMs(paramDelayMs), StepMs(stepMs) {}

TTimedPairs TTimedPairs::ModeSchedule(TEngineLink& link) {
    return TTimedPairs(link, Clock().TickCount() + ModeLeadMs, ModeParamDelayMs, ModeStepMs);
}

TTimedPairs TTimedPairs::CodingSchedule(TEngineLink& link) {
    return TTimedPairs(link, link.LastRxTick + CodingLeadMs, CodingParamDelayMs, CodingStepMs);
}

uint8_t TTimedPairs::Send(uint8_t cmd, uint8_t param) {
    const uint8_t value = Link.RequestTimed(cmd, param, Due, Due + ParamDelayMs);
    Due += StepMs;
    return value;
}

void TTimedPairs::Restart() {
    Due = Clock().TickCount() + ModeLeadMs;
}

uint8_t OpenSpecialMode(TTimedPairs& pairs) {
    pairs.Send(0xCF, 0xFF);
    return pairs.Send(0xC1, 0xFC);
}

} // namespace velmora
