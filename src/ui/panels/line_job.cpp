#include "ui/panels/line_job.h"

#include <QMetaObject>

namespace velmora {

TLineJob::~TLineJob() {
    StopAndWait();
}

bool TLineJob::Start(std::function<void(const std::atomic<bool>& stop)> work, std::function<void()> done) {
    if (Running)
        return false;
    if (Thread.joinable())
        Thread.join();
    StopFlag = false;
    Running = true;
    Done = std::move(done);
    Thread = std::thread([this, work = std::move(work)] {
        work(StopFlag);
        // Dropped when the job object is gone by then (the window closed and waited).
        QMetaObject::invokeMethod(
            this, [this] { Finish(); }, Qt::QueuedConnection);
    });
    return true;
}

void TLineJob::Finish() {
    if (!Running)
        return;
    if (Thread.joinable())
        Thread.join();
    Running = false;
    if (std::function<void()> done = std::move(Done))
        done();
}

void TLineJob::StopAndWait() {
    StopFlag = true;
    if (Thread.joinable())
        Thread.join();
    Running = false;
    Done = nullptr;
}

} // namespace velmora
