// What only the SQLite file meets: a file of an older schema brought up to date with its visits kept,
// a file that is no database or is locked by the other program reported rather than damaged further,
// and the queue that keeps visits until the store takes them again.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "history/history_queue.h"
#include "history/sqlite_store.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TVisit Visit(std::string when) {
    TVisit visit;
    visit.When = std::move(when);
    visit.Car = visit.Vin = "WDB1240921F123";
    visit.Faults = {{7, true, false, false, true, false}};
    return visit;
}

sqlite3* Raw(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    return db;
}

TEST(SqliteStoreTest, MigratesAFileOfTheFirstSchemaKeepingItsVisits) {
    testing::TTempFolder folder;
    const std::filesystem::path file = folder.Path() / "history.sqlite";
    sqlite3* db = Raw(file);
    const std::string first =
        std::string(SqliteMigration(0)) +
        "PRAGMA user_version = 1;"
        "INSERT INTO visits VALUES(1, '2025-05-01 10:00:00', 'Петров', 'WDB1240921F123', "
        "'WDB1240921F123', 'HF', 'HFM Bosch 52', 'COM1');"
        "INSERT INTO visit_faults VALUES(1, 7, 1, 0, 0, 1, 0);";
    ASSERT_EQ(sqlite3_exec(db, first.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    TSqliteStore store(file);
    std::string error;
    ASSERT_TRUE(store.Open(error)) << error;
    EXPECT_EQ(store.FileSchemaVersion(), TSqliteStore::SchemaVersion);
    TVisit visit = Visit("2026-01-01 10:00:00");
    visit.Files = {{"report", "r.pdf"}}; // the table the second schema added
    ASSERT_NE(store.AddVisit(visit, error), 0) << error;
    const std::vector<TVisit> visits = store.Visits({"WDB1240921F123", ""}, error);
    ASSERT_EQ(visits.size(), 2u) << error;
    EXPECT_EQ(visits[0].Client, "Петров");
    ASSERT_EQ(visits[0].Faults.size(), 1u);
    EXPECT_TRUE(visits[0].Faults[0].Erased);
    EXPECT_EQ(visits[1].Files.size(), 1u);
}

TEST(SqliteStoreTest, RefusesWhatItCannotUseAndSaysWhy) {
    testing::TTempFolder folder;
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Error;
    };
    const TCase cases[] = {
        {"not a database", std::string(4096, 'x'), "not a database"},
        {"a newer schema", {}, "newer version"},
    };
    for (const TCase& c : cases) {
        const std::filesystem::path file = folder.Path() / (std::string(c.Name) + ".sqlite");
        if (!c.Bytes.empty()) {
            folder.WriteFile(file.filename(), c.Bytes);
        } else {
            sqlite3* db = Raw(file);
            sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        TSqliteStore store(file);
        std::string error;
        EXPECT_FALSE(store.Open(error)) << c.Name;
        EXPECT_NE(error.find(c.Error), std::string::npos) << c.Name << ": " << error;
        if (!c.Bytes.empty())
            EXPECT_EQ(folder.ReadFile(file.filename()), c.Bytes) << "the damaged file was written to";
    }
}

TEST(SqliteStoreTest, AWriteWhileTheOtherProgramHoldsTheFileFailsAfterWaiting) {
    testing::TTempFolder folder;
    const std::filesystem::path file = folder.Path() / "history.sqlite";
    TSqliteStore store(file, 50);
    std::string error;
    ASSERT_TRUE(store.Open(error)) << error;
    sqlite3* other = Raw(file);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(store.AddVisit(Visit("2026-01-01 10:00:00"), error), 0);
    EXPECT_NE(error.find("locked"), std::string::npos) << error;
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    error.clear();
    EXPECT_NE(store.AddVisit(Visit("2026-01-01 10:00:00"), error), 0) << error;
}

TEST(HistoryQueueTest, KeepsVisitsUntilTheStoreTakesThem) {
    testing::TTempFolder folder;
    THistoryQueue queue(folder.Path() / "queue.jsonl");
    TVisit odd = Visit("2026-01-01 10:00:00");
    odd.Client = "Кузнецова \"А\"\n";
    ASSERT_TRUE(queue.Append(odd));
    ASSERT_TRUE(queue.Append(Visit("2026-01-02 10:00:00")));
    // A line cut short by a crash is passed over.
    folder.WriteFile("queue.jsonl", folder.ReadFile("queue.jsonl") + "{\"date\": \"2026");
    ASSERT_EQ(queue.Pending().size(), 2u);

    TSqliteStore broken(folder.WriteFile("broken.sqlite", std::string(4096, 'x')));
    std::string error;
    EXPECT_EQ(queue.Flush(broken, error), 0);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(queue.Pending().size(), 2u) << "a refused visit left the queue";

    TSqliteStore store(folder.Path() / "history.sqlite");
    error.clear();
    EXPECT_EQ(queue.Flush(store, error), 2) << error;
    EXPECT_TRUE(queue.Pending().empty());
    const std::vector<TVisit> visits = store.Visits({}, error);
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].Client, odd.Client);
}

} // namespace
} // namespace velmora
