#include "ui/faults/recurring_marks.h"

#include <QBrush>
#include <QListWidget>

#include "history/session_recorder.h"
#include "lang/translated_format.h"

namespace velmora {

void MarkRecurringFaults(QListWidget& list, const THistoryRecorder* history) {
    if (!history)
        return;
    for (int row = 0; row < list.count(); ++row) {
        QListWidgetItem* item = list.item(row);
        const QString text = item->text();
        bool isCode = text.size() > 3 && text[3] == ',';
        const int code = isCode ? text.left(3).toInt(&isCode) : 0;
        if (!isCode)
            continue;
        std::string erasedOn;
        for (const TSeenBefore& seen : history->SeenBefore(code))
            if (seen.Erased)
                erasedOn = seen.Date.substr(0, 10); // the latest erase
        if (erasedOn.empty())
            continue;
        item->setText(text + ",  " +
                      QString::fromStdString(TranslateFormat("ПОВТОРНАЯ: стерта %s", erasedOn.c_str())));
        item->setForeground(QBrush(Qt::darkRed));
    }
}

} // namespace velmora
