// How the engine link judges what came back for one sent byte of a request pair before it takes the
// answer: the echo of our byte and then exactly one answer byte (the complement of a command byte, the
// value of a parameter byte). Anything else (a byte before the echo, a wrong echo, more bytes than the
// pair has) means a stray byte may stand in the answer's place, and the pair is not a reading; so is an
// answer clearly sooner than this unit answers when the unit's own answer still comes behind it. Pure
// bookkeeping, no port; worker thread only.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace velmora {

enum class TAnswerVerdict {
    Sound, // the echo, then the answer (for a command: its complement)
    Lost,  // nothing, or the echo alone: the answer did not come
    Wrong, // the echo, then one byte that is not the complement of the command
    Stray, // a byte that belongs to no answer: before the echo, in its place, or beyond the answer
};

// What one read of the answer to `sent` shows by its bytes alone.
TAnswerVerdict JudgeAnswer(std::span<const uint8_t> bytes, uint8_t sent, bool isCommand);

// How many of `bytes` belong to no answer of `sent` (for a Stray verdict at least one).
int StrayByteCount(std::span<const uint8_t> bytes, uint8_t sent, bool isCommand);

// The time from sending a byte to holding its echo and answer, learned from this unit's sound answers:
// the shortest of the last few, per kind of byte (command or parameter). An answer that comes clearly
// sooner may be a stray byte in the answer's place; the link then looks whether the unit's own answer
// still comes behind it.
class TAnswerTiming {
public:
    // Slack for the clock and the port (ms): only an answer this much sooner than the shortest counts.
    static constexpr double ToleranceMs = 0.2;
    // Sound answers remembered per kind: enough that the shortest is near the unit's own time even when
    // the thread was held up around many of them.
    static constexpr size_t Kept = 32;

    // True when the answer came clearly sooner than this unit has answered so far.
    bool Early(bool isCommand, double elapsedMs) const;
    // The shortest time of the unit's answers so far (0 before the first).
    double ShortestMs(bool isCommand) const;
    // A sound answer's time.
    void Learn(bool isCommand, double elapsedMs);
    void Reset() { *this = TAnswerTiming{}; }

private:
    struct TKind {
        std::array<double, Kept> Times{};
        size_t Count = 0; // sound answers seen (the ring holds the last Kept of them)
    };
    TKind Kinds[2];
};

} // namespace velmora
