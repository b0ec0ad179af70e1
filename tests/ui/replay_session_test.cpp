// A session with the simulated car on its drive cycle, recorded live and then replayed in the window: the
// main screen at two positions of the slider shows what the live screen showed at those moments (the
// values CSV the window wrote live), and the same log without its times opens with its times estimated.
// Runs in real time (the wake-up and some 8 s of polling).
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "connection/com_reader.h"
#include "platform/program_folders.h"
#include "recording/recording.h"
#include "sim/sim_port.h"
#include "temp_folder.h"
#include "ui/screens/screen_page.h"
#include "ui/window/log_tools.h"
#include "ui/window/main_form.h"
#include "ui/window/qt_host.h"
#include "ui/window/replay_connection.h"
#include "ui/window/worker_connection.h"
#include "ui_test_support.h"

namespace velmora {
namespace {

using testing::Child;

class TQuietHost : public TQtHost {
public:
    TQuietHost() { SetHost(this); }
    ~TQuietHost() override { SetHost(nullptr); }
    TMsgResult MessageBox(std::string_view text, TMsgKind, TMsgButtons) override {
        Boxes.emplace_back(text);
        return TMsgResult::Ok;
    }
    std::vector<std::string> Boxes;
};

bool WaitFor(const std::function<bool()>& done, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

int64_t WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct TCsvRow {
    int64_t Ms;
    int Number;
    std::string Value;
};

// The rows of the values CSV: time_ms,number,name,value,unit (no field of these has a comma).
std::vector<TCsvRow> ReadCsv(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<TCsvRow> rows;
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        if (fields.size() >= 4)
            rows.push_back({std::stoll(fields[0]), std::stoi(fields[1]), fields[3]});
    }
    return rows;
}

// What the live screen showed for `number` at `ms` of the CSV's clock, when it showed one value over the
// `margin` ms around it (a value changing right then would leave the comparison to chance).
std::optional<std::string> SteadyValue(const std::vector<TCsvRow>& rows, int number, int64_t ms,
                                       int64_t margin) {
    std::optional<std::string> value;
    for (const TCsvRow& row : rows) {
        if (row.Number != number || row.Ms > ms + margin)
            continue;
        if (row.Ms >= ms - margin && value && row.Value != *value)
            return std::nullopt;
        value = row.Value;
    }
    return value;
}

// The screen's text of a value begins with the CSV's number (the unit follows it).
bool ShowsValue(const QString& shown, const std::string& csv) {
    const QString value = QString::fromStdString(csv);
    return shown.startsWith(value) &&
           (shown.size() == value.size() || !(shown[value.size()].isDigit() || shown[value.size()] == '.'));
}

TEST(ReplaySessionTest, ReplayedSimulatedDriveShowsTheLiveValuesAndALogWithoutTimesOpensEstimated) {
    RegisterSimPorts();
    testing::TTempFolder folder;
    TQuietHost host;
    folder.WriteFile("DATA/options.ini", "[SCREEN0]\nITEMS=Основные 0,1,2\n");
    folder.WriteFile(SettingsFile().filename(), "[OPTIONS]\nPORT=SIM:hfm-trip\n");
    TWorkerConnection connection;
    TMainForm form(connection);
    auto* pg = Child<QTabWidget>(&form, "pg");
    const int numbers[] = {0, 1, 2};

    // Live: the values the screen shows go to the CSV from the session's first value on.
    TLogTools* tools = form.findChild<TLogTools*>();
    ASSERT_NE(tools, nullptr);
    const std::filesystem::path csv = folder.Path() / "live.csv";
    const int64_t csvStart = WallMs();
    ASSERT_TRUE(tools->StartCsv(csv));
    form.btnConnectClick();
    ASSERT_TRUE(WaitFor([&] { return pg->isTabVisible(PageScreens); }, 20))
        << form.LogMemo()->toPlainText().toStdString();
    pg->setCurrentIndex(PageScreens);
    auto started = std::chrono::steady_clock::now();
    WaitFor([&] { return std::chrono::steady_clock::now() - started > std::chrono::seconds(8); }, 10);
    const std::filesystem::path bin = connection.Reader().LogPath();
    form.StopClick();
    ASSERT_TRUE(WaitFor([&] { return !connection.IsAlive() && !connection.InConnection(); }, 10));
    tools->StopCsv();
    const std::vector<TCsvRow> rows = ReadCsv(csv);
    ASSERT_GT(rows.size(), 30u) << rows.front().Ms << " " << rows.back().Ms;

    // The recording's clock against the CSV's: both count from their start's wall time.
    TRecording recording;
    ASSERT_TRUE(recording.Load(bin)) << recording.Error();
    ASSERT_TRUE(recording.DateFromTimes());
    ASSERT_FALSE(recording.TimesEstimated());
    const int64_t csvToRecording = csvStart - recording.StartWallMs();
    ASSERT_TRUE(form.OpenRecording(bin.string())) << (host.Boxes.empty() ? "" : host.Boxes.back());
    ASSERT_TRUE(WaitFor([&] { return pg->isTabVisible(PageScreens); }, 5));
    pg->setCurrentIndex(PageScreens);
    // The live session's screen goes (its rows have the same names).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto* slider = Child<QSlider>(&form, "sbReplayPosition");
    auto settled = [&] {
        if (form.Replay()->Delivering())
            return false;
        const QList<TScreenPage*> pages = form.findChildren<TScreenPage*>();
        return std::none_of(pages.begin(), pages.end(),
                            [](const TScreenPage* page) { return page->RepaintPending(); });
    };
    // Two moments in the polling, a quarter and three quarters in, where every value was steady for 80 ms
    // around (slider steps of 0.1 s).
    std::vector<int64_t> checked;
    const int64_t firstRow = rows.front().Ms + csvToRecording, lastRow = rows.back().Ms + csvToRecording;
    for (int64_t from : {firstRow + (lastRow - firstRow) / 4, firstRow + (lastRow - firstRow) * 3 / 4}) {
        std::map<int, std::string> live;
        int64_t at = (from + 99) / 100 * 100;
        for (; at < lastRow - 200; at += 100) {
            live.clear();
            for (int n : numbers)
                if (std::optional<std::string> value = SteadyValue(rows, n, at - csvToRecording, 80))
                    live[n] = *value;
            if (live.size() == std::size(numbers))
                break;
        }
        ASSERT_EQ(live.size(), std::size(numbers)) << "no steady moment after " << from;
        slider->setValue(int(at / 100));
        ASSERT_TRUE(WaitFor(settled, 10));
        // The last values' messages, and a few display frames for the screen to show them.
        const auto drained = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
        WaitFor([&] { return std::chrono::steady_clock::now() > drained; }, 2);
        ASSERT_TRUE(settled());
        for (int n : numbers) {
            const QString shown =
                Child<QLabel>(Child<QWidget>(&form, ("row" + std::to_string(n)).c_str()), "value")->text();
            EXPECT_TRUE(ShowsValue(shown, live[n]))
                << "parameter " << n << " at " << at << " ms: " << shown.toStdString() << " vs " << live[n];
        }
        checked.push_back(at);
    }
    EXPECT_EQ(checked.size(), 2u);
    form.CloseRecording();

    // The same log without its times file: it opens, and the top bar says that its times are estimated.
    const std::filesystem::path bare = bin.parent_path() / "bare.bin";
    std::filesystem::copy_file(bin, bare);
    ASSERT_TRUE(form.OpenRecording(bare.string())) << (host.Boxes.empty() ? "" : host.Boxes.back());
    const QString banner = Child<QLabel>(&form, "labRecording")->text();
    EXPECT_TRUE(banner.contains("bare.bin") && banner.contains("оценено")) << banner.toStdString();
    EXPECT_GT(form.Replay()->Duration(), 0u);
}

} // namespace
} // namespace velmora
