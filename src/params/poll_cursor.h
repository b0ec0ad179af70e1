// The worker's choice of the next parameter to read from its own parameter set: the stalest-first
// choice of normal polling and the round-robin walk of a visible screen. Worker thread only; the
// records' poll fields it reads are atomic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

class TECUparam;
class TListParams;
class TListPrm;

class TPollCursor {
public:
    // Normal polling, one pass over the set starting at ParamCursor: a record never read (LastTick 0,
    // also what SetPoll with interval 0 leaves) is taken at once; otherwise, among the records that
    // are due (TECUparam::IsPollDue), the one read longest ago wins, ties to the first found. nullptr
    // when nothing is due: poll levels, pauses and intervals hold records back, which is how the
    // engine-mode observer gets its values read more often than the rest.
    TECUparam* NextStalest(const TListParams& params);
    // View polling of a screen: walking round-robin from ParamCursor, the first record that is due or
    // that the screen polls in every cycle (TListPrm::IsPollEveryCycle); nullptr when none is.
    TECUparam* NextForScreen(const TListParams& params, const TListPrm& screen);
    // Starts over at the first record (a new set or list).
    void Reset() { ParamCursor = 0; }

    size_t ParamCursor = 0;
    // Tick at which the cursor last passed the end of the set: the end of a full cycle.
    uint32_t CycleTick = 0;

private:
    // Moves the cursor past `index`, noting the end of a cycle.
    void Advance(size_t index, size_t count);
};

} // namespace velmora
