#include "ui/faults/recurring_marks.h"

#include "faults/fault_display.h"
#include "history/session_recorder.h"
#include "lang/translated_format.h"

namespace velmora {

void MarkRecurringFaults(std::vector<TFaultRow>& rows, const THistoryRecorder* history) {
    if (!history)
        return;
    for (TFaultRow& row : rows) {
        if (row.Notice)
            continue;
        std::string erasedOn;
        for (const TSeenBefore& seen : history->SeenBefore(row.Code))
            if (seen.Erased)
                erasedOn = seen.Date.substr(0, 10); // the latest erase
        if (erasedOn.empty())
            continue;
        row.Text +=
            (row.Text.empty() ? "" : ",  ") + TranslateFormat("ПОВТОРНАЯ: стерта %s", erasedOn.c_str());
        row.Recurring = true;
    }
}

} // namespace velmora
