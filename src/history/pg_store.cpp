// TPgStore: every statement with its values as parameters (client names and notes are user text).
#include "history/pg_store.h"

#include <libpq-fe.h>

#include <memory>

namespace velmora {

namespace {

constexpr const char* Migrations[] = {
    // 0 -> 1: visits with their faults and service functions.
    "CREATE TABLE visits(id BIGSERIAL PRIMARY KEY, started TEXT NOT NULL, client TEXT NOT NULL,"
    " car TEXT NOT NULL, vin TEXT NOT NULL, ident TEXT NOT NULL, unit TEXT NOT NULL, port TEXT NOT NULL);"
    "CREATE TABLE visit_faults(n BIGSERIAL PRIMARY KEY,"
    " visit_id BIGINT NOT NULL REFERENCES visits(id) ON DELETE CASCADE, code INTEGER NOT NULL,"
    " stored BOOLEAN NOT NULL, current BOOLEAN NOT NULL, unknown BOOLEAN NOT NULL, erased BOOLEAN NOT NULL,"
    " remained BOOLEAN NOT NULL);"
    "CREATE TABLE visit_events(n BIGSERIAL PRIMARY KEY,"
    " visit_id BIGINT NOT NULL REFERENCES visits(id) ON DELETE CASCADE, at TEXT NOT NULL, kind TEXT NOT NULL,"
    " detail TEXT NOT NULL, ok BOOLEAN NOT NULL);",
    // 1 -> 2: the files a visit made, and the look-ups by car and client.
    "CREATE TABLE visit_files(n BIGSERIAL PRIMARY KEY,"
    " visit_id BIGINT NOT NULL REFERENCES visits(id) ON DELETE CASCADE, kind TEXT NOT NULL, path TEXT NOT "
    "NULL);"
    "CREATE INDEX visits_car ON visits(car);"
    "CREATE INDEX visits_client ON visits(client);"
    "CREATE INDEX visit_faults_visit ON visit_faults(visit_id);",
};
static_assert(std::size(Migrations) == TPgStore::SchemaVersion);

// An arbitrary number the program's migrations lock on.
constexpr const char* MigrationLock = "SELECT pg_advisory_xact_lock(7334201)";

struct TResultFree {
    void operator()(PGresult* result) const { PQclear(result); }
};
using TResult = std::unique_ptr<PGresult, TResultFree>;

// Runs `sql` with text parameters.
TResult Run(pg_conn* conn, const char* sql, std::initializer_list<std::string> values) {
    std::vector<const char*> params;
    for (const std::string& value : values)
        params.push_back(value.c_str());
    return TResult(PQexecParams(conn, sql, int(params.size()), nullptr, params.data(), nullptr, nullptr, 0));
}

bool Ok(const TResult& result) {
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string Bool(bool value) {
    return value ? "true" : "false";
}
bool IsTrue(const PGresult* result, int row, int column) {
    return PQgetvalue(result, row, column)[0] == 't';
}

} // namespace

TPgStore::TPgStore(std::string connection) : Connection(std::move(connection)) {}

TPgStore::~TPgStore() {
    PQfinish(Conn);
}

std::string TPgStore::Where() const {
    // The password stays out of messages.
    std::string shown = Connection;
    const size_t password = shown.find("password=");
    if (password != std::string::npos) {
        const size_t end = shown.find(' ', password);
        shown.replace(password, (end == std::string::npos ? shown.size() : end) - password, "password=***");
    }
    return "PostgreSQL " + shown;
}

bool TPgStore::Exec(const char* sql, std::string& error) {
    const TResult result(PQexec(Conn, sql));
    if (Ok(result))
        return true;
    error = PQerrorMessage(Conn);
    while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
        error.pop_back();
    return false;
}

bool TPgStore::Migrate(std::string& error) {
    if (!Exec("BEGIN", error))
        return false;
    const bool done = [&] {
        if (!Exec(MigrationLock, error) ||
            !Exec("CREATE TABLE IF NOT EXISTS velmora_schema(version INTEGER NOT NULL)", error))
            return false;
        const TResult current(PQexec(Conn, "SELECT max(version) FROM velmora_schema"));
        if (!Ok(current)) {
            error = PQerrorMessage(Conn);
            return false;
        }
        int version = PQgetisnull(current.get(), 0, 0) ? 0 : std::atoi(PQgetvalue(current.get(), 0, 0));
        if (version > SchemaVersion) {
            error = "the history database was made by a newer version of the program (schema " +
                    std::to_string(version) + ")";
            return false;
        }
        for (; version < SchemaVersion; ++version) {
            if (!Exec(Migrations[version], error))
                return false;
            const std::string mark = "DELETE FROM velmora_schema; INSERT INTO velmora_schema VALUES(" +
                                     std::to_string(version + 1) + ")";
            if (!Exec(mark.c_str(), error))
                return false;
        }
        return true;
    }();
    std::string ignored;
    if (!done) {
        Exec("ROLLBACK", ignored);
        return false;
    }
    return Exec("COMMIT", error);
}

bool TPgStore::Open(std::string& error) {
    if (Conn && PQstatus(Conn) == CONNECTION_OK)
        return true;
    PQfinish(Conn);
    // Keywords given later win: the connection string's own connect_timeout stays.
    const bool uri = Connection.starts_with("postgres");
    const std::string connection =
        uri ? Connection : "connect_timeout=" + std::to_string(ConnectTimeoutS) + " " + Connection;
    Conn = PQconnectdb(connection.c_str());
    if (PQstatus(Conn) != CONNECTION_OK) {
        error = PQerrorMessage(Conn);
        while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
            error.pop_back();
        PQfinish(Conn);
        Conn = nullptr;
        return false;
    }
    PQsetClientEncoding(Conn, "UTF8");
    // Notices (a table that exists already) are no news for the user.
    PQsetNoticeProcessor(
        Conn, [](void*, const char*) {}, nullptr);
    if (!Migrate(error)) {
        PQfinish(Conn);
        Conn = nullptr;
        return false;
    }
    return true;
}

int64_t TPgStore::AddVisit(const TVisit& visit, std::string& error) {
    if (!Open(error) || !Exec("BEGIN", error))
        return 0;
    int64_t id = 0;
    const bool ok = [&] {
        const TResult head =
            Run(Conn,
                "INSERT INTO visits(started, client, car, vin, ident, unit, port)"
                " VALUES($1, $2, $3, $4, $5, $6, $7) RETURNING id",
                {visit.When, visit.Client, visit.Car, visit.Vin, visit.Ident, visit.Unit, visit.Port});
        if (!Ok(head))
            return false;
        id = std::atoll(PQgetvalue(head.get(), 0, 0));
        const std::string visitId = std::to_string(id);
        for (const TVisitFault& f : visit.Faults)
            if (!Ok(Run(Conn,
                        "INSERT INTO visit_faults(visit_id, code, stored, current, unknown, erased, remained)"
                        " VALUES($1, $2, $3, $4, $5, $6, $7)",
                        {visitId, std::to_string(f.Code), Bool(f.Stored), Bool(f.Current), Bool(f.Unknown),
                         Bool(f.Erased), Bool(f.Remained)})))
                return false;
        for (const TVisitEvent& e : visit.Events)
            if (!Ok(Run(Conn,
                        "INSERT INTO visit_events(visit_id, at, kind, detail, ok) VALUES($1, $2, $3, $4, $5)",
                        {visitId, e.When, e.Kind, e.Detail, Bool(e.Ok)})))
                return false;
        for (const TVisitFile& f : visit.Files)
            if (!Ok(Run(Conn, "INSERT INTO visit_files(visit_id, kind, path) VALUES($1, $2, $3)",
                        {visitId, f.Kind, f.Path})))
                return false;
        return true;
    }();
    if (!ok) {
        error = PQerrorMessage(Conn);
        std::string ignored;
        Exec("ROLLBACK", ignored);
        return 0;
    }
    return Exec("COMMIT", error) ? id : 0;
}

bool TPgStore::AddFile(int64_t visitId, const TVisitFile& file, std::string& error) {
    if (!Open(error))
        return false;
    if (Ok(Run(Conn, "INSERT INTO visit_files(visit_id, kind, path) VALUES($1, $2, $3)",
               {std::to_string(visitId), file.Kind, file.Path})))
        return true;
    error = PQerrorMessage(Conn);
    return false;
}

bool TPgStore::AddEvent(int64_t visitId, const TVisitEvent& e, std::string& error) {
    if (!Open(error))
        return false;
    if (Ok(Run(Conn, "INSERT INTO visit_events(visit_id, at, kind, detail, ok) VALUES($1, $2, $3, $4, $5)",
               {std::to_string(visitId), e.When, e.Kind, e.Detail, Bool(e.Ok)})))
        return true;
    error = PQerrorMessage(Conn);
    return false;
}

std::vector<TVisit> TPgStore::Visits(const THistoryQuery& query, std::string& error) {
    std::vector<TVisit> visits;
    if (!Open(error))
        return visits;
    const TResult head = Run(Conn,
                             "SELECT id, started, client, car, vin, ident, unit, port FROM visits"
                             " WHERE ($1 = '' OR car = $1 OR vin = $1) AND ($2 = '' OR client = $2)"
                             " ORDER BY started, id",
                             {query.Car, query.Client});
    if (!Ok(head)) {
        error = PQerrorMessage(Conn);
        return visits;
    }
    for (int row = 0; row < PQntuples(head.get()); ++row) {
        TVisit v;
        v.Id = std::atoll(PQgetvalue(head.get(), row, 0));
        std::string* fields[] = {&v.When, &v.Client, &v.Car, &v.Vin, &v.Ident, &v.Unit, &v.Port};
        for (int column = 0; column < 7; ++column)
            *fields[column] = PQgetvalue(head.get(), row, column + 1);
        const std::string id = std::to_string(v.Id);
        const TResult faults = Run(Conn,
                                   "SELECT code, stored, current, unknown, erased, remained FROM visit_faults"
                                   " WHERE visit_id = $1 ORDER BY n",
                                   {id});
        const TResult events =
            Run(Conn, "SELECT at, kind, detail, ok FROM visit_events WHERE visit_id = $1 ORDER BY n", {id});
        const TResult files =
            Run(Conn, "SELECT kind, path FROM visit_files WHERE visit_id = $1 ORDER BY n", {id});
        if (!Ok(faults) || !Ok(events) || !Ok(files)) {
            error = PQerrorMessage(Conn);
            return visits;
        }
        for (int r = 0; r < PQntuples(faults.get()); ++r)
            v.Faults.push_back({std::atoi(PQgetvalue(faults.get(), r, 0)), IsTrue(faults.get(), r, 1),
                                IsTrue(faults.get(), r, 2), IsTrue(faults.get(), r, 3),
                                IsTrue(faults.get(), r, 4), IsTrue(faults.get(), r, 5)});
        for (int r = 0; r < PQntuples(events.get()); ++r)
            v.Events.push_back({PQgetvalue(events.get(), r, 0), PQgetvalue(events.get(), r, 1),
                                PQgetvalue(events.get(), r, 2), IsTrue(events.get(), r, 3)});
        for (int r = 0; r < PQntuples(files.get()); ++r)
            v.Files.push_back({PQgetvalue(files.get(), r, 0), PQgetvalue(files.get(), r, 1)});
        visits.push_back(std::move(v));
    }
    return visits;
}

bool TPgStore::Clear(std::string& error) {
    if (!Open(error))
        return false;
    return Exec("TRUNCATE visits, visit_faults, visit_events, visit_files", error);
}

} // namespace velmora
