// Where the visits are kept: the interface both back-ends (SQLite, PostgreSQL) implement, and the
// choice between them by the settings. A store is used from one thread at a time; the session recorder
// holds its own lock around it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "history/visit.h"

namespace velmora {

struct THistoryQuery {
    std::string Car;    // match this car key or VIN; empty for any
    std::string Client; // match this client; empty for any
};

class THistoryStore {
public:
    virtual ~THistoryStore() = default;
    // Opens (creating or migrating the schema). False with `error` set when the history cannot be used
    // now; the session goes on without it.
    virtual bool Open(std::string& error) = 0;
    // Adds a visit with its faults, events and files; its id, or 0 with `error` set.
    virtual int64_t AddVisit(const TVisit& visit, std::string& error) = 0;
    // Adds a file to a visit written before. False with `error` set.
    virtual bool AddFile(int64_t visitId, const TVisitFile& file, std::string& error) = 0;
    // Adds an event (the mileage typed for a report) to a visit written before. False with `error` set.
    virtual bool AddEvent(int64_t visitId, const TVisitEvent& event, std::string& error) = 0;
    // Visits matching `query`, oldest first, with their faults, events and files.
    virtual std::vector<TVisit> Visits(const THistoryQuery& query, std::string& error) = 0;
    // Removes every visit (before a rebuild). False with `error` set.
    virtual bool Clear(std::string& error) = 0;
    // What the store is, for messages: the file or the server.
    virtual std::string Where() const = 0;
};

// Settings keys of the history.
inline constexpr const char* HistoryBackendKey = "HISTORY_BACKEND"; // SQLITE (default), POSTGRESQL, OFF
inline constexpr const char* HistoryFileKey = "HISTORY_FILE";       // SQLite file; default history.sqlite
inline constexpr const char* HistoryPgKey = "HISTORY_PG";           // libpq connection string

struct THistorySettings {
    std::string Backend = "SQLITE";
    std::string File;       // empty: history.sqlite in the program folder
    std::string Connection; // for POSTGRESQL
};

// Read from the settings file beside the program (section OPTIONS).
THistorySettings ReadHistorySettings();

// The store the settings choose, not yet opened; nullptr when the history is switched off, or when
// `problem` names a back-end this build does not have.
std::unique_ptr<THistoryStore> MakeHistoryStore(const THistorySettings& settings, std::string& problem);

} // namespace velmora
