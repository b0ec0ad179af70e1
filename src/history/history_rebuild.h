// The history made anew from the exchange logs: every log in LOGS (and in each client's subfolder of
// it) read through the log converter's scanner and identification block, its fault reads, erases and
// actuator commands turned into a visit dated by the log's last write. The logs stay the record; the
// database is only their index. One thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "history/history_store.h"

namespace velmora {

struct TRebuildResult {
    int Logs = 0;    // exchange logs read
    int Visits = 0;  // visits written
    int Skipped = 0; // logs without an identified unit (a connection that ended before it)
    bool Failed = false;
};

// The visit one exchange log holds; nullopt when no unit was identified in it.
std::optional<TVisit> VisitFromLog(std::span<const uint8_t> bytes, std::string_view client, std::string when,
                                   std::string_view path);

// Empties `store` and writes a visit for every log under `logs` (LOGS/*.bin without a client,
// LOGS/<client>/*.bin with one; the ECU.bin copies are passed over), oldest first.
TRebuildResult RebuildHistory(THistoryStore& store, const std::filesystem::path& logs, std::string& error);

} // namespace velmora
