// THistoryRecorder: records one visit per connection into the history. The worker tells it what
// happens (session_events.h, on the worker thread); the window or the tool adds the files it makes and
// asks which faults were seen before (any thread). At the start a thread of its own opens the store and
// loads the car's earlier visits, so that a slow or absent server never holds up the wake-up of the
// unit; its log lines (when the car was last seen) go out with the worker's next report. At the end the
// visit is written, or queued when the store cannot be reached: the session never fails with the
// history.
#pragma once

#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "connection/session_events.h"
#include "history/history_queue.h"
#include "history/history_store.h"
#include "history/visit_builder.h"

namespace velmora {

class THistoryRecorder : public TSessionEvents {
public:
    // `store` may be null (history off): then nothing is recorded.
    THistoryRecorder(std::unique_ptr<THistoryStore> store, std::filesystem::path queueFile);
    // Waits for a load still running.
    ~THistoryRecorder() override;
    THistoryRecorder(const THistoryRecorder&) = delete;
    THistoryRecorder& operator=(const THistoryRecorder&) = delete;

    void SessionStarted(const TEcuIdent& ident, std::string_view client, std::string_view port,
                        std::string_view logPath) override;
    void FaultsRead(const TFaultBuf& buffer, const TFaultContext& context, bool beforeErase) override;
    void FaultsErased() override;
    void FunctionRun(std::string_view kind, std::string_view detail, bool ok) override;
    void SessionEnded(std::string_view stopText) override;

    // A file the visit made (a report, a recording); added to the visit already written when the
    // connection has ended.
    void AddFile(std::string_view kind, std::string_view path);
    // The car's mileage as typed for a report, kept as the visit's event "mileage"; joins the visit
    // already written like a file.
    void AddMileage(std::string_view mileage);

    // The earlier visits of the current (or last) car that read `code`, oldest first (waits for the load
    // of the start, at most the store's connect time).
    std::vector<TSeenBefore> SeenBefore(int code) const;
    // The visit so far (the last one after the end); nullopt before any connection.
    std::optional<TVisit> Visit() const;
    // Whether a history is kept at all.
    bool Enabled() const { return Store != nullptr; }

private:
    // Store side (StoreLock held): opens the store and writes the queue into it; log lines into `lines`.
    void OpenStore(std::vector<std::string>& lines);
    void Load(std::string car);
    void WaitLoaded() const;
    // Hands the lines the load left to the log (worker thread).
    void FlushLines();

    mutable std::mutex Lock; // the visit, the earlier visits, the waiting log lines
    std::mutex StoreLock;    // the store and the queue
    std::unique_ptr<THistoryStore> Store;
    THistoryQueue Queue;
    bool StoreOpen = false;
    bool Active = false;   // a visit is being recorded
    bool Written = false;  // it has been written (or queued)
    int64_t WrittenId = 0; // its id in the store, 0 when queued
    TVisitBuilder Current;
    std::vector<TVisit> Earlier; // the car's visits before this one
    std::vector<std::string> PendingLines;
    std::shared_future<void> Loaded;
};

// The history the settings choose, with its queue beside the program; the recorder records nothing
// when the history is off, and logs why when the chosen back-end is missing.
std::unique_ptr<THistoryRecorder> MakeHistoryRecorder();

} // namespace velmora
