// The host of the window program: log lines go to the log memo, boxes are QMessageBoxes, posted
// messages reach the main window's handler. Any thread may call it; everything is delivered on the
// window thread (the thread that created this object), queued and in order from other threads.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>

#include "platform/host.h"

class QPlainTextEdit;
class QWidget;

namespace velmora {

class TQtHost : public QObject, public THost {
    Q_OBJECT
public:
    using TMessageHandler = std::function<void(uint32_t msg, intptr_t wParam, intptr_t lParam)>;

    explicit TQtHost(QObject* parent = nullptr);

    // The memo that log lines are appended to (none: lines are dropped).
    void SetLogMemo(QPlainTextEdit* memo);
    // Parent of the message boxes.
    void SetDialogParent(QWidget* parent);
    // The main window's message handler.
    void SetMessageHandler(TMessageHandler handler);

    // On the window thread the line is added before the call returns; from another thread it is queued
    // and the call returns at once, so the worker never waits for the window.
    void AddLog(std::string_view line) override;
    // From another thread this waits for the user's answer (a box must be answered anyway).
    TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) override;
    // Always queued, also on the window thread, as a posted window message is.
    void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;
    void ProcessMessages() override;

    // After the window's event loop has ended no box can be answered: from then on a box asked for by
    // another thread gets its safest answer at once (as the null host gives), so the worker can end.
    void EndOfWindow() { WindowGone = true; }

private:
    bool OnWindowThread() const;
    void AppendLine(const QString& line);
    TMsgResult ShowBox(const QString& text, TMsgKind kind, TMsgButtons buttons);

    QPointer<QPlainTextEdit> Memo;
    QPointer<QWidget> DialogParent;
    TMessageHandler Handler;
    std::atomic<bool> WindowGone{false};
};

} // namespace velmora
