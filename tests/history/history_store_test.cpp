// The history stores, each back-end through the same tests: visits written and read back whole, the
// look-ups by car and client, files added later, and the recorder over the store telling a recurring
// fault at the next visit. SQLite where the build has it; PostgreSQL when VELMORA_PG_TEST holds a
// connection string (scripts/history-pg-test.sh starts a server for it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "history/history_store.h"
#include "history/session_recorder.h"
#include "host_recorder.h"
#include "params/unit_codes.h"
#include "temp_folder.h"

namespace velmora {
namespace {

#ifdef VELMORA_HISTORY_SQLITE
constexpr bool HasSqlite = true;
#else
constexpr bool HasSqlite = false;
#endif
#ifdef VELMORA_HISTORY_PG
constexpr bool HasPostgresql = true;
#else
constexpr bool HasPostgresql = false;
#endif

// Each back-end the settings may name: a store when the build has it, otherwise none and a problem that
// names it, so that the session and `velmora-cli history` say why there is no history.
TEST(HistorySettingsTest, ABackEndTheBuildLacksIsNamedAsNotAvailable) {
    struct TCase {
        const char* Backend;
        bool Store;
        std::string Problem;
    };
    const TCase cases[] = {
        {"SQLITE", HasSqlite, HasSqlite ? "" : "SQLite is not available in this build"},
        {"POSTGRESQL", HasPostgresql, HasPostgresql ? "" : "PostgreSQL is not available in this build"},
        {"OFF", false, ""},
        {"ORACLE", false, "unknown HISTORY_BACKEND \"ORACLE\""},
    };
    for (const TCase& test : cases) {
        THistorySettings settings;
        settings.Backend = test.Backend;
        std::string problem;
        const std::unique_ptr<THistoryStore> store = MakeHistoryStore(settings, problem);
        EXPECT_EQ(store != nullptr, test.Store) << test.Backend;
        EXPECT_EQ(problem, test.Problem) << test.Backend;
    }
}

std::unique_ptr<THistoryStore> MakeStore(const std::string& backend, const std::filesystem::path& folder) {
    THistorySettings settings;
    settings.Backend = backend;
    settings.File = (folder / "history.sqlite").string();
    if (const char* pg = std::getenv("VELMORA_PG_TEST"))
        settings.Connection = pg;
    std::string problem;
    std::unique_ptr<THistoryStore> store = MakeHistoryStore(settings, problem);
    EXPECT_TRUE(problem.empty()) << problem;
    return store;
}

class HistoryStoreTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "POSTGRESQL" && !std::getenv("VELMORA_PG_TEST"))
            GTEST_SKIP()
                << "no PostgreSQL server given (VELMORA_PG_TEST); scripts/history-pg-test.sh runs these";
        if (GetParam() == "SQLITE" && !HasSqlite)
            GTEST_SKIP() << "this build has no SQLite (the Windows cross build)";
        Store = MakeStore(GetParam(), Folder.Path());
        ASSERT_TRUE(Store);
        std::string error;
        ASSERT_TRUE(Store->Open(error)) << error;
        ASSERT_TRUE(Store->Clear(error)) << error;
    }

    bool Logged(const std::string& text) const {
        for (const std::string& line : Host.Logs())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    std::unique_ptr<THistoryStore> Store;
};

TVisit Visit(std::string when, std::string car, std::string client) {
    TVisit visit;
    visit.When = std::move(when);
    visit.Car = std::move(car);
    visit.Vin = visit.Car.starts_with("ID ") ? "" : visit.Car;
    visit.Client = std::move(client);
    visit.Ident = "HF 2811B 001";
    visit.Unit = "HFM Bosch 45";
    visit.Port = "SIM";
    return visit;
}

TEST_P(HistoryStoreTest, KeepsVisitsWholeAndFindsThemByCarAndClient) {
    TVisit first = Visit("2026-01-05 09:00:00", "WDB1240921F123", "Петров");
    first.Faults = {{7, true, false, false, true, false},
                    {14, true, true, false, false, true},
                    {10, true, false, true, false, false}};
    first.Events = {{"2026-01-05 09:01:00", "erase", "remaining 1", true},
                    {"2026-01-05 09:02:00", "coding", "12 34 56", false}};
    first.Files = {{"exchange_log", "/LOGS/Петров/B45001.bin"}, {"report", "/CLIENTS/Петров/R'1.pdf"}};
    const TVisit other = Visit("2026-01-04 10:00:00", "ID HF 2811B 001/45", "O'Neil; DROP TABLE visits");
    const TVisit later = Visit("2026-02-01 08:00:00", "WDB1240921F123", "");
    std::string error;
    for (const TVisit* visit : {&std::as_const(first), &other, &later})
        ASSERT_NE(Store->AddVisit(*visit, error), 0) << error;

    const std::vector<TVisit> all = Store->Visits({}, error);
    ASSERT_EQ(all.size(), 3u) << error;
    EXPECT_EQ(all[0].Client, other.Client); // oldest first
    const TVisit& back = all[1];
    EXPECT_EQ(back.When, first.When);
    EXPECT_EQ(back.Vin, first.Vin);
    EXPECT_EQ(back.Ident, first.Ident);
    EXPECT_EQ(back.Unit, first.Unit);
    ASSERT_EQ(back.Faults.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const TVisitFault& a = back.Faults[i];
        const TVisitFault& b = first.Faults[i];
        EXPECT_EQ(std::tie(a.Code, a.Stored, a.Current, a.Unknown, a.Erased, a.Remained),
                  std::tie(b.Code, b.Stored, b.Current, b.Unknown, b.Erased, b.Remained))
            << i;
    }
    ASSERT_EQ(back.Events.size(), 2u);
    EXPECT_EQ(back.Events[1].Detail, "12 34 56");
    EXPECT_FALSE(back.Events[1].Ok);
    ASSERT_EQ(back.Files.size(), 2u);
    EXPECT_EQ(back.Files[1].Path, first.Files[1].Path);

    struct TCase {
        THistoryQuery Query;
        std::vector<std::string> When;
    };
    const TCase cases[] = {
        {{"WDB1240921F123", ""}, {first.When, later.When}},
        {{"ID HF 2811B 001/45", ""}, {other.When}},
        {{"", "Петров"}, {first.When}},
        {{"WDB1240921F123", "Петров"}, {first.When}},
        {{"", "O'Neil; DROP TABLE visits"}, {other.When}},
        {{"WDB0000000000000", ""}, {}},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> when;
        for (const TVisit& v : Store->Visits(c.Query, error))
            when.push_back(v.When);
        EXPECT_EQ(when, c.When) << c.Query.Car << " / " << c.Query.Client;
    }
}

TEST_P(HistoryStoreTest, AddsAFileAndTheMileageToAVisitWrittenBefore) {
    std::string error;
    const int64_t id = Store->AddVisit(Visit("2026-01-05 09:00:00", "WDB1240921F123", ""), error);
    ASSERT_NE(id, 0) << error;
    ASSERT_TRUE(Store->AddFile(id, {"report", "/CLIENTS/x/REPORT_1.pdf"}, error)) << error;
    ASSERT_TRUE(Store->AddEvent(id, {"2026-01-05 09:30:00", "mileage", "187 400 км", true}, error)) << error;
    const std::vector<TVisit> visits = Store->Visits({}, error);
    ASSERT_EQ(visits.size(), 1u);
    ASSERT_EQ(visits[0].Files.size(), 1u);
    EXPECT_EQ(visits[0].Files[0].Path, "/CLIENTS/x/REPORT_1.pdf");
    ASSERT_EQ(visits[0].Events.size(), 1u);
    EXPECT_EQ(visits[0].Events[0].Kind, "mileage");
    EXPECT_EQ(visits[0].Events[0].Detail, "187 400 км");
}

// An HFM unit (index 45) with a VIN: address 1 mask 0x01 is code 118 stored, address 17 the same code
// current; address 8 mask 0x20 is code 74 stored.
TEcuIdent Unit() {
    TEcuIdent ident;
    ident.UnitType = UnitHfm;
    ident.Supplier = SupplierBosch;
    ident.DiagIndex = 45;
    const std::string vin = "WDB2020181A456";
    std::copy(vin.begin(), vin.end(), ident.VinBuf.begin());
    return ident;
}
TFaultBuf Faults(bool with74) {
    TFaultBuf buffer{};
    buffer[1] = 0x01;
    buffer[17] = 0x01;
    if (with74)
        buffer[8] = 0x20;
    return buffer;
}

TEST_P(HistoryStoreTest, AFaultErasedAtTheLastVisitIsRecurring) {
    const TFaultContext context{UnitHfm, SupplierBosch, 45, 0, false};
    const auto recorder = [&] {
        return std::make_unique<THistoryRecorder>(MakeStore(GetParam(), Folder.Path()),
                                                  Folder.Path() / "queue");
    };
    // First visit: 118 and 74 found, erased; 118 (current) stays.
    auto first = recorder();
    first->SessionStarted(Unit(), "Петров", "SIM", "/LOGS/B45001.bin");
    first->FaultsRead(Faults(true), context, true);
    first->FaultsErased();
    first->FaultsRead(Faults(false), context, false);
    first->SessionEnded("");
    EXPECT_TRUE(Logged("WDB2020181A456 в истории ещё не встречался"));

    // Second visit: both are back.
    auto second = recorder();
    second->SessionStarted(Unit(), "Петров", "SIM", "/LOGS/B45002.bin");
    second->FaultsRead(Faults(true), context, false);
    const std::vector<TSeenBefore> seen74 = second->SeenBefore(74);
    const std::vector<TSeenBefore> seen118 = second->SeenBefore(118);
    ASSERT_EQ(seen74.size(), 1u);
    EXPECT_TRUE(seen74[0].Erased);
    EXPECT_TRUE(IsRecurring(seen74));
    ASSERT_EQ(seen118.size(), 1u);
    EXPECT_TRUE(seen118[0].Remained);
    EXPECT_FALSE(IsRecurring(seen118));
    EXPECT_TRUE(second->SeenBefore(55).empty());
    second->SessionEnded("");
    // The line of the load goes out with the worker's next report, at the latest with the end.
    EXPECT_TRUE(Logged("WDB2020181A456 был в последний раз ")) << "the log says nothing of the last visit";
    EXPECT_TRUE(Logged("ошибки: 118, 074 (стерта)"));
    second->AddFile("report", "/CLIENTS/Петров/REPORT.pdf");

    std::string error;
    const std::vector<TVisit> visits = Store->Visits({"WDB2020181A456", ""}, error);
    ASSERT_EQ(visits.size(), 2u) << error;
    ASSERT_EQ(visits[0].Faults.size(), 2u);
    EXPECT_EQ(visits[0].Faults[0].Code, 118);
    EXPECT_TRUE(visits[0].Faults[0].Remained);
    EXPECT_TRUE(visits[0].Faults[1].Erased);
    ASSERT_EQ(visits[0].Events.size(), 1u);
    EXPECT_EQ(visits[0].Events[0].Detail, "remaining 1");
    ASSERT_EQ(visits[1].Files.size(), 2u);
    EXPECT_EQ(visits[1].Files[1].Kind, "report");
}

std::string BackendName(const ::testing::TestParamInfo<std::string>& backend) {
    return backend.param == "SQLITE" ? "Sqlite" : "Postgresql";
}
INSTANTIATE_TEST_SUITE_P(Backends, HistoryStoreTest, ::testing::Values("SQLITE", "POSTGRESQL"), BackendName);

} // namespace
} // namespace velmora
