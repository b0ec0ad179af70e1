#include "ui/common/saved_notice.h"

#include <QMainWindow>
#include <QStatusBar>

#include "platform/host.h"

namespace velmora {

namespace {

constexpr int NoticeMs = 20000; // long enough to read a path and find the file

} // namespace

void ShowNotice(QWidget* from, const std::string& text) {
    AddLog(text);
    for (QWidget* widget = from; widget; widget = widget->parentWidget()) {
        if (auto* main = qobject_cast<QMainWindow*>(widget)) {
            main->statusBar()->setObjectName("StatusBar");
            main->statusBar()->showMessage(QString::fromStdString(text), NoticeMs);
            return;
        }
    }
}

} // namespace velmora
