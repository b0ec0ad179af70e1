// The history on a PostgreSQL server that the bays of a workshop share, through libpq. The schema is
// numbered in the table velmora_schema and brought up to date under an advisory lock, so that two
// machines starting at once do not migrate together. A server that does not answer within the connect
// time-out makes Open fail (the recorder then queues the visit). One thread at a time per object.
#pragma once

#include <string>

#include "history/history_store.h"

struct pg_conn;

namespace velmora {

class TPgStore : public THistoryStore {
public:
    static constexpr int SchemaVersion = 2;
    // Seconds a connection attempt may take unless the connection string says otherwise.
    static constexpr int ConnectTimeoutS = 3;

    explicit TPgStore(std::string connection);
    ~TPgStore() override;
    TPgStore(const TPgStore&) = delete;
    TPgStore& operator=(const TPgStore&) = delete;

    bool Open(std::string& error) override;
    int64_t AddVisit(const TVisit& visit, std::string& error) override;
    bool AddFile(int64_t visitId, const TVisitFile& file, std::string& error) override;
    bool AddEvent(int64_t visitId, const TVisitEvent& event, std::string& error) override;
    std::vector<TVisit> Visits(const THistoryQuery& query, std::string& error) override;
    bool Clear(std::string& error) override;
    std::string Where() const override;

private:
    bool Exec(const char* sql, std::string& error);
    bool Migrate(std::string& error);

    std::string Connection;
    pg_conn* Conn = nullptr;
};

} // namespace velmora
