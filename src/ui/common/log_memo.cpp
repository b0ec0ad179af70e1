#include "ui/common/log_memo.h"

#include <QTextBlock>

namespace velmora {

void TLogMemo::showEvent(QShowEvent* event) {
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        // The start of the last line: shown at the bottom, as appended lines are, and at the left edge.
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock);
        setTextCursor(cursor);
    }
    QPlainTextEdit::showEvent(event);
}

} // namespace velmora
