// Visits waiting for their store: when the database is down, locked or damaged the visit is appended
// to a file of JSON lines beside the program, and written to the store at the next session that
// reaches it. Appends are whole lines; a cut last line is dropped when read. One thread at a time.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace velmora {

class THistoryQueue {
public:
    explicit THistoryQueue(std::filesystem::path file) : File(std::move(file)) {}

    // False when the file cannot be written (the visit is then lost, and the caller says so).
    bool Append(const TVisit& visit);
    // The visits waiting, in order.
    std::vector<TVisit> Pending() const;
    // Writes the waiting visits into `store`; those it refuses stay. The number written.
    int Flush(THistoryStore& store, std::string& error);

    const std::filesystem::path& FileName() const { return File; }

private:
    std::filesystem::path File;
};

} // namespace velmora
