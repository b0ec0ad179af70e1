// The history window over real visits: two connections to the simulated car with an erase in the first,
// recorded as the window's connection records them. The window lists both visits newest first with
// their faults and the mark of the fault that is back; a report opens through the viewer, an exchange
// log is handed on as a recording, a file that has gone is shown missing and not opened; a history that
// cannot be read says so; the main window opens it with the connected car chosen.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "connection/com_reader.h"
#include "fake_connection.h"
#include "history/session_recorder.h"
#include "history/sqlite_store.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "platform/utf8_path.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/dialogs/customer_report_form.h"
#include "ui/history/history_form.h"
#include "ui/window/main_form.h"
#include "ui/window/replay_connection.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

constexpr const char* Vin = "WDB1240921F123";

// One connection to the simulated car for `client`: the fault memory read (after an erase when asked),
// then stopped as the user would.
void SimVisit(THistoryRecorder& recorder, testing::THostRecorder& host, bool erase) {
    TComReader reader;
    reader.Events = &recorder;
    reader.PrepareConnect({"SIM:hfm", 'K', false, false, "Петров"});
    ASSERT_TRUE(reader.Step()) << host.LogText();
    host.Clear();
    ASSERT_TRUE(erase ? reader.RequestErase() : reader.RequestFaultView());
    const auto faultsShown = [&] {
        for (const testing::TPosted& posted : host.Posted())
            if (posted.Msg == WM_USER + 10 && posted.WParam == 0) // the read is complete
                return true;
        return false;
    };
    for (int step = 0; step < 2000 && !faultsShown(); ++step)
        ASSERT_TRUE(reader.Step()) << host.LogText();
    ASSERT_TRUE(faultsShown()) << host.LogText();
    reader.RequestStop();
    while (reader.Step()) {
    }
    FreePort();
}

// Runs `sql` on the file outside the store.
void ExecOn(const std::filesystem::path& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// The lines under a visit.
QStringList Lines(const QTreeWidgetItem* visit) {
    QStringList lines;
    for (int i = 0; i < visit->childCount(); ++i)
        lines << visit->child(i)->text(0);
    return lines;
}

QTreeWidgetItem* LineStarting(const QTreeWidgetItem* visit, const QString& start) {
    for (int i = 0; i < visit->childCount(); ++i)
        if (visit->child(i)->text(0).startsWith(start))
            return visit->child(i);
    return nullptr;
}

class HistoryFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }

    void SetUp() override {
        // The fault texts as the program folder holds them.
        std::filesystem::create_directories(Folder.Path() / "DATA" / "ru");
        std::filesystem::copy_file(std::filesystem::path(VELMORA_DATA_DIR) / "ru" / "HFM.DAT",
                                   Folder.Path() / "DATA" / "ru" / "HFM.DAT");
    }

    std::unique_ptr<THistoryStore> Store() const {
        return std::make_unique<TSqliteStore>(Folder.Path() / "history.sqlite", 200);
    }

    // The two visits, and a report with the mileage saved after the second.
    void RecordTwoVisits() {
        THistoryRecorder first(Store(), Folder.Path() / "history-queue.jsonl");
        SimVisit(first, Host, true);
        THistoryRecorder second(Store(), Folder.Path() / "history-queue.jsonl");
        SimVisit(second, Host, false);
        TCustomerReportData data;
        data.Vin = Vin;
        TCustomerReportForm report(data, QImage(), "Петров", &second);
        report.Mileage()->setText("187 400");
        ReportFile = report.SavePdf();
        ASSERT_FALSE(ReportFile.empty()) << Host.LogText();
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::TTempFolder Folder;
    testing::THostRecorder Host;
    std::string ReportFile;
};

TEST_F(HistoryFormTest, ListsBothVisitsNewestFirstWithTheRecurringFault) {
    RecordTwoVisits();
    THistoryForm form(Store(), "", THistoryKey::Car, Vin);
    ASSERT_TRUE(form.Keys()->currentItem());
    EXPECT_EQ(form.Keys()->currentItem()->text(), Vin);
    EXPECT_FALSE(form.Message()->isVisible());
    QTreeWidget* visits = form.Visits();
    ASSERT_EQ(visits->topLevelItemCount(), 2);
    const QTreeWidgetItem* second = visits->topLevelItem(0);
    const QTreeWidgetItem* first = visits->topLevelItem(1);
    EXPECT_GE(second->text(0), first->text(0));
    for (const QTreeWidgetItem* visit : {first, second}) {
        EXPECT_EQ(visit->text(1), "Петров");
        EXPECT_EQ(visit->text(2), Vin);
        EXPECT_EQ(visit->text(3), "HFM Bosch 52");
    }
    EXPECT_EQ(second->text(4), "187 400");
    EXPECT_EQ(first->text(4), "");

    // The first visit: 7 erased, 14 still there after the erase.
    const QTreeWidgetItem* erased = LineStarting(first, "007");
    const QTreeWidgetItem* remained = LineStarting(first, "014");
    ASSERT_TRUE(erased && remained) << Lines(first).join('\n').toStdString();
    EXPECT_TRUE(erased->text(0).contains("стерта")) << erased->text(0).toStdString();
    EXPECT_TRUE(remained->text(0).contains("осталась после стирания")) << remained->text(0).toStdString();
    EXPECT_FALSE(erased->text(0).contains("ПОВТОРНАЯ"));
    EXPECT_EQ(Lines(first).filter("Стирание ошибок: осталось 1").size(), 1)
        << Lines(first).join('\n').toStdString();

    // The second visit: 7 is back and marked, 14 (never erased) is not; each with its text.
    const QTreeWidgetItem* back = LineStarting(second, "007");
    const QTreeWidgetItem* still = LineStarting(second, "014");
    ASSERT_TRUE(back && still) << Lines(second).join('\n').toStdString();
    EXPECT_TRUE(back->text(0).contains("ПОВТОРНАЯ: стерта " + first->text(0).left(10)))
        << back->text(0).toStdString();
    EXPECT_EQ(back->foreground(0).color(), QColor(Qt::red));
    EXPECT_FALSE(still->text(0).contains("ПОВТОРНАЯ")) << still->text(0).toStdString();
    // The code's text from the unit's fault file stands after the code.
    EXPECT_GT(back->text(0).section("  —  ", 0, 0).size(), 5) << back->text(0).toStdString();

    // Chosen by client, and found by a part of the client's name.
    form.By()->setCurrentIndex(1);
    form.Search()->setText("петр");
    ASSERT_EQ(form.Keys()->count(), 1);
    EXPECT_EQ(form.Keys()->currentItem()->text(), "Петров");
    EXPECT_EQ(form.Visits()->topLevelItemCount(), 2);
    form.Search()->setText("Сидоров");
    EXPECT_EQ(form.Keys()->count(), 0);
    EXPECT_EQ(form.Visits()->topLevelItemCount(), 0);
}

TEST_F(HistoryFormTest, OpensReportsAndRecordingsAndNotWhatIsGone) {
    RecordTwoVisits();
    THistoryForm form(Store(), "", THistoryKey::Car, Vin);
    QStringList opened, recordings;
    form.OpenFile = [&](const QString& path) {
        opened << path;
        return true;
    };
    QObject::connect(&form, &THistoryForm::OpenRecordingRequested,
                     [&](const QString& path) { recordings << path; });
    ASSERT_EQ(form.Visits()->topLevelItemCount(), 2);
    QTreeWidgetItem* second = form.Visits()->topLevelItem(0);
    QTreeWidgetItem* report = LineStarting(second, "Отчёт для клиента: ");
    ASSERT_TRUE(report) << Lines(second).join('\n').toStdString();
    EXPECT_TRUE(form.OpenItem(report));
    EXPECT_EQ(opened, QStringList{QString::fromStdString(ReportFile)});

    QTreeWidgetItem* log = LineStarting(second, "Лог обмена: ");
    ASSERT_TRUE(log);
    EXPECT_TRUE(form.OpenItem(log));
    ASSERT_EQ(recordings.size(), 1);
    EXPECT_TRUE(recordings[0].endsWith(".bin")) << recordings[0].toStdString();
    // Lines that are no file open nothing.
    EXPECT_FALSE(form.OpenItem(LineStarting(second, "007")));

    // The first visit's exchange log has been deleted since: shown missing, handed to nobody.
    const QString firstLog = LineStarting(form.Visits()->topLevelItem(1), "Лог обмена: ")->text(0).mid(12);
    ASSERT_TRUE(std::filesystem::remove(Utf8Path(firstLog.toStdString()))) << firstLog.toStdString();
    std::filesystem::remove(Utf8Path(ReportFile));
    ASSERT_TRUE(form.Reload());
    for (int v = 0; v < 2; ++v) {
        QTreeWidgetItem* visit = form.Visits()->topLevelItem(v);
        QTreeWidgetItem* gone = LineStarting(visit, v == 0 ? "Отчёт для клиента: " : "Лог обмена: ");
        ASSERT_TRUE(gone);
        EXPECT_TRUE(gone->text(0).endsWith("(файл отсутствует)")) << gone->text(0).toStdString();
        EXPECT_FALSE(form.OpenItem(gone));
    }
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(recordings.size(), 1);
    EXPECT_TRUE(form.Message()->text().startsWith("Файл не найден:")) << form.Message()->text().toStdString();
}

TEST_F(HistoryFormTest, AHistoryThatCannotBeReadIsSaidSo) {
    struct TCase {
        const char* What;
        std::function<void(const std::filesystem::path&)> Spoil;
        const char* Says;
    };
    const TCase cases[] = {
        {"damaged file",
         [](const std::filesystem::path& file) {
             std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(4096, '\x5A');
         },
         "file is not a database"},
        {"newer schema", [](const std::filesystem::path& file) { ExecOn(file, "PRAGMA user_version = 99"); },
         "newer version"},
        {"folder in its place",
         [](const std::filesystem::path& file) {
             std::filesystem::remove(file);
             std::filesystem::create_directories(file);
         },
         "unable to open"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const std::filesystem::path file = Folder.Path() / (std::string(c.What) + ".sqlite");
        {
            TSqliteStore store(file);
            std::string error;
            ASSERT_TRUE(store.Open(error)) << error;
            TVisit visit;
            visit.When = "2026-12-01 10:00:00";
            visit.Car = visit.Vin = Vin;
            ASSERT_NE(store.AddVisit(visit, error), 0) << error;
        }
        c.Spoil(file);
        THistoryForm form(std::make_unique<TSqliteStore>(file, 200), "", THistoryKey::Car, Vin);
        EXPECT_TRUE(form.Message()->isVisibleTo(&form));
        const std::string message = form.Message()->text().toStdString();
        EXPECT_TRUE(message.starts_with("История визитов недоступна (")) << message;
        EXPECT_NE(message.find(c.Says), std::string::npos) << message;
        EXPECT_EQ(form.Visits()->topLevelItemCount(), 0);
        EXPECT_FALSE(form.Keys()->isEnabled());
    }
    // The history switched off is said so too.
    THistoryForm off(nullptr, "", THistoryKey::Car, Vin);
    EXPECT_TRUE(off.Message()->text().contains("HISTORY_BACKEND=OFF"));
}

TEST_F(HistoryFormTest, MainWindowOpensItWithTheConnectedCar) {
    RecordTwoVisits();
    testing::TRecordingConnection connection;
    TMainForm main(connection, "SIM");
    QAction* entry = main.findChild<QAction*>("mnuHistory");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text(), "История автомобиля…");

    connection.Ecu = true;
    const std::string vin = Vin;
    std::copy(vin.begin(), vin.end(), connection.Unit.VinBuf.begin());
    THistoryForm* byCar = main.HistoryClick();
    ASSERT_TRUE(byCar);
    EXPECT_EQ(byCar->By()->currentIndex(), 0);
    ASSERT_TRUE(byCar->Keys()->currentItem());
    EXPECT_EQ(byCar->Keys()->currentItem()->text(), Vin);
    EXPECT_EQ(byCar->Visits()->topLevelItemCount(), 2);
    // A visit's exchange log opens in this window as a recording.
    QTreeWidgetItem* log = LineStarting(byCar->Visits()->topLevelItem(0), "Лог обмена: ");
    ASSERT_TRUE(log);
    EXPECT_FALSE(main.Replay());
    EXPECT_TRUE(byCar->OpenItem(log));
    EXPECT_TRUE(main.Replay());
    main.CloseRecording();

    // A car the history has not seen: said so, no other car's visits shown.
    const std::string other = "WDB2020201A999";
    std::fill(connection.Unit.VinBuf.begin(), connection.Unit.VinBuf.end(), 0);
    std::copy(other.begin(), other.end(), connection.Unit.VinBuf.begin());
    THistoryForm* unknown = main.HistoryClick();
    EXPECT_EQ(unknown->Visits()->topLevelItemCount(), 0);
    EXPECT_TRUE(unknown->Message()->text().contains("в истории ещё не встречался"))
        << unknown->Message()->text().toStdString();
    unknown->close();
}

} // namespace
} // namespace velmora
