// TSqliteStore: the history in SQLite through its C interface, every statement prepared with bound
// values (client names and notes are user text).
#include "history/sqlite_store.h"

#include <sqlite3.h>

#include <functional>

namespace velmora {

namespace {

// Each step of the schema; a file is brought from its user_version to SchemaVersion in order, each
// step in one transaction with the new version number.
constexpr const char* Migrations[] = {
    // 0 -> 1: visits with their faults and service functions.
    "CREATE TABLE visits(id INTEGER PRIMARY KEY, started TEXT NOT NULL, client TEXT NOT NULL,"
    " car TEXT NOT NULL, vin TEXT NOT NULL, ident TEXT NOT NULL, unit TEXT NOT NULL, port TEXT NOT NULL);"
    "CREATE TABLE visit_faults(visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,"
    " code INTEGER NOT NULL, stored INTEGER NOT NULL, current INTEGER NOT NULL, unknown INTEGER NOT NULL,"
    " erased INTEGER NOT NULL, remained INTEGER NOT NULL);"
    "CREATE TABLE visit_events(visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,"
    " at TEXT NOT NULL, kind TEXT NOT NULL, detail TEXT NOT NULL, ok INTEGER NOT NULL);",
    // 1 -> 2: the files a visit made, and the look-ups by car and client.
    "CREATE TABLE visit_files(visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,"
    " kind TEXT NOT NULL, path TEXT NOT NULL);"
    "CREATE INDEX visits_car ON visits(car);"
    "CREATE INDEX visits_client ON visits(client);"
    "CREATE INDEX visit_faults_visit ON visit_faults(visit_id);",
};
static_assert(std::size(Migrations) == TSqliteStore::SchemaVersion);

// A prepared statement, finalised on every path.
class TStatement {
public:
    TStatement(sqlite3* db, const char* sql) {
        Ok = sqlite3_prepare_v2(db, sql, -1, &Stmt, nullptr) == SQLITE_OK;
    }
    ~TStatement() { sqlite3_finalize(Stmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool Ok = false;
    void Bind(int n, const std::string& text) {
        sqlite3_bind_text(Stmt, n, text.data(), int(text.size()), SQLITE_TRANSIENT);
    }
    void Bind(int n, int64_t value) { sqlite3_bind_int64(Stmt, n, value); }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(Stmt); }
    void Reset() {
        sqlite3_reset(Stmt);
        sqlite3_clear_bindings(Stmt);
    }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(Stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
    }
    int64_t Int(int column) const { return sqlite3_column_int64(Stmt, column); }

private:
    sqlite3_stmt* Stmt = nullptr;
};

} // namespace

const char* SqliteMigration(int fromVersion) {
    return fromVersion >= 0 && fromVersion < int(std::size(Migrations)) ? Migrations[fromVersion] : nullptr;
}

TSqliteStore::TSqliteStore(std::filesystem::path file, int busyTimeoutMs)
    : File(std::move(file)), BusyMs(busyTimeoutMs) {}

TSqliteStore::~TSqliteStore() {
    sqlite3_close(Db);
}

std::string TSqliteStore::Where() const {
    return File.string();
}

std::string TSqliteStore::LastError() const {
    return Db ? sqlite3_errmsg(Db) : "no database";
}

bool TSqliteStore::Exec(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(Db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : LastError();
    sqlite3_free(message);
    return false;
}

int TSqliteStore::FileSchemaVersion() {
    TStatement version(Db, "PRAGMA user_version");
    if (!version.Ok || version.Step() != SQLITE_ROW)
        return -1;
    return int(version.Int(0));
}

bool TSqliteStore::Migrate(std::string& error) {
    int version = FileSchemaVersion();
    if (version < 0) {
        error = LastError();
        return false;
    }
    if (version > SchemaVersion) {
        error = "the history file was made by a newer version of the program (schema " +
                std::to_string(version) + ")";
        return false;
    }
    for (; version < SchemaVersion; ++version) {
        // BEGIN IMMEDIATE: a second program opening the same new file waits here instead of
        // migrating it at the same time.
        if (!Exec("BEGIN IMMEDIATE", error))
            return false;
        // The other program may have migrated while this one waited.
        const int now = FileSchemaVersion();
        if (now > version) {
            Exec("COMMIT", error);
            version = now - 1;
            continue;
        }
        const std::string step =
            std::string(Migrations[version]) + "PRAGMA user_version = " + std::to_string(version + 1) + ";";
        if (!Exec(step.c_str(), error)) {
            std::string ignored;
            Exec("ROLLBACK", ignored);
            return false;
        }
        if (!Exec("COMMIT", error))
            return false;
    }
    return true;
}

bool TSqliteStore::Open(std::string& error) {
    if (Db)
        return true;
    std::error_code ignored;
    if (File.has_parent_path())
        std::filesystem::create_directories(File.parent_path(), ignored);
    if (sqlite3_open_v2(File.string().c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = LastError();
        sqlite3_close(Db);
        Db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(Db, BusyMs);
    // A file that is not a database fails here (SQLITE_NOTADB), before anything is written into it.
    const bool ready = Exec("PRAGMA journal_mode = WAL", error) && Exec("PRAGMA foreign_keys = ON", error) &&
                       Exec("PRAGMA synchronous = NORMAL", error) && Migrate(error);
    if (!ready) {
        sqlite3_close(Db);
        Db = nullptr;
    }
    return ready;
}

int64_t TSqliteStore::AddVisit(const TVisit& visit, std::string& error) {
    if (!Db && !Open(error))
        return 0;
    if (!Exec("BEGIN IMMEDIATE", error))
        return 0;
    int64_t id = 0;
    bool ok = false;
    {
        TStatement head(Db, "INSERT INTO visits(started, client, car, vin, ident, unit, port)"
                            " VALUES(?, ?, ?, ?, ?, ?, ?)");
        TStatement fault(Db, "INSERT INTO visit_faults VALUES(?, ?, ?, ?, ?, ?, ?)");
        TStatement event(Db, "INSERT INTO visit_events VALUES(?, ?, ?, ?, ?)");
        TStatement file(Db, "INSERT INTO visit_files VALUES(?, ?, ?)");
        ok = head.Ok && fault.Ok && event.Ok && file.Ok;
        if (ok) {
            int n = 1;
            for (const std::string* text :
                 {&visit.When, &visit.Client, &visit.Car, &visit.Vin, &visit.Ident, &visit.Unit, &visit.Port})
                head.Bind(n++, *text);
            ok = head.Step() == SQLITE_DONE;
            id = sqlite3_last_insert_rowid(Db);
        }
        for (const TVisitFault& f : visit.Faults) {
            if (!ok)
                break;
            int64_t values[] = {id, f.Code, f.Stored, f.Current, f.Unknown, f.Erased, f.Remained};
            for (int n = 0; n < 7; ++n)
                fault.Bind(n + 1, values[n]);
            ok = fault.Step() == SQLITE_DONE;
            fault.Reset();
        }
        for (const TVisitEvent& e : visit.Events) {
            if (!ok)
                break;
            event.Bind(1, id);
            event.Bind(2, e.When);
            event.Bind(3, e.Kind);
            event.Bind(4, e.Detail);
            event.Bind(5, int64_t(e.Ok));
            ok = event.Step() == SQLITE_DONE;
            event.Reset();
        }
        for (const TVisitFile& f : visit.Files) {
            if (!ok)
                break;
            file.Bind(1, id);
            file.Bind(2, f.Kind);
            file.Bind(3, f.Path);
            ok = file.Step() == SQLITE_DONE;
            file.Reset();
        }
    }
    if (!ok) {
        error = LastError();
        std::string ignored;
        Exec("ROLLBACK", ignored);
        return 0;
    }
    return Exec("COMMIT", error) ? id : 0;
}

bool TSqliteStore::AddFile(int64_t visitId, const TVisitFile& f, std::string& error) {
    if (!Db && !Open(error))
        return false;
    TStatement file(Db, "INSERT INTO visit_files VALUES(?, ?, ?)");
    if (file.Ok) {
        file.Bind(1, visitId);
        file.Bind(2, f.Kind);
        file.Bind(3, f.Path);
        if (file.Step() == SQLITE_DONE)
            return true;
    }
    error = LastError();
    return false;
}

bool TSqliteStore::AddEvent(int64_t visitId, const TVisitEvent& e, std::string& error) {
    if (!Db && !Open(error))
        return false;
    TStatement event(Db, "INSERT INTO visit_events VALUES(?, ?, ?, ?, ?)");
    if (event.Ok) {
        event.Bind(1, visitId);
        event.Bind(2, e.When);
        event.Bind(3, e.Kind);
        event.Bind(4, e.Detail);
        event.Bind(5, int64_t(e.Ok));
        if (event.Step() == SQLITE_DONE)
            return true;
    }
    error = LastError();
    return false;
}

std::vector<TVisit> TSqliteStore::Visits(const THistoryQuery& query, std::string& error) {
    std::vector<TVisit> visits;
    if (!Db && !Open(error))
        return visits;
    TStatement head(Db, "SELECT id, started, client, car, vin, ident, unit, port FROM visits"
                        " WHERE (?1 = '' OR car = ?1 OR vin = ?1) AND (?2 = '' OR client = ?2)"
                        " ORDER BY started, id");
    TStatement faults(Db, "SELECT code, stored, current, unknown, erased, remained FROM visit_faults"
                          " WHERE visit_id = ? ORDER BY rowid");
    TStatement events(Db, "SELECT at, kind, detail, ok FROM visit_events WHERE visit_id = ? ORDER BY rowid");
    TStatement files(Db, "SELECT kind, path FROM visit_files WHERE visit_id = ? ORDER BY rowid");
    if (!head.Ok || !faults.Ok || !events.Ok || !files.Ok) {
        error = LastError();
        return visits;
    }
    head.Bind(1, query.Car);
    head.Bind(2, query.Client);
    int rc = 0;
    while ((rc = head.Step()) == SQLITE_ROW) {
        TVisit v;
        v.Id = head.Int(0);
        v.When = head.Text(1);
        v.Client = head.Text(2);
        v.Car = head.Text(3);
        v.Vin = head.Text(4);
        v.Ident = head.Text(5);
        v.Unit = head.Text(6);
        v.Port = head.Text(7);
        faults.Bind(1, v.Id);
        while (faults.Step() == SQLITE_ROW)
            v.Faults.push_back({int(faults.Int(0)), faults.Int(1) != 0, faults.Int(2) != 0,
                                faults.Int(3) != 0, faults.Int(4) != 0, faults.Int(5) != 0});
        faults.Reset();
        events.Bind(1, v.Id);
        while (events.Step() == SQLITE_ROW)
            v.Events.push_back({events.Text(0), events.Text(1), events.Text(2), events.Int(3) != 0});
        events.Reset();
        files.Bind(1, v.Id);
        while (files.Step() == SQLITE_ROW)
            v.Files.push_back({files.Text(0), files.Text(1)});
        files.Reset();
        visits.push_back(std::move(v));
    }
    if (rc != SQLITE_DONE)
        error = LastError();
    return visits;
}

bool TSqliteStore::Clear(std::string& error) {
    if (!Db && !Open(error))
        return false;
    return Exec(
        "BEGIN IMMEDIATE; DELETE FROM visit_files; DELETE FROM visit_events; DELETE FROM visit_faults;"
        " DELETE FROM visits; COMMIT;",
        error);
}

} // namespace velmora
