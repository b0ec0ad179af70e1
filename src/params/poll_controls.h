// The polling controls shared by the parameter set (TListParams) and the view lists (TListPrm): a
// back-off for all records and per-record intervals. Worker thread; the fields they write are atomic,
// so the window may read them meanwhile.
#pragma once

#include <cstdint>

namespace velmora {

class TECUparam;

// lastTick argument of SetPoll and the SetPoll* operations: leave LastTick as it is.
constexpr int64_t KeepLastTick = -1;

// The PollInterval that holds a record back for `seconds` from now: -(now + s × 1024 ms), the tick taken
// in its low 31 bits (PauseTickMask); seconds above 30 count as 32; 0 (or less) gives 0, which ends a
// pause.
int32_t PauseInterval(int seconds);
// Interval 0 clears LastTick and PollInterval, so that the record is read at once; otherwise
// PollInterval = interval (ms; negative: held back until tick -interval) and, unless lastTick is
// KeepLastTick, LastTick = lastTick.
void SetPoll(TECUparam& param, int32_t interval, int64_t lastTick);
// Clears LastTick and PollInterval.
void ClearPoll(TECUparam& param);

} // namespace velmora
