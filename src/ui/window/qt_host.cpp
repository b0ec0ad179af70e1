#include "ui/window/qt_host.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QThread>

namespace velmora {

namespace {

struct TButtonRow {
    QMessageBox::StandardButton Button;
    TMsgResult Result;
};

constexpr TButtonRow ButtonRows[] = {
    {QMessageBox::Ok, TMsgResult::Ok},       {QMessageBox::Cancel, TMsgResult::Cancel},
    {QMessageBox::Abort, TMsgResult::Abort}, {QMessageBox::Retry, TMsgResult::Retry},
    {QMessageBox::Yes, TMsgResult::Yes},     {QMessageBox::No, TMsgResult::No},
};

QMessageBox::StandardButtons ButtonsOf(TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::Ok:
        return QMessageBox::Ok;
    case TMsgButtons::AbortRetry:
        return QMessageBox::Abort | QMessageBox::Retry;
    case TMsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case TMsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TMsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case TMsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Information:
        return QMessageBox::Information;
    case TMsgKind::Warning:
        return QMessageBox::Warning;
    case TMsgKind::Error:
        return QMessageBox::Critical;
    case TMsgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

TQtHost::TQtHost(QObject* parent) : QObject(parent) {}

void TQtHost::SetLogMemo(QPlainTextEdit* memo) {
    Memo = memo;
}

void TQtHost::SetDialogParent(QWidget* parent) {
    DialogParent = parent;
}

void TQtHost::SetMessageHandler(TMessageHandler handler) {
    Handler = std::move(handler);
}

bool TQtHost::OnWindowThread() const {
    return QThread::currentThread() == thread();
}

void TQtHost::AppendLine(const QString& line) {
    if (Memo)
        Memo->appendPlainText(line);
}

void TQtHost::AddLog(std::string_view line) {
    QString text = FromUtf8(line);
    if (OnWindowThread()) {
        AppendLine(text);
        return;
    }
    // Queued events from one thread to one receiver are delivered in the order they were posted.
    QMetaObject::invokeMethod(
        this, [this, text] { AppendLine(text); }, Qt::QueuedConnection);
}

TMsgResult TQtHost::ShowBox(const QString& text, TMsgKind kind, TMsgButtons buttons) {
    QMessageBox box(IconOf(kind), QStringLiteral("Velmora"), text, ButtonsOf(buttons), DialogParent);
    auto chosen = QMessageBox::StandardButton(box.exec());
    for (const TButtonRow& row : ButtonRows) {
        if (row.Button == chosen)
            return row.Result;
    }
    // Closing the box by its frame or Escape: the safest answer of the buttons offered.
    return TNullHost().MessageBox({}, kind, buttons);
}

TMsgResult TQtHost::MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) {
    QString qtext = FromUtf8(text);
    if (OnWindowThread())
        return ShowBox(qtext, kind, buttons);
    if (WindowGone)
        return TNullHost().MessageBox(text, kind, buttons);
    TMsgResult result = TMsgResult::Cancel;
    QMetaObject::invokeMethod(
        this, [&] { result = ShowBox(qtext, kind, buttons); }, Qt::BlockingQueuedConnection);
    return result;
}

void TQtHost::PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    QMetaObject::invokeMethod(
        this,
        [this, msg, wParam, lParam] {
            if (Handler)
                Handler(msg, wParam, lParam);
        },
        Qt::QueuedConnection);
}

void TQtHost::ProcessMessages() {
    if (OnWindowThread())
        QCoreApplication::processEvents();
}

} // namespace velmora
