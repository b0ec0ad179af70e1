// The log memo of "Данные" (Memo1): a read-only text of lines without wrapping that opens at the left
// edge of its lines. Window thread only.
#pragma once

#include <QPlainTextEdit>

namespace velmora {

class TLogMemo : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    // The memo scrolls to its cursor when first shown; appended lines carry the cursor to the end of
    // the last one, which on a narrow window (2x scale) would open the memo scrolled sideways.
    void showEvent(QShowEvent* event) override;
};

} // namespace velmora
