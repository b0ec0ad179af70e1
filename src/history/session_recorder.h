// THistoryRecorder: records one visit per connection into the history. The worker tells it what
// happens (session_events.h, on the worker thread); the window or the tool adds the files it makes and
// asks which faults were seen before (any thread: one lock guards everything). At the start it loads
// the car's earlier visits and logs when the car was last seen; at the end it writes the visit, or
// queues it when the store cannot be reached, so that the session itself never waits for the history
// nor fails with it.
#pragma once

#include <filesystem>
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

    void SessionStarted(const TEcuIdent& ident, std::string_view client, std::string_view port,
                        std::string_view logPath) override;
    void FaultsRead(const TFaultBuf& buffer, const TFaultContext& context, bool beforeErase) override;
    void FaultsErased() override;
    void FunctionRun(std::string_view kind, std::string_view detail, bool ok) override;
    void SessionEnded(std::string_view stopText) override;

    // A file the visit made (a report, a recording); added to the visit already written when the
    // connection has ended.
    void AddFile(std::string_view kind, std::string_view path);

    // The earlier visits of the current (or last) car that read `code`, oldest first.
    std::vector<TSeenBefore> SeenBefore(int code) const;
    // The visit so far (the last one after the end); nullopt before any connection.
    std::optional<TVisit> Visit() const;
    // Whether a history is kept at all.
    bool Enabled() const { return Store != nullptr; }

private:
    void OpenStore();
    void Write();

    mutable std::mutex Lock;
    std::unique_ptr<THistoryStore> Store;
    THistoryQueue Queue;
    bool StoreOpen = false;
    bool Active = false;   // a visit is being recorded
    bool Written = false;  // it has been written (or queued)
    int64_t WrittenId = 0; // its id in the store, 0 when queued
    TVisitBuilder Current;
    std::vector<TVisit> Earlier; // the car's visits before this one
};

// The history the settings choose, with its queue beside the program; the recorder records nothing
// when the history is off, and logs why when the chosen back-end is missing.
std::unique_ptr<THistoryRecorder> MakeHistoryRecorder();

} // namespace velmora
