// The history in one SQLite file beside the program: write-ahead logging so that the window and the
// command-line tool may use it at once (a writer waits up to BusyTimeoutMs for the other), and a schema
// numbered in the file's user_version and brought up to date step by step when opened. One thread at a
// time per object.
#pragma once

#include <filesystem>
#include <string>

#include "history/history_store.h"

struct sqlite3;

namespace velmora {

class TSqliteStore : public THistoryStore {
public:
    // How long a write waits for the other program's write to end.
    static constexpr int BusyTimeoutMs = 3000;
    // The schema this build writes.
    static constexpr int SchemaVersion = 2;

    // `busyTimeoutMs`: how long a write waits for the other program's (shorter in tests).
    explicit TSqliteStore(std::filesystem::path file, int busyTimeoutMs = BusyTimeoutMs);
    ~TSqliteStore() override;
    TSqliteStore(const TSqliteStore&) = delete;
    TSqliteStore& operator=(const TSqliteStore&) = delete;

    bool Open(std::string& error) override;
    int64_t AddVisit(const TVisit& visit, std::string& error) override;
    bool AddFile(int64_t visitId, const TVisitFile& file, std::string& error) override;
    bool AddEvent(int64_t visitId, const TVisitEvent& event, std::string& error) override;
    std::vector<TVisit> Visits(const THistoryQuery& query, std::string& error) override;
    bool Clear(std::string& error) override;
    std::string Where() const override;

    // The file's schema version (0 for a new file); -1 when it cannot be read.
    int FileSchemaVersion();

private:
    bool Exec(const char* sql, std::string& error);
    bool Migrate(std::string& error);
    std::string LastError() const;

    std::filesystem::path File;
    int BusyMs;
    sqlite3* Db = nullptr;
};

// The statements that bring a file from version n to n + 1 (index n), for the tests of the migration.
const char* SqliteMigration(int fromVersion);

} // namespace velmora
