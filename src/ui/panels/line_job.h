// One function on the line itself (adapter test, impulse, ELM327 switch, slow codes) run on a thread of its
// own, so that the window stays responsive for the seconds or minutes it takes. One job at a time; the
// window asks it to stop, and learns of its end on the window thread. Create and call on the window
// thread; the job's function runs on its own thread and must use only the core (log lines through the
// host, which queues them to the window).
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

#include "links/line_lease.h"

namespace velmora {

class TLineJob : public QObject {
    Q_OBJECT
public:
    explicit TLineJob(QObject* parent = nullptr) : QObject(parent) {}
    // Stops a job still running and waits for it.
    ~TLineJob() override;

    // Starts `work` on the line `line` holds unless a job runs (false then). `work` gets the stop flag;
    // the line is given back once it has ended (its port freed), before `done` runs on the window thread.
    bool Start(TLineLease line, std::function<void(const std::atomic<bool>& stop)> work,
               std::function<void()> done = {});
    // The line of the running job, for the job's request (TLineRequest::Held); empty between jobs.
    const TLineLease& Line() const { return Held; }
    // Asks the running job to end (it ends at its next wait).
    void Stop() { StopFlag = true; }
    bool Busy() const { return Running; }
    // Stops the job and waits until its thread has ended.
    void StopAndWait();

private:
    void Finish();

    std::thread Thread;
    std::atomic<bool> StopFlag{false};
    bool Running = false; // window thread only
    TLineLease Held;      // set before the thread starts, given back after it has ended
    std::function<void()> Done;
};

} // namespace velmora
