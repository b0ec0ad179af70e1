#include "engine_link/pair_check.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr size_t AnswerBytes = 2; // echo and answer

// The index of the first echo of `sent`, or bytes.size() when there is none.
size_t FirstEcho(std::span<const uint8_t> bytes, uint8_t sent) {
    return size_t(std::find(bytes.begin(), bytes.end(), sent) - bytes.begin());
}

} // namespace

TAnswerVerdict JudgeAnswer(std::span<const uint8_t> bytes, uint8_t sent, bool isCommand) {
    if (bytes.empty() || (bytes.size() == 1 && bytes[0] == sent))
        return TAnswerVerdict::Lost;
    if (bytes.size() != AnswerBytes || bytes[0] != sent)
        return TAnswerVerdict::Stray;
    if (isCommand && bytes[1] != uint8_t(0xFF - sent))
        return TAnswerVerdict::Wrong;
    return TAnswerVerdict::Sound;
}

int StrayByteCount(std::span<const uint8_t> bytes, uint8_t sent, bool isCommand) {
    if (JudgeAnswer(bytes, sent, isCommand) != TAnswerVerdict::Stray)
        return 0;
    // The echo and one answer after it are the pair's own; everything else is not.
    const size_t echo = FirstEcho(bytes, sent);
    size_t own = echo < bytes.size() ? 1 : 0;
    if (echo + 1 < bytes.size())
        ++own;
    return std::max(1, int(bytes.size() - own));
}

double TAnswerTiming::ShortestMs(bool isCommand) const {
    const TKind& kind = Kinds[isCommand ? 1 : 0];
    const size_t held = std::min(kind.Count, Kept);
    return held == 0 ? 0 : *std::min_element(kind.Times.begin(), kind.Times.begin() + ptrdiff_t(held));
}

bool TAnswerTiming::Early(bool isCommand, double elapsedMs) const {
    return Kinds[isCommand ? 1 : 0].Count > 0 && elapsedMs < ShortestMs(isCommand) - ToleranceMs;
}

void TAnswerTiming::Learn(bool isCommand, double elapsedMs) {
    TKind& kind = Kinds[isCommand ? 1 : 0];
    kind.Times[kind.Count % Kept] = elapsedMs;
    ++kind.Count;
}

} // namespace velmora
