// The window at 200 value updates per second: a parameter screen (the shipped first screen of the HFM)
// and the graph (its default curves) in a window of their own on Qt's offscreen platform, fed by a
// thread that posts one value every 5 ms to the window thread, as the worker's value notices come. For
// each case it prints the values drawn per second, the frames the window painted per second against the
// display's refresh, the time one frame took (median and longest), and the CPU of the window thread and
// of the whole process against the 5 % limit. The last case repaints the whole graph for every value,
// as the window did before its repaints followed the display: the figure the pacing saves.
//
// Usage: velmora-window-rate-bench [SECONDS]   (default 10 per case; a Release build gives meaningful
// figures)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "params/param_list.h"
#include "platform/program_folders.h"
#include "ui/graphs/graph_tab.h"
#include "ui/screens/screen_definition.h"
#include "ui/screens/screen_page.h"

namespace {

using namespace velmora;

constexpr int UpdatesPerSecond = 200;
constexpr double CpuLimitPercent = 5.0;
constexpr const char* ScreenItems = "Основные TOP: 23,25 RIGHT: 1,0,3,5,6,17,11,12,4,7,41,15";
constexpr int WindowWidth = 1000, WindowHeight = 700; // pixels, about the main window's pages

// Times every frame: the window thread's handling of the top-level window's update request, which
// paints what changed and hands it to the platform.
class TFrameTimingApp : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::UpdateRequest || !Counting)
            return QApplication::notify(receiver, event);
        QElapsedTimer timer;
        timer.start();
        const bool done = QApplication::notify(receiver, event);
        FrameMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        return done;
    }

    bool Counting = false;
    std::vector<double> FrameMs;
};

double CpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Posts `feed` to the window thread every 1/UpdatesPerSecond s on absolute deadlines until stopped.
class TFeeder {
public:
    TFeeder(QObject* window, std::function<void()> feed)
        : Thread([this, window, feed = std::move(feed)] {
              const auto step = std::chrono::microseconds(1000000 / UpdatesPerSecond);
              auto next = std::chrono::steady_clock::now();
              while (!Stop.load()) {
                  next += step;
                  std::this_thread::sleep_until(next);
                  QMetaObject::invokeMethod(window, feed, Qt::QueuedConnection);
              }
          }) {}
    ~TFeeder() {
        Stop = true;
        Thread.join();
    }

private:
    std::atomic<bool> Stop{false};
    std::thread Thread;
};

struct TCaseResult {
    double UpdatesPerSecond = 0, FramesPerSecond = 0, MedianFrameMs = 0, LongestFrameMs = 0;
    double WindowCpuPercent = 0, ProcessCpuPercent = 0;
};

// Shows `page` in a window of its own and feeds it for `seconds`; `update` draws the next value.
TCaseResult RunCase(TFrameTimingApp& app, QWidget& page, const std::function<void()>& update, int seconds) {
    page.resize(WindowWidth, WindowHeight);
    page.show();
    int updates = 0;
    auto feed = [&] {
        update();
        ++updates;
    };
    {
        TFeeder warmUp(&page, feed);
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QCoreApplication::processEvents();
    updates = 0;
    app.FrameMs.clear();
    app.Counting = true;
    const double window0 = CpuMs(CLOCK_THREAD_CPUTIME_ID), process0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer span;
    span.start();
    {
        TFeeder feeder(&page, feed);
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const double spanMs = double(span.nsecsElapsed()) / 1e6;
    TCaseResult result;
    result.WindowCpuPercent = 100.0 * (CpuMs(CLOCK_THREAD_CPUTIME_ID) - window0) / spanMs;
    result.ProcessCpuPercent = 100.0 * (CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0) / spanMs;
    app.Counting = false;
    result.UpdatesPerSecond = updates * 1000.0 / spanMs;
    result.FramesPerSecond = double(app.FrameMs.size()) * 1000.0 / spanMs;
    result.MedianFrameMs = Median(app.FrameMs);
    result.LongestFrameMs =
        app.FrameMs.empty() ? 0 : *std::max_element(app.FrameMs.begin(), app.FrameMs.end());
    page.hide();
    QCoreApplication::processEvents();
    return result;
}

// The next value of record `number`: a slow sweep across its whole range, different on every call.
void NextValue(TECUparam& param, int step) {
    const int raw = (step * 7 + param.Number * 31) & 0xFFFF;
    param.SetData(uint8_t(raw), uint8_t(raw >> 8), 0, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: velmora-window-rate-bench [SECONDS]\n");
        return 2;
    }
    TFrameTimingApp app(argc, argv);

    // A program folder of its own: the graph writes its default curves into the settings file.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "velmora-window-rate-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SetProgramFolder(folder);
    std::ofstream(SettingsFile(), std::ios::binary) << "[OPTIONS]\n";

    auto params = std::make_shared<TListParams>();
    params->LoadBuiltinSet(1, 0);
    const double refreshHz = app.primaryScreen() ? app.primaryScreen()->refreshRate() : 60;

    TScreenPage screen(ParseScreenItems(ScreenItems, 0, true), params, TRowFonts{});
    std::vector<TECUparam*> screenParams;
    for (const TScreenItem& item : screen.Definition().Items)
        if (TECUparam* param = params->FindByNumber(item.Number))
            screenParams.push_back(param);
    TGraphTab graph(params);
    std::vector<TECUparam*> graphParams;
    for (size_t i = 0; i < graph.Graph().Count(); ++i)
        graphParams.push_back(&graph.Graph().View(i).Param);
    if (screenParams.empty() || graphParams.empty()) {
        std::fprintf(stderr, "no parameters for the screen or the graph\n");
        return 1;
    }

    int step = 0;
    auto feedScreen = [&] {
        TECUparam& param = *screenParams[size_t(step) % screenParams.size()];
        NextValue(param, step++);
        screen.Views().UpdateParam(param.Number);
    };
    auto feedGraph = [&](bool paced) {
        return [&, paced] {
            TECUparam& param = *graphParams[size_t(step) % graphParams.size()];
            NextValue(param, step++);
            graph.Graph().UpdateParam(param.Number);
            if (paced)
                graph.RequestRedraw();
            else
                graph.Redraw();
        };
    };

    std::printf("velmora window at %d value updates/s, offscreen, %d s per case, display refresh %.0f Hz, "
                "window %dx%d\n\n",
                UpdatesPerSecond, seconds, refreshHz, WindowWidth, WindowHeight);
    std::printf("%-34s %9s %9s %9s %9s %10s %10s %7s %7s\n", "case", "values/s", "frames/s", "frame ms",
                "longest", "window CPU", "process", "limit", "ratio");
    struct TCase {
        const char* Name;
        QWidget* Page;
        std::function<void()> Update;
    };
    for (const TCase& c :
         {TCase{"screen, 14 values", &screen, feedScreen}, TCase{"graph, 4 curves", &graph, feedGraph(true)},
          TCase{"graph, whole picture per value", &graph, feedGraph(false)}}) {
        const TCaseResult r = RunCase(app, *c.Page, c.Update, seconds);
        std::printf("%-34s %9.1f %9.1f %9.3f %9.3f %9.2f%% %9.2f%% %6.1f%% %7.2f\n", c.Name,
                    r.UpdatesPerSecond, r.FramesPerSecond, r.MedianFrameMs, r.LongestFrameMs,
                    r.WindowCpuPercent, r.ProcessCpuPercent, CpuLimitPercent,
                    r.ProcessCpuPercent / CpuLimitPercent);
        std::fflush(stdout);
    }
    std::printf("\nframes/s stays at or below the refresh (%.0f Hz) when repaints follow the display; "
                "ratio = process CPU / limit (<= 1 meets it)\n",
                refreshHz);
    std::filesystem::remove_all(folder);
    return 0;
}
