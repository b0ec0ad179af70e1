// The mark on a fault line whose code was erased at an earlier visit of this car and is back: the line
// gets "ПОВТОРНАЯ: стерта <date>" and turns red. Window thread.
#pragma once

class QListWidget;

namespace velmora {

class THistoryRecorder;

// Marks the lines of `list` (each beginning with the code's three digits) by `history`'s earlier
// visits; nothing without a history.
void MarkRecurringFaults(QListWidget& list, const THistoryRecorder* history);

} // namespace velmora
