// The window's log tools: the conversion runs off the window thread with its progress box and opens its
// result, and the CSV switch records the values of the shown list with the file name in the status bar.
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

#include "host_recorder.h"
#include "lang/dictionary.h"
#include "params/list_prm.h"
#include "temp_folder.h"
#include "ui/window/log_tools.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::Child;

class TPlainView : public TBaseParam {
public:
    using TBaseParam::TBaseParam;
    void UpdateView() override {}
};

// Processes events until the conversion thread has reported its end (at most 30 s).
bool WaitForEnd(const std::optional<TConvertResult>& ended) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return ended.has_value();
}

// Two pairs of a HFM unit: coolant 0x7E, then 0x7F.
const std::string SmallLog("\x55\xAA\x00\x7E\x55\xAA\x00\x7F", 8);

TEST(LogTools, ConvertsOffTheWindowThreadAndOpensTheResult) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    QMainWindow window;
    auto* tools = new TLogTools(&window, window.menuBar()->addMenu("Файл"));
    std::vector<fs::path> opened;
    tools->OpenResult = [&](const fs::path& result) { opened.push_back(result); };
    std::optional<TConvertResult> ended;
    tools->OnConverted = [&](const TConvertResult& result) { ended = result; };

    const fs::path log = folder.WriteFile("LOGS/B52001.bin", SmallLog);
    folder.WriteFile("LOGS/B52002.bin", SmallLog);
    ASSERT_TRUE(tools->StartConversion(log, {}));
    EXPECT_FALSE(tools->StartConversion(log, {})); // one at a time
    EXPECT_FALSE(Child<QAction>(&window, "mnuConvertLog")->isEnabled());
    ASSERT_TRUE(WaitForEnd(ended));
    EXPECT_FALSE(tools->ConversionRunning());
    EXPECT_TRUE(Child<QAction>(&window, "mnuConvertLog")->isEnabled());
    ASSERT_EQ(opened, std::vector<fs::path>{folder.Path() / "LOGS" / "B52001.txt"});
    // The name is in the dictionary's language; the value is not.
    const std::string text = folder.ReadFile("LOGS/B52001.txt");
    EXPECT_TRUE(text.starts_with("00000000  55 00 7E  #0 ")) << text;
    EXPECT_NE(text.find(" = 87°\r\n"), std::string::npos) << text;

    // A folder opens as the folder.
    ended.reset();
    ASSERT_TRUE(tools->StartConversion(folder.Path() / "LOGS", {}));
    ASSERT_TRUE(WaitForEnd(ended));
    EXPECT_EQ(ended->Written.size(), 2u);
    EXPECT_EQ(opened.back(), folder.Path() / "LOGS");
    EXPECT_EQ(host.Logs().back(), Translate("Преобразование выполнено."));
}

TEST(LogTools, CsvSwitchRecordsTheShownValues) {
    testing::TTempFolder folder;
    testing::THostRecorder host;
    QMainWindow window;
    auto* tools = new TLogTools(&window, window.menuBar()->addMenu("Файл"));
    TListParams params;
    params.Add(testing::MakeParam(0, "-40"));
    TListPrm list;
    list.Add(std::make_unique<TPlainView>(params[0])).ParamNo = 0;
    params[0].SetData(0x7E, 0, 0, 0);

    tools->ValueUpdated(&list, 0); // not recording: nothing happens
    const fs::path file = folder.Path() / "values.csv";
    ASSERT_TRUE(tools->StartCsv(file));
    EXPECT_TRUE(Child<QAction>(&window, "mnuCsvRecord")->isChecked());
    EXPECT_EQ(Child<QLabel>(&window, "labCsvFile")->text().toStdString(), "CSV: " + file.string());
    tools->ValueUpdated(&list, 0);
    tools->ValueUpdated(&list, 5); // not in the list
    tools->StopCsv();
    EXPECT_FALSE(Child<QAction>(&window, "mnuCsvRecord")->isChecked());
    EXPECT_TRUE(Child<QLabel>(&window, "labCsvFile")->text().isEmpty());
    const std::string csv = folder.ReadFile("values.csv");
    EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBFtime_ms,number,name,value,unit\r\n")) << csv;
    EXPECT_NE(csv.find(",0,P0,86,\r\n"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);

    // A file that cannot be written is said, and the switch stays off.
    EXPECT_FALSE(tools->StartCsv(folder.Path() / "absent" / "values.csv"));
    EXPECT_FALSE(Child<QAction>(&window, "mnuCsvRecord")->isChecked());
    EXPECT_NE(host.LogText().find(Translate("Не удалось записать файл:")), std::string::npos);
}

} // namespace
} // namespace velmora
