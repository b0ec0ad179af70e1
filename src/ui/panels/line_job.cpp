#include "ui/panels/line_job.h"

#include <QMetaObject>
#include <exception>

#include "platform/host.h"

namespace velmora {

TLineJob::~TLineJob() {
    StopAndWait();
}

bool TLineJob::Start(TLineLease line, std::function<void(const std::atomic<bool>& stop)> work,
                     std::function<void()> done) {
    if (Running)
        return false;
    if (Thread.joinable())
        Thread.join();
    StopFlag = false;
    Running = true;
    Held = std::move(line);
    Done = std::move(done);
    Thread = std::thread([this, work = std::move(work)] {
        try {
            work(StopFlag);
        } catch (const std::exception& failure) {
            // The functions end port failures themselves; anything else must not end the program.
            AddLog(failure.what());
        }
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
    Held.Release();
    if (std::function<void()> done = std::move(Done))
        done();
}

void TLineJob::StopAndWait() {
    StopFlag = true;
    if (Thread.joinable())
        Thread.join();
    Running = false;
    Held.Release();
    Done = nullptr;
}

} // namespace velmora
