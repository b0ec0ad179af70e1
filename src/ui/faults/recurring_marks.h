// The mark on a fault row whose code was erased at an earlier visit of this car and is back: the row's
// text gets "ПОВТОРНАЯ: стерта <date>" and the row is flagged recurring. Window thread.
#pragma once

#include <vector>

namespace velmora {

class THistoryRecorder;
struct TFaultRow;

// Marks the fault rows of `rows` by `history`'s earlier visits; notices, and everything without a
// history, stay as they are.
void MarkRecurringFaults(std::vector<TFaultRow>& rows, const THistoryRecorder* history);

} // namespace velmora
