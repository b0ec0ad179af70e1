// The customer report dialog and the recurring marks of the fault tab: reports saved into the client's
// folder never take an earlier one's name, and a fault line is marked only when an earlier visit of
// the car erased its code.
#include <QLineEdit>
#include <gtest/gtest.h>

#include "faults/fault_display.h"
#include "history/session_recorder.h"
#include "history/sqlite_store.h"
#include "host_recorder.h"
#include "params/unit_codes.h"
#include "platform/utf8_path.h"
#include "temp_folder.h"
#include "ui/dialogs/customer_report_form.h"
#include "ui/faults/recurring_marks.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

TEST(CustomerReportFormTest, SavesEachReportUnderANewNameInTheClientsFolder) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    TCustomerReportData data;
    data.Vin = "WDB1240921F123";
    data.Faults = {{"007", "Сохраненный", "Датчик температуры", "", false}};
    TCustomerReportForm form(data, QImage(), "Петров", nullptr);
    form.Mileage()->setText("187400");
    const std::string first = form.SavePdf();
    const std::string second = form.SavePdf();
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::string& file : {first, second}) {
        EXPECT_NE(file.find("/CLIENTS/Петров/REPORT_"), std::string::npos) << file;
        EXPECT_EQ(folder.ReadFile(std::filesystem::relative(Utf8Path(file), folder.Path())).substr(0, 5),
                  "%PDF-");
    }
}

TEST(RecurringMarksTest, MarksOnlyCodesAnEarlierVisitErased) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    auto store = [&] { return std::make_unique<TSqliteStore>(folder.Path() / "history.sqlite"); };
    TEcuIdent ident;
    ident.UnitType = UnitHfm;
    ident.Supplier = SupplierBosch;
    ident.DiagIndex = 45;
    const TFaultContext context{UnitHfm, SupplierBosch, 45, 0, false};
    TFaultBuf both{};
    both[1] = 0x01; // 118 stored
    both[8] = 0x20; // 074 stored
    TFaultBuf only118{};
    only118[1] = 0x01;
    {
        THistoryRecorder earlier(store(), folder.Path() / "queue");
        earlier.SessionStarted(ident, "", "SIM", "");
        earlier.FaultsRead(both, context, true);
        earlier.FaultsErased();
        earlier.FaultsRead(only118, context, false);
        earlier.SessionEnded("");
    }
    THistoryRecorder now(store(), folder.Path() / "queue");
    now.SessionStarted(ident, "", "SIM", "");

    const auto faultRow = [](int code) {
        TFaultRow row;
        row.Code = code;
        row.State = "Сохраненный";
        row.Text = "текст";
        return row;
    };
    TFaultRow notice;
    notice.Notice = true;
    notice.Text = "ОШИБОК НЕТ!";
    std::vector<TFaultRow> rows = {faultRow(74), faultRow(118), notice};
    MarkRecurringFaults(rows, &now);
    EXPECT_TRUE(rows[0].Recurring);
    EXPECT_NE(rows[0].Text.find("ПОВТОРНАЯ: стерта "), std::string::npos) << rows[0].Text;
    for (size_t r : {1u, 2u}) {
        EXPECT_FALSE(rows[r].Recurring) << r;
        EXPECT_EQ(rows[r].Text.find("ПОВТОРНАЯ"), std::string::npos) << r;
    }
    std::vector<TFaultRow> untouched = {faultRow(74)};
    MarkRecurringFaults(untouched, nullptr); // no history: nothing changes
    EXPECT_FALSE(untouched[0].Recurring);
    EXPECT_EQ(untouched[0].Text, "текст");
}

} // namespace
} // namespace velmora
